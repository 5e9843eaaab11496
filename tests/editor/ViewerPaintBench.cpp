// How long the texture window takes to paint a 256 x 256 level at 16x (a 4096 x 4096 canvas)
// while it is scrolled through a 1000 x 700 viewport, and to pick out the palette index of a
// hovered swatch. Not a test: run it and read the numbers.
//   korvale_viewer_bench [steps]

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "CLevelCanvas.h"
#include "CTextureDocument.h"
#include "CTextureViewer.h"
#include "Importer.h"
#include "LevelQImage.h"
#include "QtDialogServices.h"

namespace {

using namespace korvale;

// Every channel varies and about half the texels are partly transparent, so the blend does work.
CBmap NoisyLevel(int side) {
    CBmap level;
    if (!level.Allocate(5, side, side)) {
        return level;
    }
    unsigned state = 12345U;
    for (std::size_t i = 0; i < static_cast<std::size_t>(side) * side; ++i) {
        state = state * 1664525U + 1013904223U;
        level.Plane(PlaneId::kR)[i] = static_cast<int>((state >> 8) & 0xF0U);
        level.Plane(PlaneId::kG)[i] = static_cast<int>((state >> 12) & 0xF0U);
        level.Plane(PlaneId::kB)[i] = static_cast<int>((state >> 16) & 0xF0U);
        level.Plane(PlaneId::kA)[i] = static_cast<int>((state >> 20) & 0xF0U);
        level.Plane(PlaneId::kIndex)[i] = 255;
    }
    return level;
}

void Report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (const double m : ms) {
        sum += m;
    }
    std::printf("%-44s mean %6.3f ms  median %6.3f ms  max %6.3f ms  (%zu steps)\n", what,
                sum / static_cast<double>(ms.size()), ms[ms.size() / 2], ms.back(), ms.size());
}

// A pal4 chain from 256 x 256 down to 1 x 1 whose top level uses all 16 colours.
CMip PaletteChain() {
    Image picture;
    picture.width = 256;
    picture.height = 256;
    picture.pixels.resize(4 * picture.PixelCount());
    for (std::size_t i = 0; i < picture.PixelCount(); ++i) {
        const auto grey = static_cast<std::uint8_t>((i * 7 + i / 256 * 3) % 16 * 17);
        const std::array<std::uint8_t, 4> rgba = {grey, static_cast<std::uint8_t>(255 - grey), grey,
                                                  255};
        std::copy(rgba.begin(), rgba.end(), picture.pixels.begin() + 4 * i);
    }
    ImportOptions options;
    options.type = 0;
    CMip mip;
    if (const Status made = ImportImage(picture, options, mip); !made) {
        std::fprintf(stderr, "no chain: %s\n", made.Text().c_str());
    }
    return mip;
}

double Timed(const std::function<void()>& body) {
    QElapsedTimer timer;
    timer.start();
    body();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int steps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const QSize viewport(1000, 700);
    const CBmap level = NoisyLevel(256);
    const QImage image = LevelToQImage(level, CCmap(), ChannelView::kColour);

    // The canvas's own paint of a whole viewport, into an image, at scroll positions that walk
    // diagonally through the 4096 x 4096 canvas.
    CLevelCanvas canvas;
    canvas.Show(image, 16.0, Backdrop::kChecker);
    const QSize room = canvas.size() - viewport;
    std::vector<double> whole;
    for (int i = 0; i < steps; ++i) {
        const QPoint scroll(room.width() * i / steps, room.height() * i / steps);
        QPixmap out;
        whole.push_back(Timed([&] { out = canvas.grab(QRect(scroll, viewport)); }));
    }
    Report("whole 1000x700 viewport painted", whole);

    // The same canvas in a shown scroll area, scrolled as a person would (Qt moves what it can
    // and paints the strip uncovered), and repainted whole.
    QScrollArea area;
    area.setFrameShape(QFrame::NoFrame);
    auto* shown = new CLevelCanvas;
    shown->Show(image, 16.0, Backdrop::kChecker);
    area.setWidget(shown);
    area.resize(viewport + QSize(area.verticalScrollBar()->sizeHint().width(),
                                 area.horizontalScrollBar()->sizeHint().height()));
    area.show();
    if (!QTest::qWaitForWindowExposed(&area)) {
        std::fprintf(stderr, "the scroll area was never shown\n");
        return 1;
    }
    std::vector<double> scrolled;
    std::vector<double> repainted;
    for (int i = 0; i < steps; ++i) {
        scrolled.push_back(Timed([&] {
            area.horizontalScrollBar()->setValue(area.horizontalScrollBar()->value() + 13);
            area.verticalScrollBar()->setValue(area.verticalScrollBar()->value() + 9);
            QApplication::processEvents();
        }));
        repainted.push_back(Timed([&] { shown->repaint(shown->visibleRegion()); }));
    }
    std::printf("viewport %dx%d\n", area.viewport()->width(), area.viewport()->height());
    Report("scroll step (13, 9) px in a scroll area", scrolled);
    Report("whole viewport repainted in a scroll area", repainted);

    // The texture window showing the chain's top level at 1x, and the same with every level
    // side by side, while the mouse moves over the palette's swatches: each step picks out
    // another index and the window paints what changed.
    CTextureDocument document;
    document.RecordForWriting().mip = PaletteChain();
    QtDialogServices services;
    CTextureViewer viewer(document, services);
    document.SetReplacedByHand();
    viewer.SetZoom(1);
    viewer.show();
    if (!QTest::qWaitForWindowExposed(&viewer) || !viewer.ShowsTexture()) {
        std::fprintf(stderr, "the texture window never showed the chain\n");
        return 1;
    }
    for (const bool chain : {false, true}) {
        viewer.SetChain(chain);
        QApplication::processEvents();
        std::vector<double> picked;
        std::vector<double> painted;
        for (int i = 0; i < steps; ++i) {
            picked.push_back(Timed([&] { viewer.SetHighlight(i % 17 - 1); }));
            painted.push_back(Timed([] { QApplication::processEvents(); }));
        }
        Report(chain ? "swatch hovered, whole chain: index picked"
                     : "swatch hovered, 256x256: index picked",
               picked);
        Report(chain ? "swatch hovered, whole chain: window painted"
                     : "swatch hovered, 256x256: window painted",
               painted);
    }
    return 0;
}
