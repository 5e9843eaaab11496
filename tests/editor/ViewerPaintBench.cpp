// How long the texture window takes to paint a 256 x 256 level at 16x (a 4096 x 4096 canvas)
// while it is scrolled through a 1000 x 700 viewport. Not a test: run it and read the numbers.
//   korvale_viewer_bench [steps]

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "CLevelCanvas.h"
#include "LevelQImage.h"

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
        QImage out;
        whole.push_back(Timed([&] { out = canvas.Render(QRect(scroll, viewport)); }));
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
    return 0;
}
