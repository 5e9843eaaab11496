#include "Inputs.h"

#include "PngIo.h"

namespace korvale {

namespace {

// The largest texture file whose every byte the loaders use: an SRB header (96 bytes), a MIP
// header (44) and its global palette (76), then the level passes the loader makes, each a level
// of 4096 x 4096 16-bit pixels (33,554,432 bytes of rows) with its own palette and chunk headers
// (128 bytes): at most 18 of them natively. Anything larger is not a texture, and is not read
// into memory.
constexpr std::uint64_t kLevelPass = 4096ULL * 4096ULL * 2ULL + 128ULL;
#ifdef __EMSCRIPTEN__
// A page has at most 2 GiB (wasm32, and what browsers grant): four such passes there, whose
// levels, decoded and shown, still fit beside the file's own bytes.
constexpr std::uint64_t kLevelPasses = 4;
static_assert(96ULL + 44ULL + 76ULL + kLevelPasses * kLevelPass == 134'218'456ULL);
// The PNG reader takes at most 16,777,216 pixels there; a quarter of the native cap is more
// than any such picture compressed.
constexpr std::uint64_t kLargestPicture = std::uint64_t{1} << 28;
#else
constexpr std::uint64_t kLevelPasses = 18;
static_assert(96ULL + 44ULL + 76ULL + kLevelPasses * kLevelPass == 603'982'296ULL);
// More than any picture Korvale takes (the PNG reader's limit of 67,108,864 pixels, compressed):
// a larger input is a mistake.
constexpr std::uint64_t kLargestPicture = std::uint64_t{1} << 30;
#endif
constexpr std::uint64_t kLargestTexture = 96ULL + 44ULL + 76ULL + kLevelPasses * kLevelPass;

}  // namespace

const ReadCap& CapFor(InputKind kind) {
    static const ReadCap texture{kLargestTexture, "a texture file"};
    static const ReadCap picture{kLargestPicture, "a picture"};
    return kind == InputKind::kTexture ? texture : picture;
}

Status ReadInput(const std::string& path, InputKind kind, std::vector<std::uint8_t>& bytes) {
    return ReadWholeFile(path, CapFor(kind), bytes);
}

Status ReadInputFrom(const ByteSource& source, InputKind kind, const std::string& name,
                     std::vector<std::uint8_t>& bytes) {
    Status read = ReadAll(source, CapFor(kind), bytes);
    return name.empty() ? read : std::move(read).In(name);
}

Status AppendInput(std::span<const std::uint8_t> more, InputKind kind,
                   std::vector<std::uint8_t>& bytes) {
    return AppendWithinCap(more, CapFor(kind), bytes);
}

Status ReadPicture(const std::string& path, Image& picture) {
    picture = Image{};
    std::vector<std::uint8_t> bytes;
    if (Status read = ReadInput(path, InputKind::kPicture, bytes); !read) {
        return read;
    }
    return ReadPng(bytes, picture).In(path);
}

Status ReadTextureOrPicture(const std::string& path, std::vector<std::uint8_t>& bytes,
                            Image& picture, FileKind& kind) {
    picture = Image{};
    kind = FileKind::kUnknown;
    if (Status read = ReadInput(path, InputKind::kPicture, bytes); !read) {
        return read;
    }
    kind = RecogniseFile(bytes).kind;
    if (kind != FileKind::kPng) {
        return {};
    }
    return ReadPng(bytes, picture).In(path);
}

}  // namespace korvale
