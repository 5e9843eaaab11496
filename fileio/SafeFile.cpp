#include "SafeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace korvale {

namespace {

namespace fs = std::filesystem;

// The largest file written in place, whose previous bytes are held in memory meanwhile: far
// beyond any file Korvale writes, small enough to hold.
constexpr std::size_t kMaxInPlaceBytes = std::size_t{256} * 1024 * 1024;

// The mode a new file gets: 0666 less the umask. The umask is read from the process status
// rather than set and restored, since setting it races with saves on other threads (a batch
// import saves on every core); set-and-restore is left for systems without /proc.
mode_t NewFileMode() {
#ifdef __EMSCRIPTEN__
    // emscripten's umask() reports every bit set, which would make every new file unreadable;
    // its file systems (a page's memory, node's) have no other users to keep out.
    return static_cast<mode_t>(0666);
#endif
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        unsigned mask = 0;
        if (std::sscanf(line.c_str(), "Umask: %o", &mask) == 1) {
            return static_cast<mode_t>(0666) & ~static_cast<mode_t>(mask);
        }
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666) & ~mask;
}

std::string FolderOf(const std::string& path) {
    const std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

// Writes all of data at the descriptor's offset; false with errno set when a write failed.
bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Flushes what was written through fd to the disk, so that a power cut after the save cannot
// leave the file empty or part written under its name. False with errno set when the disk
// reported a failure. Descriptors that cannot be flushed (a device such as /dev/null, a pipe, a
// file system without the call) report EINVAL, EROFS or ENOTSUP: they hold nothing to flush,
// so those count as flushed.
bool FlushToDisk(int fd) {
    while (::fsync(fd) != 0) {
        if (errno == EINTR) {
            continue;
        }
        return errno == EINVAL || errno == EROFS || errno == ENOTSUP;
    }
    return true;
}

// Flushes a folder's entries, so that a rename into it is on the disk too. A folder this user
// may write but not read cannot be opened to be flushed; its rename then stands as the system
// wrote it, which is all that can be done, so that is not a failure.
bool FlushFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno == EACCES || errno == EPERM;
    }
    const bool flushed = FlushToDisk(fd);
    const int error = errno;
    ::close(fd);  // read-only: closing it cannot lose anything
    errno = error;
    return flushed;
}

// Reads a whole regular file from its start; false with errno set when a read failed or the
// file is too large to hold.
bool ReadAll(int fd, std::vector<char>& bytes) {
    bytes.clear();
    std::vector<char> chunk(std::size_t{64} * 1024);
    for (;;) {
        const ssize_t n = ::pread(fd, chunk.data(), chunk.size(), static_cast<off_t>(bytes.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        if (static_cast<std::size_t>(n) > kMaxInPlaceBytes - bytes.size()) {
            errno = EFBIG;
            return false;
        }
        bytes.insert(bytes.end(), chunk.data(), chunk.data() + n);
    }
}

}  // namespace

bool SafeFile::Descriptor::Close() {
    if (fd_ < 0) {
        return true;
    }
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

SafeFile::MemoryBytes::~MemoryBytes() {
    std::free(data);
}

SafeFile::SafeFile(std::string target) : given_(target), target_(std::move(target)) {
    if (target_.empty()) {
        error_ = "no file name given";
        return;
    }
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(target_, ec))) {
        const fs::path resolved = fs::weakly_canonical(target_, ec);
        if (!ec) {
            target_ = resolved.string();
        }
    }
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) != 0) {
        if (errno != ENOENT) {
            Fail(target_, errno);
            return;
        }
        if (!OpenTemporary(nullptr)) {
            return;
        }
    } else if (S_ISDIR(existing.st_mode)) {
        error_ = target_ + " is a folder";
        return;
    } else {
        existed_ = true;
        regular_ = S_ISREG(existing.st_mode);
        if (!(regular_ && OpenTemporary(&existing)) && !OpenInPlace()) {
            return;
        }
    }
    stream_.reset(::open_memstream(&bytes_.data, &bytes_.size));
    if (!stream_) {
        Fail("cannot write " + target_, errno);
        Discard();
    }
}

