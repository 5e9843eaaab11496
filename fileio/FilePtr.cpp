#include "FilePtr.h"

namespace korvale {

FilePtr OpenForRead(const std::string& path) {
    return FilePtr(std::fopen(path.c_str(), "rb"));
}

}  // namespace korvale
