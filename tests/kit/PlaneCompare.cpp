#include "PlaneCompare.h"

#include <algorithm>

namespace korvale::test {

bool SamePlane(const CBmap& a, const CBmap& b, PlaneId id) {
    const auto x = a.Plane(id);
    const auto y = b.Plane(id);
    return std::equal(x.begin(), x.end(), y.begin(), y.end());
}

bool SamePlanes(const CBmap& a, const CBmap& b) {
    for (int p = 0; p < CBmap::kPlanes; ++p) {
        if (!SamePlane(a, b, static_cast<PlaneId>(p))) {
            return false;
        }
    }
    return true;
}

bool SameLevel(const CBmap& a, const CBmap& b) {
    return a.Type() == b.Type() && a.Width() == b.Width() && a.Height() == b.Height() &&
           a.HasData() == b.HasData() && SamePlanes(a, b);
}

}  // namespace korvale::test
