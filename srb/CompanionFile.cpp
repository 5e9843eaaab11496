#include "CompanionFile.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace korvale {

namespace {

constexpr std::uint32_t kXyzsSize = 16;
constexpr std::uint32_t kPrimSize = 44;
// Bytes after the size word besides the name and its fill: XYZS (28), STRN header (12), PRIM (56).
constexpr std::uint32_t kSizeAfterName = 96;
constexpr std::uint8_t kFill = 0x20;

// Where the file name starts: after the last separator of either kind.
std::size_t NameStart(const std::string& path) {
    const std::size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? 0 : sep + 1;
}

}  // namespace

std::string CompanionPath(const std::string& srbPath) {
    const std::size_t start = NameStart(srbPath);
    const std::size_t dot = srbPath.find('.', start);
    return srbPath.substr(0, dot) + ".yrq";
}

std::string ObjectName(const std::string& srbPath) {
    const std::size_t start = NameStart(srbPath);
    const std::size_t dot = srbPath.find('.', start);
    return srbPath.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

void WriteCompanionTo(ChunkStream stream, const std::string& objectName, float sizeInMetres) {
    const auto n = static_cast<std::uint32_t>(objectName.size() + 2);
    const std::uint32_t fill = (4 - n % 4) % 4;
    // The size is known before anything is written, so it goes out directly rather than as a
    // placeholder patched by a seek (which a pipe or device could not honour).
    WriteU32(stream, tag::kYrq4);
    WriteU32(stream, 1);
    WriteU32(stream, n + fill + kSizeAfterName);
    WriteChunkHeader(stream, tag::kXyzs, kXyzsSize);
    for (int i = 0; i < 4; ++i) {
        WriteU32(stream, 0);
    }
    WriteChunkHeader(stream, tag::kStrn, n);
    for (const char c : objectName) {
        WriteU8(stream, static_cast<unsigned char>(c));
    }
    WriteU8(stream, 0x00);
    WriteU8(stream, 0xFF);
    for (std::uint32_t i = 0; i < fill; ++i) {
        WriteU8(stream, kFill);
    }
    WriteChunkHeader(stream, tag::kPrim, kPrimSize);
    const std::uint32_t prim[] = {
        28,          3, 0, 0xFFFFFFFFU, 0, std::bit_cast<std::uint32_t>(sizeInMetres),
        0x00010000U, 5, 4, 4,           10};
    for (const std::uint32_t word : prim) {
        WriteU32(stream, word);
    }
}

std::optional<float> ReadCompanionSize(const std::string& srbPath) {
    FilePtr file = OpenForRead(CompanionPath(srbPath));
    if (!file) {
        return std::nullopt;
    }
    ChunkStream stream = file.get();
    // Each word is checked as it is read; the name's length is bounded before it moves the
    // reader, and the size word must be in the file.
    auto expect = [&](std::initializer_list<std::uint32_t> words) {
        for (const std::uint32_t word : words) {
            if (ReadU32(stream) != word || std::feof(stream) != 0) {
                return false;
            }
        }
        return true;
    };
    if (!expect({tag::kYrq4, 1})) {
        return std::nullopt;
    }
    (void)ReadU32(stream);  // the size word, recomputed on every save
    if (!expect({tag::kXyzs, 0, kXyzsSize, 0, 0, 0, 0, tag::kStrn, 0})) {
        return std::nullopt;
    }
    const std::uint32_t n = ReadU32(stream);
    if (n < 2 || n > RemainingBytes(stream)) {
        return std::nullopt;
    }
    const std::uint32_t fill = (4 - n % 4) % 4;
    if (std::fseek(stream, static_cast<long>(n + fill), SEEK_CUR) != 0 ||
        !expect({tag::kPrim, 0, kPrimSize, 28, 3, 0, 0xFFFFFFFFU, 0})) {
        return std::nullopt;
    }
    const float size = ReadF32(stream);
    return std::feof(stream) != 0 ? std::nullopt : std::optional<float>(size);
}

}  // namespace korvale
