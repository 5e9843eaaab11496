#include <QApplication>
#include <QByteArray>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CKorvaleApp.h"
#include "EditorSettings.h"
#include "Version.h"

namespace {

// Messages Qt gives while it connects to the display. Held back so that a failed start prints
// one clear line instead of the toolkit's plugin report, and replayed once the start succeeded.
QStringList startupMessages;

void StartupMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        startupMessages.append(message);
        return;
    }
    QString reason = QCoreApplication::translate("main", "no display could be opened");
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        reason = QCoreApplication::translate(
            "main", "no display is set (DISPLAY and WAYLAND_DISPLAY are both empty)");
        startupMessages.clear();
    }
    for (const QString& m : startupMessages) {
        if (m.contains(QStringLiteral("could not connect to display"))) {
            reason = m.mid(m.indexOf(QStringLiteral("could not connect")));
        }
    }
    std::fprintf(
        stderr, "%s\n",
        qPrintable(QCoreApplication::translate("main", "korvale: cannot start: %1").arg(reason)));
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so it works without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("korvale " KORVALE_VERSION);
        return 0;
    }
    qInstallMessageHandler(StartupMessageHandler);
    QApplication application(argc, argv);
    qInstallMessageHandler(nullptr);
    for (const QString& m : startupMessages) {
        std::fprintf(stderr, "%s\n", qPrintable(m));
    }
    // The settings file is named after these: ~/.config/Korvale/korvale.conf.
    QApplication::setOrganizationName(QString::fromLatin1(korvale::kOrganisationName));
    QApplication::setApplicationName(QString::fromLatin1(korvale::kApplicationName));
    // The desktop entry installed, so the window is matched with it (icon, name).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvale.Korvale"));
    const QStringList files = QApplication::arguments().mid(1);
    if (files.size() > 1) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QCoreApplication::translate("main", "usage: korvale [FILE]")));
        return 2;
    }
    if (!files.isEmpty()) {
        korvale::theApp.SetStartFile(files.constFirst());
    }
    if (!korvale::theApp.InitInstance()) {
        return 0;
    }
    return QApplication::exec();
}
