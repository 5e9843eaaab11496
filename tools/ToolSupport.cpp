#include "ToolSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "ChunkStream.h"
#include "CompanionFile.h"

namespace korvale::tool {

namespace {

// More than any texture file or picture Korvale takes; a larger input is a mistake.
constexpr std::uintmax_t kMaxInputBytes = std::uintmax_t{1} << 30;

}  // namespace

int Fail(const std::string& file, const std::string& reason) {
    std::fflush(stdout);
    std::fprintf(stderr, "korvale-tool: %s: %s\n", file.c_str(), reason.c_str());
    return kFailed;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "korvale-tool: %s\n(see korvale-tool --help)\n", message.c_str());
    return kUsage;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(),
                      text.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::optional<std::vector<std::uint8_t>> ReadInput(const std::string& path, std::string& error) {
    FilePtr owned;
    std::FILE* file = stdin;
    if (path != "-") {
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            error = "is a folder, not a file";
            return std::nullopt;
        }
        owned = OpenForRead(path);
        if (!owned) {
            error = std::string("cannot open: ") + std::strerror(errno);
            return std::nullopt;
        }
        file = owned.get();
    }
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> block(64 * 1024);
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), file);
        if (bytes.size() + got > kMaxInputBytes) {
            error = "is larger than 1 GiB";
            return std::nullopt;
        }
        bytes.insert(bytes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
        if (got < block.size()) {
            break;
        }
    }
    if (std::ferror(file) != 0) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return std::nullopt;
    }
    return bytes;
}

bool IsPng(std::span<const std::uint8_t> bytes) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return bytes.size() >= 8 && std::equal(kSignature, kSignature + 8, bytes.begin());
}

std::string LoadRecord(const std::string& path, const std::vector<std::uint8_t>& bytes, bool quiet,
                       CSrb& record, InputKind& kind) {
    std::optional<QuietStdout> silence;
    if (quiet) {
        silence.emplace();
    }
    constexpr const char* kNotOurs = "not an SRB or MIP file (no MIP tag at its start)";
    if (bytes.size() < 4) {
        kind = InputKind::kMip;
        std::printf("Loading mip: '%s'\n", path.c_str());
        return kNotOurs;
    }
    // A stream over the bytes already read: the loaders work on streams. Opened for reading
    // only, it never writes to them, so they need no writable copy.
    FilePtr stream(fmemopen(const_cast<std::uint8_t*>(bytes.data()), bytes.size(), "rb"));
    if (!stream) {
        return std::string("cannot be read: ") + std::strerror(errno);
    }
    const std::uint32_t tag = PeekTag(stream.get());
    if (tag == tag::kSrb) {
        kind = InputKind::kSrb;
        const int r = record.Load(stream.get());
        if (r < 0) {
            return "not a valid SRB file (its header was rejected)";
        }
        if (r == 0) {
            return "SRB header is valid but no mip set follows it";
        }
        return {};
    }
    kind = InputKind::kMip;
    std::printf("Loading mip: '%s'\n", path.c_str());
    if (record.mip.Load(stream.get()) <= 0) {
        return IsPng(bytes) ? "is a PNG picture, not an SRB or MIP file" : kNotOurs;
    }
    return {};
}

std::string SaveRecord(CSrb& record, const std::string& out, bool asSrb) {
    std::string why;
    if (asSrb) {
        if (record.Save(out, &why) <= 0) {
            return "could not be saved: " + why + " (neither it nor its companion " +
                   CompanionPath(out) + " was changed)";
        }
    } else if (record.mip.Save(out, &why) != 1) {
        return "could not be saved: " + why + " (the previous file is unchanged)";
    }
    return {};
}

QuietStdout::QuietStdout() {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
}

QuietStdout::~QuietStdout() {
    std::fflush(stdout);
    if (saved_ >= 0) {
        ::dup2(saved_, STDOUT_FILENO);
        ::close(saved_);
    }
}

std::optional<float> ParseNumber(const std::string& text, float low, float high) {
    float value = 0.0F;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseInt(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace korvale::tool
