#pragma once
// A file written beside its target and renamed over it only once every write, flush and close
// has succeeded, so a failed save leaves the previous file as it was and nothing behind.

#include <memory>
#include <string>

#include "ChunkStream.h"

namespace korvale {

class SafeFile {
  public:
    // Opens a temporary file in the target's folder. A target that exists but is not a regular
    // file (a device such as /dev/null, a pipe) is written in place, since it cannot be
    // replaced; a symbolic link is followed, so the file it names is replaced, not the link.
    explicit SafeFile(std::string target);
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    ~SafeFile();

    [[nodiscard]] bool IsOpen() const { return file_ != nullptr; }
    [[nodiscard]] ChunkStream Stream() const { return file_.get(); }

    // Flushes and closes, then moves the file into place. False when any step failed;
    // the target is then untouched and the temporary file removed.
    [[nodiscard]] bool Commit();
    // Closes and removes the temporary file, leaving the target untouched.
    void Discard();

  private:
    friend bool CommitBoth(SafeFile& first, SafeFile& second);

    static constexpr std::size_t kBufferBytes = 256 * 1024;
    void UseBuffer();

    std::string target_;
    std::string temp_;                // empty when writing in place
    std::unique_ptr<char[]> buffer_;  // the stream's buffer: declared first, so it outlives file_
    FilePtr file_;
};

// Commits two files as one save: both are flushed and closed before either is moved into
// place, so a failure in either leaves both targets untouched.
[[nodiscard]] bool CommitBoth(SafeFile& first, SafeFile& second);

}  // namespace korvale
