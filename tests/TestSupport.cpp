#include "TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Trace.h"

namespace korvale::test {

std::string CaptureStdout(const std::function<void()>& body) {
#ifdef __EMSCRIPTEN__
    // node's file system under emscripten cannot move descriptor 1, which GoogleTest's capture
    // does; what the libraries print is their trace, and its sink can be moved instead.
    char* text = nullptr;
    std::size_t length = 0;
    std::FILE* sink = ::open_memstream(&text, &length);
    {
        const TraceTo to(sink);
        body();
    }
    std::fclose(sink);
    std::string captured(text, length);
    std::free(text);
    return captured;
#else
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    body();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
#endif
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvale-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = name.data();
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(root_, ec);
}

std::string ScratchDir::Path(const std::string& name) const {
    return (root_ / name).string();
}

std::vector<std::string> ScratchDir::List() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// The immutable flag is Linux's; elsewhere (node's file system under emscripten) permissions
// are all there is.
bool SetImmutable(const std::string& path, bool on) {
#ifndef __linux__
    (void)path;
    (void)on;
    return false;
#else
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
#endif
}

}  // namespace

ReadOnlyFile::ReadOnlyFile(std::string path) : path_(std::move(path)) {
    using std::filesystem::perms;
    const bool folder = std::filesystem::is_directory(path_);
    std::filesystem::permissions(
        path_, folder ? perms::owner_read | perms::owner_exec : perms::owner_read);
    immutable_ = SetImmutable(path_, true);
}

bool ReadOnlyFile::Holds() const {
    const int fd = ::open(path_.c_str(), O_WRONLY);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return true;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (immutable_) {
        SetImmutable(path_, false);
    }
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace korvale::test
