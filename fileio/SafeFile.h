#pragma once
// Saving a file so that a failed save leaves the previous one as it was and nothing behind, and a
// successful one keeps what the file was: its owner, group, permissions and links.
//
// The new bytes are collected in memory (Korvale's files are a few megabytes at most) and go to
// disk only on Commit, so nothing done while they are produced can touch the target. Commit then
// either replaces the target by rename or writes into it:
// - By rename, from a temporary file beside it, when that keeps everything writing into the file
//   would keep: the target is a regular file with a single link, this user may write it and its
//   folder, and the temporary file could be given the target's owner, group and permissions
//   (root can give it any; other users only their own user and one of their groups). A new file
//   is always made this way, with the usual permissions (0666 less the umask).
// - In place otherwise: a device such as /dev/null, a file with several links, another user's
//   file that this user may write, a writable file in a folder this user may not write. A regular
//   file's previous bytes are read into memory first (so it must be readable too) and written
//   back if the write fails.
// A symbolic link is followed, so the file it names is saved, not the link. A file this user may
// not write is refused, whatever its folder allows.
//
// Durability: the new bytes are flushed to the disk (fsync) before the rename that puts them in
// place, or before an in-place write is reported done, and the folder is flushed after the
// rename, before Commit returns. So once Commit has returned true the new file survives a power
// cut, and a power cut at any moment before leaves either the previous file or the new one
// under the name, never an empty or part-written one (an in-place write, which has no second
// copy, is the exception: see above for when that is used).

#include <sys/stat.h>

#include <span>
#include <string>
#include <vector>

#include "FilePtr.h"
#include "Status.h"

namespace korvale {

class SafeFile {
  public:
    // Decides how the target will be saved and opens a stream for its new bytes. On failure
    // (Opened() says why) nothing has been touched.
    explicit SafeFile(std::string target);
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    ~SafeFile();

    // Whether the stream is open; when not, why not, of the target.
    [[nodiscard]] Status Opened() const;
    // Where the new bytes go: a stream in memory, written out by Commit.
    [[nodiscard]] std::FILE* Stream() const { return stream_.get(); }

    // Puts the new bytes in place. A failure when any step failed: a target replaced by rename
    // is then untouched, a regular file written in place has had its previous bytes written back
    // (the reason says so if that failed too), and no temporary file is left. Reasons name what
    // failed and the system's reason: "cannot create a file in /x/y: Permission denied",
    // "/x/y.mip is a folder", "cannot write /x/y.mip: No space left on device".
    Status Commit();
    // Drops the new bytes, leaving the target untouched.
    void Discard();

  private:
    friend Status CommitBoth(SafeFile& first, SafeFile& second);
    [[nodiscard]] Status Failed() const;

    // A file descriptor closed with its owner.
    class Descriptor {
      public:
        Descriptor() = default;
        explicit Descriptor(int fd) : fd_(fd) {}
        Descriptor(const Descriptor&) = delete;
        Descriptor& operator=(const Descriptor&) = delete;
        ~Descriptor() { Close(); }
        [[nodiscard]] int Get() const { return fd_; }
        void Reset(int fd) {
            Close();
            fd_ = fd;
        }
        // Closes now; false (with errno set) when the system reported an error, as a file system
        // that writes on close may.
        bool Close();

      private:
        int fd_ = -1;
    };

    // The buffer behind the memory stream, valid once the stream is closed.
    struct MemoryBytes {
        MemoryBytes() = default;
        MemoryBytes(const MemoryBytes&) = delete;
        MemoryBytes& operator=(const MemoryBytes&) = delete;
        ~MemoryBytes();
        char* data = nullptr;
        std::size_t size = 0;
    };

    static Status CommitAll(std::span<SafeFile* const> files);
    bool OpenTemporary(const struct stat* existing);
    bool OpenInPlace();
    bool Fail(const std::string& what, int error);
    bool Overwrite(const char* data, std::size_t size);
    // The steps of a commit, each doing nothing for a file it does not concern. The undoing ones
    // return what could not be undone, or nothing.
    bool Prepare(bool keepPrevious);
    bool Replace();
    bool FlushEntry(std::vector<std::string>& flushed);
    bool WriteInPlace();
    std::string Restore();
    std::string UndoReplace();
    void DropPrevious();

    std::string given_;  // the name the caller gave, for messages
    std::string target_;
    std::string error_;
    bool existed_ = false;
    bool regular_ = false;
    bool inPlace_ = false;
    bool replaced_ = false;  // renamed into place, and not yet final
    bool written_ = false;   // an in-place write has begun
    std::string temp_;       // the temporary file while replacing by rename
    std::string previous_;   // the previous target, kept under this name while a pair is committed
    Descriptor fd_;          // the temporary file, or the target itself when written in place
    std::vector<char> oldBytes_;  // a target's bytes before it is written in place
    MemoryBytes bytes_;           // declared before stream_, so that it outlives the stream
    FilePtr stream_;
};

// Commits two files as one save: both targets are replaced, or neither.
// - Both are complete (in a temporary file flushed to disk, or in memory) before either target
//   is touched.
// - Targets replaced by rename are renamed first. Each previous file is kept under a second name
//   (a hard link) until the whole save succeeded, and is put back if a later step fails. Where
//   the file system has no hard links, that file is written in place instead.
// - A target written in place is written last, once every rename succeeded. If its write fails,
//   its previous bytes are written back over it and the renames are undone.
// What this cannot promise: a crash or power loss between the steps leaves the first target
// replaced and the second not (a renamed target's previous file then stays beside it as
// ".<name>.korvale-XXXXXX.previous"); one during an in-place write may leave that file part
// written; and a write-back or undo that fails in turn leaves the file damaged or not put back,
// which the failure's reason then says.
Status CommitBoth(SafeFile& first, SafeFile& second);

}  // namespace korvale
