#include "SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace korvale {

namespace {

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666) & ~mask;
}

}  // namespace

SafeFile::SafeFile(std::string target) : target_(std::move(target)) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path path(target_);
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path resolved = fs::weakly_canonical(path, ec);
        if (!ec) {
            target_ = resolved.string();
        }
    }
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            return;  // a folder is in the way: nothing can be saved there
        }
        file_.reset(std::fopen(target_.c_str(), "wb"));
        UseBuffer();
        return;
    }

    const fs::path folder = fs::path(target_).parent_path();
    const std::string stem = fs::path(target_).filename().string();
    std::string pattern =
        (folder.empty() ? std::string() : folder.string() + "/") + "." + stem + ".korvale-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return;
    }
    temp_.assign(name.data());
    // Keep the permissions the file had, or give a new one the usual ones.
    ::fchmod(fd, exists ? (existing.st_mode & 07777) : NewFileMode());
    file_.reset(::fdopen(fd, "wb+"));
    if (!file_) {
        ::close(fd);
        ::unlink(temp_.c_str());
        temp_.clear();
        return;
    }
    UseBuffer();
}

SafeFile::~SafeFile() {
    Discard();
}

void SafeFile::UseBuffer() {
    // A file goes out in a few large writes rather than many block-sized ones: the kernel's
    // cost per write call is what a save of a few hundred kilobytes spends most on.
    if (file_) {
        buffer_ = std::make_unique_for_overwrite<char[]>(kBufferBytes);
        std::setvbuf(file_.get(), buffer_.get(), _IOFBF, kBufferBytes);
    }
}

void SafeFile::Discard() {
    file_.reset();
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

namespace {

// Flushes and closes; true when nothing failed. There is no fsync: replacing a file by rename
// is ordered after its data by the file systems Korvale runs on (ext4's default, for one), and a
// sync per save would cost far more than the save itself.
bool Finish(FilePtr& file) {
    std::FILE* f = file.release();
    bool ok = std::fflush(f) == 0 && std::ferror(f) == 0;
    if (std::fclose(f) != 0) {
        ok = false;
    }
    return ok;
}

}  // namespace

bool SafeFile::Commit() {
    return CommitBoth(*this, *this);
}

bool CommitBoth(SafeFile& first, SafeFile& second) {
    SafeFile* files[] = {&first, &second};
    const std::size_t count = &first == &second ? 1 : 2;
    bool ok = true;
    for (std::size_t i = 0; i < count; ++i) {
        if (!files[i]->file_ || !Finish(files[i]->file_)) {
            ok = false;
        }
    }
    for (std::size_t i = 0; ok && i < count; ++i) {
        SafeFile& f = *files[i];
        if (!f.temp_.empty()) {
            if (std::rename(f.temp_.c_str(), f.target_.c_str()) != 0) {
                ok = false;
            } else {
                f.temp_.clear();
            }
        }
    }
    first.Discard();
    second.Discard();
    return ok;
}

}  // namespace korvale
