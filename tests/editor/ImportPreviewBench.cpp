// How long the import dialog keeps its event loop from running when an option changes, and how
// long until the new options' preview shows, on a large picture. A 1 ms heartbeat timer runs
// beside the dialog; the longest gap between two beats is the longest the dialog froze. Each
// change picks another pixel type (so the preview's text changes), for the area filter and for
// a cubic one. It reads only what a user sees (the preview's text), so it measures the dialog of
// any build. Not a test: run it and read the numbers.
//   korvale_import_preview_bench PICTURE.png [repeats] [--shot FILE]
// --shot saves a picture of the dialog while it computes a preview.

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CImportDlg.h"
#include "DialogServices.h"
#include "Inputs.h"

namespace {

using namespace korvale;

// The dialog asks for nothing here: no palette file is chosen.
class NoServices : public DialogServices {
  public:
    std::optional<QString> ChooseFile(QWidget*, const FileRequest&) override { return {}; }
    std::optional<QString> ChooseFolder(QWidget*, const QString&) override { return {}; }
    void ShowMessage(QWidget*, const QString&) override {}
    bool Ask(QWidget*, const QString&) override { return false; }
    SaveChoice AskToSave(QWidget*, const QString&) override { return SaveChoice::kCancel; }
    void ShowAbout(QWidget*) override {}
    bool RunModal(QDialog&) override { return false; }
    bool OpenWithDesktop(const QString&) override { return false; }
};

QString Text(const QWidget& dialog, const char* name) {
    const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QString();
}

// Beats every millisecond; a task given to Until() is checked at every beat.
class Heartbeat {
  public:
    Heartbeat() {
        clock_.start();
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Beat(); });
        timer_.start();
    }
    [[nodiscard]] double NowMs() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e6; }

    struct Run {
        double shownMs = -1;  // from the change to the first beat that saw the new text
        double longestGapMs = 0;
    };
    // Runs the event loop from change() until shown() has held for a further settleMs.
    Run Until(const std::function<void()>& change, const std::function<bool()>& shown,
              double settleMs) {
        Run run;
        const double start = NowMs();
        last_ = start;
        longest_ = 0;
        QEventLoop loop;
        check_ = [&] {
            if (run.shownMs < 0 && shown()) {
                run.shownMs = NowMs() - start;
            }
            if (run.shownMs >= 0 && NowMs() - start > run.shownMs + settleMs) {
                loop.quit();
            }
        };
        change();
        loop.exec();
        check_ = nullptr;
        run.longestGapMs = longest_;
        return run;
    }

  private:
    void Beat() {
        const double now = NowMs();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
        if (check_) {
            check_();
        }
    }

    QElapsedTimer clock_;
    QTimer timer_;
    double last_ = 0;
    double longest_ = 0;
    std::function<void()> check_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The expected preview text for the type entry at index.
QString Shows(const QComboBox& type, int index, const QString& size) {
    QString name = type.itemText(index);
    name.remove(QStringLiteral(" (automatic)"));
    return QStringLiteral("%1, %2").arg(size, name);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PICTURE.png [repeats] [--shot FILE]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    int repeats = 5;
    QString shot;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--shot" && i + 1 < argc) {
            shot = QString::fromLocal8Bit(argv[++i]);
        } else {
            repeats = std::max(1, std::atoi(argv[i]));
        }
    }
    Image picture;
    if (const Status read = ReadPicture(path, picture); !read) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), read.Text().c_str());
        return 1;
    }
    NoServices services;
    auto dialog = std::make_unique<CImportDlg>(picture, path, services);
    dialog->show();
    Heartbeat heart;
    const auto previewShown = [&] {
        const QString text = Text(*dialog, "previewText");
        return text.contains(QStringLiteral(" levels")) ||
               text.startsWith(QStringLiteral("Cannot"));
    };
    (void)heart.Until([] {}, previewShown, 50);
    const QString first = Text(*dialog, "previewText");
    // "256 x 256, argb4444, 9 levels": the size stays, the type changes.
    const QString size = first.section(QStringLiteral(", "), 0, 0);
    const QString levels = first.section(QStringLiteral(", "), 2);
    std::printf("picture %s, %d x %d; first preview: %s\n", path.c_str(), picture.width,
                picture.height, first.toUtf8().constData());

    auto* type = dialog->findChild<QComboBox*>(QStringLiteral("type"));
    auto* filter = dialog->findChild<QComboBox*>(QStringLiteral("filter"));
    const auto pick = [](QComboBox* box, int index) { box->setCurrentIndex(index); };
    std::printf("%-10s %8s %14s %14s   (median of %d changes of type; preview delay %d ms)\n",
                "filter", "changes", "longest stall", "until shown", repeats,
                CImportDlg::kPreviewDelayMs);
    for (const char* filterName : {"area", "mitchell"}) {
        const int filterIndex = filter->findText(QString::fromLatin1(filterName));
        // The filter does not show in the text: its preview has long landed after two seconds.
        (void)heart.Until([&] { pick(filter, filterIndex); }, [] { return true; }, 2000);
        std::vector<double> stalls;
        std::vector<double> shownAfter;
        int current = type->currentIndex();
        for (int r = 0; r < repeats; ++r) {
            const int next = (current + 1) % type->count();
            const QString expected = Shows(*type, next, size) + QStringLiteral(", ") + levels;
            const Heartbeat::Run run =
                heart.Until([&] { pick(type, next); },
                            [&] { return Text(*dialog, "previewText") == expected; }, 100);
            stalls.push_back(run.longestGapMs);
            shownAfter.push_back(run.shownMs);
            current = next;
        }
        std::printf("%-10s %8d %11.1f ms %11.1f ms   (longest stall of all: %.1f ms)\n", filterName,
                    repeats, Median(stalls), Median(shownAfter),
                    *std::max_element(stalls.begin(), stalls.end()));
    }

    // Closing while a cubic preview is being made.
    const int next = (type->currentIndex() + 1) % type->count();
    pick(type, next);
    dialog->RefreshPreview();
    (void)heart.Until([] {}, [] { return true; }, 30);  // the import is well under way
    const double closeStart = heart.NowMs();
    dialog.reset();
    std::printf("closing while a preview is made: %.1f ms\n", heart.NowMs() - closeStart);

    if (!shot.isEmpty()) {
        CImportDlg shown(picture, path, services);
        shown.show();
        const auto ready = [&] {
            const QString text = Text(shown, "previewText");
            return text.contains(QStringLiteral(" levels"));
        };
        (void)heart.Until([] {}, ready, 50);
        auto* shownType = shown.findChild<QComboBox*>(QStringLiteral("type"));
        auto* shownFilter = shown.findChild<QComboBox*>(QStringLiteral("filter"));
        shownFilter->setCurrentIndex(shownFilter->findText(QStringLiteral("mitchell")));
        shownType->setCurrentIndex(shownType->findText(QStringLiteral("pal4")));
        shown.RefreshPreview();
        (void)heart.Until([] {}, [] { return true; }, 20);  // the controls repaint
        if (!shown.grab().save(shot)) {
            std::fprintf(stderr, "cannot save %s\n", shot.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
