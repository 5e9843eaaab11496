#include "Inputs.h"

#include "PngIo.h"

namespace korvale {

namespace {

// More than any texture file or picture Korvale takes: a larger input is a mistake, and is not
// read into memory.
constexpr std::uint64_t kLargestInput = std::uint64_t{1} << 30;

}  // namespace

const ReadCap& CapFor(InputKind kind) {
    static const ReadCap texture{kLargestInput, "a texture file"};
    static const ReadCap picture{kLargestInput, "a picture"};
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
