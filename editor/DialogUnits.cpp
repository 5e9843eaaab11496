#include "DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace korvale {

namespace {

// The average character width is measured over the 52 letters, rounded to the nearest pixel.
int AverageCharWidth(const QFontMetrics& metrics) {
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return (metrics.horizontalAdvance(kLetters) + 26) / 52;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    baseWidth_ = AverageCharWidth(metrics);
    baseHeight_ = metrics.height();
}

}  // namespace korvale
