#include "WholeFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "FilePtr.h"
#include "LargeBuffer.h"
#include "SafeFile.h"

namespace korvale {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

Status TooLarge(const ReadCap& cap) {
    return Status::Failure("is larger than " + std::to_string(cap.maxBytes) + " bytes, the most " +
                           cap.what + " can be");
}

// A file of known size (within the cap) read straight into place, rather than in blocks joined
// at the end: one buffer, written once. whole is false when the file turned out longer than it
// said (it grew meanwhile), bytes then being of no use; a file that shrank gives what it had.
Status ReadKnownSize(const ByteSource& source, std::size_t size, std::vector<std::uint8_t>& bytes,
                     bool& whole) {
    whole = false;
    ReserveLarge(bytes, size);
    bytes.resize(size);
    std::size_t filled = 0;
    while (filled < size) {
        const std::ptrdiff_t got = source(std::span(bytes.data() + filled, size - filled));
        if (got < 0) {
            bytes.clear();
            return Status::FromErrno("cannot be read", errno);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    std::uint8_t more = 0;
    const std::ptrdiff_t past = filled < size ? 0 : source(std::span(&more, 1));
    if (past < 0) {
        bytes.clear();
        return Status::FromErrno("cannot be read", errno);
    }
    whole = past == 0;
    return {};
}

}  // namespace

Status AppendWithinCap(std::span<const std::uint8_t> more, const ReadCap& cap,
                       std::vector<std::uint8_t>& bytes) {
    // Compared as a subtraction, so a size near the top of the range cannot wrap.
    if (bytes.size() > cap.maxBytes || more.size() > cap.maxBytes - bytes.size()) {
        bytes.clear();
        return TooLarge(cap);
    }
    bytes.insert(bytes.end(), more.begin(), more.end());
    return {};
}

Status ReadAll(const ByteSource& source, const ReadCap& cap, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    // Read in blocks and joined once at the end: a vector grown as it goes would double its
    // capacity past the cap (1 GiB resident to refuse a 600 MB cap), and copy on every growth.
    std::vector<std::vector<std::uint8_t>> blocks;
    std::uint64_t total = 0;
    for (;;) {
        // One byte past the cap is asked for, so an input of exactly the cap is still taken.
        const std::uint64_t room = cap.maxBytes + 1 - total;
        std::vector<std::uint8_t> block(
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, room)));
        std::size_t filled = 0;
        while (filled < block.size()) {
            const std::ptrdiff_t got =
                source(std::span(block.data() + filled, block.size() - filled));
            if (got < 0) {
                return Status::FromErrno("cannot be read", errno);
            }
            if (got == 0) {
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
        total += filled;
        if (total > cap.maxBytes) {
            return TooLarge(cap);
        }
        const bool ended = filled < block.size();
        block.resize(filled);
        blocks.push_back(std::move(block));
        if (ended) {
            break;
        }
    }
    // Each block is released as it is copied, so the join costs one block more than the input.
    bytes.reserve(static_cast<std::size_t>(total));
    for (std::vector<std::uint8_t>& block : blocks) {
        bytes.insert(bytes.end(), block.begin(), block.end());
        std::vector<std::uint8_t>().swap(block);
    }
    return {};
}

Status ReadWholeFile(const std::string& path, const ReadCap& cap,
                     std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    FilePtr owned;
    std::FILE* file = stdin;
    bool known = false;  // a regular file, whose size is known before it is read
    std::size_t size = 0;
    if (path != "-") {
        errno = 0;
        owned = OpenForRead(path);
        if (!owned) {
            return Status::FromErrno("cannot open", errno).In(path);
        }
        struct stat info {};
        if (::fstat(::fileno(owned.get()), &info) == 0) {
            if (S_ISDIR(info.st_mode)) {
                return Status::Failure("is a folder, not a file").In(path);
            }
            // A regular file says its size: one that is too large is refused unread.
            if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > cap.maxBytes) {
                return TooLarge(cap).In(path);
            }
            known = S_ISREG(info.st_mode) && info.st_size > 0;
            size = known ? static_cast<std::size_t>(info.st_size) : 0;
        }
        file = owned.get();
    }
    const ByteSource source = [file](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        if (got == 0 && std::ferror(file) != 0) {
            return -1;
        }
        return static_cast<std::ptrdiff_t>(got);
    };
    const std::string name = path == "-" ? std::string("-") : path;
    if (known) {
        bool whole = false;
        if (Status read = ReadKnownSize(source, size, bytes, whole); !read || whole) {
            return std::move(read).In(name);
        }
        // It grew while it was read: read afresh from its start, as an input of unknown size.
        bytes.clear();
        if (std::fseek(file, 0, SEEK_SET) != 0) {
            return Status::FromErrno("cannot be read", errno).In(name);
        }
    }
    return ReadAll(source, cap, bytes).In(name);
}

Status WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return Status::Failure("is a folder, not a file").In(path);
    }
    SafeFile file(path);
    if (Status opened = file.Opened(); !opened) {
        return opened;
    }
    if (!bytes.empty() &&
        std::fwrite(bytes.data(), 1, bytes.size(), file.Stream()) != bytes.size()) {
        const int error = errno;
        file.Discard();
        return Status::FromErrno("cannot write", error).In(path);
    }
    return file.Commit();
}

}  // namespace korvale
