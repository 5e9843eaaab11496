// The texture window's zoom and its placement as plain numbers: no widget, no display.

#include <gtest/gtest.h>

#include <QRect>

#include "WindowPlacement.h"
#include "ZoomModel.h"

namespace korvale::test {
namespace {

TEST(ZoomModel, StepsUpAndDownFromAnyScale) {
    struct Case {
        double scale;
        int up;
        int down;
    };
    const Case cases[] = {
        {1.0, 2, 1},    // the first step: down stays
        {0.37, 1, 1},   // Fit of a large level
        {2.0, 4, 1},    // exactly on a step
        {5.5, 8, 4},    // between two steps
        {16.0, 16, 8},  // the last step: up stays
        {20.0, 16, 16},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(zoom::StepFrom(c.scale, 1), c.up) << c.scale;
        EXPECT_EQ(zoom::StepFrom(c.scale, -1), c.down) << c.scale;
    }
}

TEST(ZoomModel, ANewSetFitsWhenLargerElseTakesTheLargestStepThatFits) {
    struct Case {
        zoom::Extent content;
        zoom::Extent room;
        int zoom;
    };
    const Case cases[] = {
        {{256, 256}, {600, 200}, zoom::kFit},  // taller than the room
        {{32, 32}, {600, 200}, 4},             // 128 fits, 256 does not
        {{4, 4}, {600, 200}, 16},              // 64 at the last step
        {{200, 100}, {200, 100}, 1},           // exactly the room
        {{0, 0}, {600, 200}, zoom::kFit},      // nothing to show
    };
    for (const Case& c : cases) {
        EXPECT_EQ(zoom::AutoZoom(c.content, c.room), c.zoom) << c.content.width;
    }
}

TEST(ZoomModel, FitDrawsTheContentAsLargeAsTheRoomAllows) {
    EXPECT_DOUBLE_EQ(zoom::ScaleOf(zoom::kFit, {256, 128}, {512, 512}), 2.0);
    EXPECT_DOUBLE_EQ(zoom::ScaleOf(zoom::kFit, {256, 256}, {640, 128}), 0.5);
    EXPECT_DOUBLE_EQ(zoom::ScaleOf(zoom::kFit, {0, 0}, {640, 128}), 1.0);
    EXPECT_DOUBLE_EQ(zoom::ScaleOf(8, {256, 256}, {640, 128}), 8.0);
    EXPECT_TRUE(zoom::IsZoom(zoom::kFit));
    EXPECT_TRUE(zoom::IsZoom(16));
    EXPECT_FALSE(zoom::IsZoom(3));
    EXPECT_FALSE(zoom::IsZoom(32));
}

// A dialog of 545 x 272 (its frame) opened in the middle of the screen, a texture window that
// would like 900 x 640 and needs a picture area plus 300 x 110 of panel, bars and frame: 256 x
// 256, 256 x 200 on a low screen, 128 x 128 logical pixels at scale 2 (256 screen pixels).
TEST(WindowPlacement, OnEveryScreenTheWindowGoesBesideOrBelowTheDialogWhollyOnIt) {
    struct Case {
        const char* screen;
        QRect available;
        QSize minimum;
        QRect dialog;  // where it ends up
        QRect window;
    };
    const QSize preferred(900, 640);
    const Case cases[] = {
        // No side of the centred dialog has room: it moves to the corner, the window right of it.
        {"1366x768", QRect(0, 0, 1366, 768), QSize(556, 366), QRect(0, 0, 545, 272),
         QRect(553, 0, 813, 640)},
        // Only below the dialog in the corner: the full width, 320 high.
        {"1024x600", QRect(0, 0, 1024, 600), QSize(556, 310), QRect(0, 0, 545, 272),
         QRect(0, 280, 900, 320)},
        // Room on the right of the centred dialog: it stays.
        {"1920x1080", QRect(0, 0, 1920, 1080), QSize(556, 366), QRect(687, 404, 545, 272),
         QRect(1240, 404, 680, 640)},
        // Scale 2: 960 x 540 logical pixels; below the dialog in the corner.
        {"1920x1080 at 2", QRect(0, 0, 960, 540), QSize(428, 238), QRect(0, 0, 545, 272),
         QRect(0, 280, 900, 260)},
    };
    for (const Case& c : cases) {
        const QRect centred(
            QPoint((c.available.width() - 545) / 2, (c.available.height() - 272) / 2),
            QSize(545, 272));
        const PairPlacement placed = PlacePair(centred, preferred, c.minimum, c.available);
        EXPECT_EQ(placed.dialog, c.dialog) << c.screen;
        EXPECT_EQ(placed.window, c.window) << c.screen;
        EXPECT_TRUE(c.available.contains(placed.window)) << c.screen;
        EXPECT_FALSE(placed.window.intersects(placed.dialog)) << c.screen;
    }
}

TEST(WindowPlacement, ARememberedPlacementOverTheDialogOrOffTheScreenIsPlacedAnew) {
    const QRect screen(0, 0, 1366, 768);
    const QRect dialog(410, 248, 545, 272);
    EXPECT_FALSE(NeedsPlacing(QRect(960, 0, 400, 700), dialog, screen));   // clear of it
    EXPECT_TRUE(NeedsPlacing(QRect(0, 0, 1366, 768), dialog, screen));     // over the whole dialog
    EXPECT_TRUE(NeedsPlacing(QRect(900, 300, 400, 300), dialog, screen));  // over its buttons
    EXPECT_TRUE(NeedsPlacing(QRect(1200, 0, 400, 300), dialog, screen));   // partly off screen
    EXPECT_TRUE(NeedsPlacing(QRect(-2000, 0, 400, 300), dialog, screen));  // on a screen gone
}

}  // namespace
}  // namespace korvale::test
