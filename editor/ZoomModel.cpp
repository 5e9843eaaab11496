#include "ZoomModel.h"

#include <algorithm>

namespace korvale::zoom {

namespace {
// Scales this close are the same step (Fit can land exactly on one).
constexpr double kSameScale = 1e-9;
}  // namespace

bool IsZoom(int zoom) {
    return zoom == kFit || std::find(kSteps.begin(), kSteps.end(), zoom) != kSteps.end();
}

double ScaleOf(int zoom, Extent content, Extent room) {
    if (zoom != kFit) {
        return zoom;
    }
    if (content.Empty() || room.Empty()) {
        return 1.0;
    }
    return std::min(static_cast<double>(room.width) / content.width,
                    static_cast<double>(room.height) / content.height);
}

int StepFrom(double scale, int direction) {
    if (direction > 0) {
        const auto* next = std::find_if(kSteps.begin(), kSteps.end(),
                                        [scale](int step) { return step > scale + kSameScale; });
        return next != kSteps.end() ? *next : kSteps.back();
    }
    const auto next = std::find_if(kSteps.rbegin(), kSteps.rend(),
                                   [scale](int step) { return step < scale - kSameScale; });
    return next != kSteps.rend() ? *next : kSteps.front();
}

int AutoZoom(Extent content, Extent room) {
    if (content.Empty() || content.width > room.width || content.height > room.height) {
        return kFit;
    }
    int best = kSteps.front();
    for (const int step : kSteps) {
        if (content.width * step <= room.width && content.height * step <= room.height) {
            best = step;
        }
    }
    return best;
}

}  // namespace korvale::zoom
