#include "SameFile.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace korvale {

namespace fs = std::filesystem;

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    std::error_code errorA;
    std::error_code errorB;
    const fs::path canonicalA = fs::weakly_canonical(a, errorA);
    const fs::path canonicalB = fs::weakly_canonical(b, errorB);
    if (!errorA && !errorB && canonicalA == canonicalB) {
        return true;
    }
    struct stat statusA {};
    struct stat statusB {};
    return ::stat(a.c_str(), &statusA) == 0 && ::stat(b.c_str(), &statusB) == 0 &&
           statusA.st_dev == statusB.st_dev && statusA.st_ino == statusB.st_ino;
}

}  // namespace korvale