SafeFile::~SafeFile() {
    Discard();
}

bool SafeFile::Fail(const std::string& what, int error) {
    error_ = what + ": " + std::strerror(error);
    return false;
}

bool SafeFile::OpenTemporary(const struct stat* existing) {
    const std::string folder = FolderOf(target_);
    // A rename keeps less than writing in place would: only when it loses nothing is it used.
    if (existing != nullptr &&
        (existing->st_nlink != 1 || ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0 ||
         ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)) {
        return false;
    }
    const std::string pattern =
        folder + "/." + fs::path(target_).filename().string() + ".korvale-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_.Reset(::mkostemp(name.data(), O_CLOEXEC));
    if (fd_.Get() < 0) {
        return existing == nullptr ? Fail("cannot create a file in " + folder, errno) : false;
    }
    temp_.assign(name.data());
    if (existing == nullptr) {
        if (::fchmod(fd_.Get(), NewFileMode()) != 0) {
            Fail("cannot create a file in " + folder, errno);
            Discard();
            return false;
        }
        return true;
    }
    // The owner first, since changing it clears the set-user-ID and set-group-ID bits. Only root
    // may give a file to another user, and others only to a group they belong to.
    struct stat made {};
    if (::fchown(fd_.Get(), existing->st_uid, existing->st_gid) != 0 ||
        ::fchmod(fd_.Get(), existing->st_mode & 07777) != 0 || ::fstat(fd_.Get(), &made) != 0 ||
        made.st_uid != existing->st_uid || made.st_gid != existing->st_gid ||
        (made.st_mode & 07777) != (existing->st_mode & 07777)) {
        Discard();
        return false;
    }
    return true;
}

bool SafeFile::OpenInPlace() {
    inPlace_ = true;
    // A regular file is opened for reading too: its bytes are kept to be written back.
    fd_.Reset(::open(target_.c_str(), (regular_ ? O_RDWR : O_WRONLY) | O_CLOEXEC | O_NOCTTY));
    return fd_.Get() >= 0 || Fail("cannot write " + target_, errno);
}

void SafeFile::Discard() {
    stream_.reset();
    fd_.Close();
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

Status SafeFile::Opened() const {
    return stream_ != nullptr ? Status() : Failed();
}

Status SafeFile::Failed() const {
    return Status::Failure(error_.empty() ? "cannot write " + target_ : error_).In(given_);
}

Status SafeFile::Commit() {
    SafeFile* const files[] = {this};
    return CommitAll(files);
}

Status CommitBoth(SafeFile& first, SafeFile& second) {
    SafeFile* const files[] = {&first, &second};
    return SafeFile::CommitAll(std::span(files, &first == &second ? 1 : 2));
}

Status SafeFile::CommitAll(std::span<SafeFile* const> files) {
    SafeFile* failed = nullptr;
    auto everyFile = [&](const auto& step) {
        for (SafeFile* file : files) {
            if (!step(*file)) {
                failed = file;
                return false;
            }
        }
        return true;
    };
    // Everything that can fail without touching a target comes first (writing the temporary
    // files, keeping the previous ones under a second name, reading what an in-place write will
    // replace), then the renames, which can be undone, and last the in-place writes, which can
    // only be written over again. Every new file is on the disk before the first rename, and
    // every renamed entry before the first in-place write.
    const bool keepPrevious = files.size() > 1;
    std::vector<std::string> flushed;  // folders flushed already: a pair shares one
    const bool done = everyFile([&](SafeFile& f) { return f.Prepare(keepPrevious); }) &&
                      everyFile([](SafeFile& f) { return f.Replace(); }) &&
                      everyFile([&flushed](SafeFile& f) { return f.FlushEntry(flushed); }) &&
                      everyFile([](SafeFile& f) { return f.WriteInPlace(); });
    std::string notUndone;
    if (!done) {
        for (SafeFile* file : files) {
            notUndone += file->Restore();
        }
    }
    for (SafeFile* file : files) {
        if (done) {
            file->DropPrevious();
        } else {
            notUndone += file->UndoReplace();
        }
        file->Discard();
    }
    if (!done) {
        failed->error_ += notUndone;
        return failed->Failed();
    }
    return {};
}

bool SafeFile::Prepare(bool keepPrevious) {
    if (!stream_) {
        if (error_.empty()) {
            error_ = "nothing to save to " + target_;
        }
        return false;
    }
    std::FILE* stream = stream_.release();
    const bool complete = std::fflush(stream) == 0 && std::ferror(stream) == 0;
    // A stream in memory fails only for want of memory.
    if (std::fclose(stream) != 0 || !complete) {
        return Fail("cannot write " + target_, ENOMEM);
    }
    if (!inPlace_) {
        if (!WriteAll(fd_.Get(), bytes_.data, bytes_.size) || !FlushToDisk(fd_.Get()) ||
            !fd_.Close()) {
            return Fail("cannot write " + target_, errno);
        }
        if (!keepPrevious || !existed_) {
            return true;
        }
        previous_ = temp_ + ".previous";
        if (::link(target_.c_str(), previous_.c_str()) == 0) {
            return true;
        }
        // Without a second name to put it back from (a file system without hard links), the
        // previous file could not be restored after a rename: it is written in place instead.
        previous_.clear();
        ::unlink(temp_.c_str());
        temp_.clear();
        if (!OpenInPlace()) {
            return false;
        }
    }
    return !regular_ || ReadAll(fd_.Get(), oldBytes_) ||
           Fail("cannot read " + target_ + " before writing it", errno);
}

bool SafeFile::Replace() {
    if (inPlace_) {
        return true;
    }
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        if (!previous_.empty()) {
            ::unlink(previous_.c_str());
            previous_.clear();
        }
        return Fail("cannot replace " + target_, error);
    }
    temp_.clear();
    replaced_ = true;
    return true;
}

