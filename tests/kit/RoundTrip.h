#pragma once
// The save-and-reload property shared by the tests and the fuzz targets: whatever loaded must
// save, and what the save wrote must load back to the same levels.

#include <string>

#include "CMip.h"

namespace korvale::test {

// Saves `loaded` (fresh from a load) and reloads it. Returns "" when every level came back in
// the slot the header's passes give it, with the same type, size and the planes the file can
// carry; otherwise what differed.
[[nodiscard]] std::string RoundTripProblem(CMip& loaded);

}  // namespace korvale::test
