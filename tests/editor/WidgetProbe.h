#pragma once
// What the editor's windows show, read from their widgets as a user would see it, and the
// mouse moved over them.

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QRect>
#include <QString>
#include <QWidget>

#include "CChainView.h"
#include "CKorvaleDlg.h"

namespace korvale::test {

// The text of the label objectName names inside window ("readout", "header", "previewText").
inline QString LabelText(const QWidget& window, const char* objectName) {
    const auto* label = window.findChild<QLabel*>(QString::fromLatin1(objectName));
    return label != nullptr ? label->text() : QStringLiteral("<no label %1>").arg(objectName);
}

// The main dialog's status lines, by their control ids, and what they show.
constexpr int kSrbLine = CKorvaleDlg::kIdSrbStatus;
constexpr int kMipLine = CKorvaleDlg::kIdMipStatus;
// The text in full: a path too long for the line is shown with its middle left out.
inline QString StatusText(const QWidget& dialog, int line) {
    const auto* label = dialog.findChild<QLabel*>(QStringLiteral("control%1").arg(line));
    if (label != nullptr && label->property("fullText").isValid()) {
        return label->property("fullText").toString();
    }
    return LabelText(dialog, QStringLiteral("control%1").arg(line).toLatin1().constData());
}
inline QString StatusTip(const QWidget& dialog, int line) {
    const auto* label = dialog.findChild<QLabel*>(QStringLiteral("control%1").arg(line));
    return label != nullptr ? label->toolTip() : QStringLiteral("<no status line %1>").arg(line);
}

// A window's title as the window manager shows it: "[*]" is a "*" while the window is modified.
inline QString TitleShown(const QWidget& window) {
    QString title = window.windowTitle();
    return title.replace(QStringLiteral("[*]"),
                         window.isWindowModified() ? QStringLiteral("*") : QString());
}

// The part rect of a widget as painted, whether it is on screen or not.
inline QImage Painted(QWidget& widget, const QRect& rect) {
    return widget.grab(rect).toImage();
}

// The mouse moved to pos (widget coordinates) over widget, no button held.
inline void MoveMouse(QWidget* widget, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// Where the chain view draws a level: the points it reports the level under.
inline QRect LevelRect(const CChainView& chain, int slot) {
    QRect box;
    for (int y = 0; y < chain.height(); ++y) {
        for (int x = 0; x < chain.width(); ++x) {
            if (chain.LevelAt(QPoint(x, y)).first == slot) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

}  // namespace korvale::test