bool SafeFile::FlushEntry(std::vector<std::string>& flushed) {
    const std::string folder = FolderOf(target_);
    if (!replaced_ || std::find(flushed.begin(), flushed.end(), folder) != flushed.end()) {
        return true;
    }
    flushed.push_back(folder);
    return FlushFolder(folder) || Fail("cannot flush the folder of " + target_ + " to disk", errno);
}

bool SafeFile::Overwrite(const char* data, std::size_t size) {
    // Over the old bytes first and cut after, so that a full disk fails only where the file grows,
    // and the old bytes always fit back into the blocks they had.
    if (regular_ && ::lseek(fd_.Get(), 0, SEEK_SET) != 0) {
        return false;
    }
    return WriteAll(fd_.Get(), data, size) &&
           (!regular_ || ::ftruncate(fd_.Get(), static_cast<off_t>(size)) == 0);
}

bool SafeFile::WriteInPlace() {
    if (!inPlace_) {
        return true;
    }
    written_ = true;
    return (Overwrite(bytes_.data, bytes_.size) && FlushToDisk(fd_.Get()) && fd_.Close()) ||
           Fail("cannot write " + target_, errno);
}

std::string SafeFile::Restore() {
    if (!written_ || !regular_) {
        return {};
    }
    written_ = false;
    if (fd_.Get() < 0) {
        fd_.Reset(::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    }
    if (fd_.Get() >= 0 && Overwrite(oldBytes_.data(), oldBytes_.size()) && fd_.Close()) {
        return {};
    }
    return "; the previous bytes of " + target_ +
           " could not be written back: " + std::strerror(errno);
}

std::string SafeFile::UndoReplace() {
    if (!replaced_) {
        DropPrevious();  // a second name of the untouched target
        return {};
    }
    replaced_ = false;
    if (previous_.empty() ? ::unlink(target_.c_str()) == 0
                          : std::rename(previous_.c_str(), target_.c_str()) == 0) {
        previous_.clear();
        return {};
    }
    std::string text = "; the previous " + target_ + " could not be put back";
    if (!previous_.empty()) {
        text += " (it is kept as " + previous_ + ")";
    }
    return text + ": " + std::strerror(errno);
}

void SafeFile::DropPrevious() {
    replaced_ = false;
    if (!previous_.empty()) {
        ::unlink(previous_.c_str());
        previous_.clear();
    }
}

}  // namespace korvale
