#include "FastPng.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>

#include "Adler32.h"
#include "LargeBuffer.h"
#include "PngUnfilter.h"

namespace korvale {

namespace {

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const noexcept { libdeflate_free_decompressor(d); }
};

std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 |
           static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 3]);
}

struct Chunk {
    std::size_t at = 0;  // its length field
    std::uint32_t length = 0;
    char type[4]{};

    [[nodiscard]] bool Is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
    [[nodiscard]] std::size_t End() const { return at + 12 + length; }
};

// The chunk at `at`, when all of it (length, type, data and checksum) lies within the file.
bool ChunkAt(std::span<const std::uint8_t> bytes, std::size_t at, Chunk& chunk) {
    if (at > bytes.size() || bytes.size() - at < 12) {
        return false;
    }
    chunk.at = at;
    chunk.length = Get32(bytes, at);
    std::memcpy(chunk.type, bytes.data() + at + 4, 4);
    return chunk.length <= 0x7FFFFFFFu && chunk.length <= bytes.size() - at - 12;
}

bool ChecksumRight(std::span<const std::uint8_t> bytes, const Chunk& chunk) {
    const std::uint32_t crc = static_cast<std::uint32_t>(
        libdeflate_crc32(0, bytes.data() + chunk.at + 4, std::size_t{chunk.length} + 4));
    return crc == Get32(bytes, chunk.at + 8 + chunk.length);
}

}  // namespace

bool DecodeFastPng(std::span<const std::uint8_t> bytes, const FastPngHeader& header,
                   const PngLimits& limits, std::vector<std::uint8_t>& rgba) {
    rgba.clear();
    if (header.channels != 3 && header.channels != 4) {
        return false;
    }
    // Up to the first IDAT, libspng has read and accepted the chunks; only their extent matters.
    Chunk chunk;
    std::size_t at = 8;
    for (;;) {
        if (!ChunkAt(bytes, at, chunk)) {
            return false;
        }
        if (chunk.Is("IDAT")) {
            break;
        }
        at = chunk.End();
    }
    // The IDAT chunks follow one another, each whole and with its checksum right, then IEND
    // closes the file.
    std::vector<std::span<const std::uint8_t>> pieces;
    std::size_t compressed = 0;
    while (chunk.Is("IDAT")) {
        if (chunk.length > limits.chunkSizeLimit || !ChecksumRight(bytes, chunk)) {
            return false;
        }
        pieces.push_back(bytes.subspan(chunk.at + 8, chunk.length));
        compressed += chunk.length;
        if (!ChunkAt(bytes, chunk.End(), chunk)) {
            return false;
        }
    }
    if (!chunk.Is("IEND") || chunk.length != 0 || chunk.End() != bytes.size() ||
        !ChecksumRight(bytes, chunk)) {
        return false;
    }

    std::vector<std::uint8_t> joined;
    std::span<const std::uint8_t> stream = pieces.front();
    if (pieces.size() > 1) {
        ReserveLarge(joined, compressed);
        for (const auto& piece : pieces) {
            joined.insert(joined.end(), piece.begin(), piece.end());
        }
        stream = joined;
    }
    // A zlib stream with the 32 KiB window PNG allows, no preset dictionary.
    if (stream.size() < 2 || stream[0] != 0x78 || (stream[0] << 8 | stream[1]) % 31 != 0 ||
        (stream[1] & 0x20) != 0) {
        return false;
    }

    const std::size_t width = header.width;
    const std::size_t height = header.height;
    const std::size_t filtered = height * (width * static_cast<std::size_t>(header.channels) + 1);
    const std::size_t room = UnfilterBufferSize(width, height, header.channels);
    ReserveLarge(rgba, room);
    rgba.resize(room);
    const std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    // The deflate data between the two header bytes and the four of the checksum. Without an
    // actual-size result, libdeflate succeeds only when it fills the rows exactly; the
    // checksum must follow it at once and end the stream. (The checksum is taken here rather
    // than by libdeflate's zlib call, to use a vector loop where libdeflate has none.)
    constexpr std::size_t kHeader = 2;
    constexpr std::size_t kChecksum = 4;
    std::uint8_t* const rows = rgba.data() + UnfilterInputOffset(width, height, header.channels);
    std::size_t used = 0;
    const bool inflated =
        decompressor != nullptr && stream.size() >= kHeader + kChecksum &&
        libdeflate_deflate_decompress_ex(decompressor.get(), stream.data() + kHeader,
                                         stream.size() - kHeader - kChecksum, rows, filtered, &used,
                                         nullptr) == LIBDEFLATE_SUCCESS &&
        used == stream.size() - kHeader - kChecksum &&
        Adler32(rows, filtered) == Get32(stream, kHeader + used);
    if (!inflated || !UnfilterToRgba(rgba.data(), width, height, header.channels)) {
        rgba.clear();
        rgba.shrink_to_fit();
        return false;
    }
    rgba.resize(width * height * 4);
    return true;
}

}  // namespace korvale
