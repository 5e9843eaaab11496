#include "ChunkStream.h"

#include <sys/stat.h>

#include <array>
#include <bit>
#include <cstring>

namespace korvale {

std::uint32_t ReadU32(ChunkStream stream) {
    std::array<std::uint8_t, 4> b{};
    if (std::fread(b.data(), 1, b.size(), stream) != b.size()) {
        return 0;
    }
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

int ReadU8(ChunkStream stream) {
    const int c = std::fgetc(stream);
    return c == EOF ? 0 : c;
}

float ReadF32(ChunkStream stream) {
    return std::bit_cast<float>(ReadU32(stream));
}

std::uint32_t PeekTag(ChunkStream stream) {
    // Seek back to the remembered offset rather than 4 bytes back: near the end of a file the
    // read may consume fewer than 4 bytes.
    const long at = std::ftell(stream);
    const std::uint32_t word = ReadU32(stream);
    if (at >= 0) {
        std::clearerr(stream);
        std::fseek(stream, at, SEEK_SET);
    }
    return word;
}

std::size_t ReadBytes(ChunkStream stream, std::span<std::uint8_t> bytes) {
    if (bytes.empty()) {
        return 0;
    }
    return std::fread(bytes.data(), 1, bytes.size(), stream);
}

void WriteU32(ChunkStream stream, std::uint32_t value) {
    const std::array<std::uint8_t, 4> b{
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    std::fwrite(b.data(), 1, b.size(), stream);
}

void WriteU16(ChunkStream stream, std::uint32_t value) {
    const std::array<std::uint8_t, 2> b{static_cast<std::uint8_t>(value),
                                        static_cast<std::uint8_t>(value >> 8)};
    std::fwrite(b.data(), 1, b.size(), stream);
}

void WriteU8(ChunkStream stream, std::uint32_t value) {
    std::fputc(static_cast<int>(value & 0xFFU), stream);
}

void WriteF32(ChunkStream stream, float value) {
    WriteU32(stream, std::bit_cast<std::uint32_t>(value));
}

void WriteBytes(ChunkStream stream, std::span<const std::uint8_t> bytes) {
    if (!bytes.empty()) {
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
    }
}

void WriteChunkHeader(ChunkStream stream, std::uint32_t chunkTag, std::uint32_t size) {
    WriteU32(stream, chunkTag);
    WriteU32(stream, 0);
    WriteU32(stream, size);
}

long Offset(ChunkStream stream) {
    return std::ftell(stream);
}

std::int64_t RemainingBytes(ChunkStream stream) {
    const long at = std::ftell(stream);
    // For a regular file the size comes from the file system: seeking to the end would throw
    // away the stream's buffer every time a level asks.
    struct stat st {};
    const int fd = ::fileno(stream);
    if (at >= 0 && fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        return st.st_size > at ? static_cast<std::int64_t>(st.st_size) - at : 0;
    }
    if (at < 0 || std::fseek(stream, 0, SEEK_END) != 0) {
        return 0;
    }
    const long end = std::ftell(stream);
    std::fseek(stream, at, SEEK_SET);
    return end > at ? static_cast<std::int64_t>(end) - at : 0;
}

bool SkipBytes(ChunkStream stream, std::int64_t bytes) {
    return bytes >= 0 && ::fseeko(stream, static_cast<off_t>(bytes), SEEK_CUR) == 0;
}

}  // namespace korvale
