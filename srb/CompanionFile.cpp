#include "CompanionFile.h"

#include <algorithm>
#include <bit>
#include <cstdint>
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

std::vector<std::uint8_t> CompanionBytes(const std::string& objectName, float sizeInMetres) {
    const auto n = static_cast<std::uint32_t>(objectName.size() + 2);
    const std::uint32_t fill = (4 - n % 4) % 4;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(std::size_t{n} + fill + kSizeAfterName + 12);
    const auto word = [&bytes](std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    };
    // The size is known before anything is written, so it goes out directly rather than as a
    // placeholder patched by a seek (which a pipe or device could not honour).
    for (const std::uint32_t w : {tag::kYrq4, 1U, n + fill + kSizeAfterName, tag::kXyzs, 0U,
                                  kXyzsSize, 0U, 0U, 0U, 0U, tag::kStrn, 0U, n}) {
        word(w);
    }
    bytes.insert(bytes.end(), objectName.begin(), objectName.end());
    bytes.push_back(0x00);
    bytes.push_back(0xFF);
    bytes.insert(bytes.end(), fill, kFill);
    for (const std::uint32_t w :
         {tag::kPrim, 0U, kPrimSize, 28U, 3U, 0U, 0xFFFFFFFFU, 0U,
          std::bit_cast<std::uint32_t>(sizeInMetres), 0x00010000U, 5U, 4U, 4U, 10U}) {
        word(w);
    }
    return bytes;
}

void WriteCompanionTo(ChunkStream stream, const std::string& objectName, float sizeInMetres) {
    WriteBytes(stream, CompanionBytes(objectName, sizeInMetres));
}

std::optional<CompanionContents> ParseCompanion(std::span<const std::uint8_t> bytes) {
    const auto wordAt = [&bytes](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            value |= std::uint32_t{bytes[at + i]} << (8 * i);
        }
        return value;
    };
    // The name's length is read first and bounded by the file's own length (108 + n + f bytes)
    // before it places anything; then the whole file must be what the writer gives.
    constexpr std::size_t kNameAt = 52;
    constexpr std::size_t kFixedBytes = 108;
    if (bytes.size() < kFixedBytes) {
        return std::nullopt;
    }
    const std::uint64_t n = wordAt(48);
    const std::uint64_t fill = (4 - n % 4) % 4;
    if (n < 2 || kFixedBytes + n + fill != bytes.size()) {
        return std::nullopt;
    }
    CompanionContents contents;
    contents.objectName.assign(bytes.begin() + kNameAt,
                               bytes.begin() + static_cast<std::ptrdiff_t>(kNameAt + n - 2));
    contents.sizeInMetres = std::bit_cast<float>(wordAt(kNameAt + n + fill + 32));
    const std::vector<std::uint8_t> expected =
        CompanionBytes(contents.objectName, contents.sizeInMetres);
    if (!std::equal(bytes.begin(), bytes.end(), expected.begin(), expected.end())) {
        return std::nullopt;
    }
    return contents;
}

}  // namespace korvale
