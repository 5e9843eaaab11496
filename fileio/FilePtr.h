#pragma once
// An open file of the standard library's buffered I/O, closed with its owner.

#include <cstdio>
#include <memory>
#include <string>

namespace korvale {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file read-only, in binary mode, so that a file without write permission still loads.
[[nodiscard]] FilePtr OpenForRead(const std::string& path);

}  // namespace korvale
