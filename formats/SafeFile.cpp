#include "formats/SafeFile.h"

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
        return;
    }

    const fs::path folder = fs::path(target_).parent_path();
    const std::string stem = fs::path(target_).filename().string();
    std::string pattern = (folder.empty() ? std::string() : folder.string() + "/") + "." + stem +
                          ".korvale-XXXXXX";
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
    }
}

SafeFile::~SafeFile() { Discard(); }

void SafeFile::Discard() {
    file_.reset();
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

namespace {

// Flushes and closes; true when nothing failed.
bool Finish(FilePtr& file) {
    std::FILE* f = file.release();
    bool ok = std::fflush(f) == 0 && std::ferror(f) == 0;
    if (ok) {
        const int fd = ::fileno(f);
        struct stat st {};
        // Sync regular files so a crash right after the rename cannot leave an empty file.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fsync(fd) != 0) {
            ok = false;
        }
    }
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
