#pragma once
// The companion object file written beside every saved SRB file: it names the object after
// the SRB file and records the size in metres.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ChunkStream.h"

namespace korvale {

// The SRB path with its file name cut at the name's first '.', plus ".yrq". Dots in folder
// names are kept, so the companion always lands beside the SRB file.
[[nodiscard]] std::string CompanionPath(const std::string& srbPath);

// The file name (after the last '/' or '\') up to its first '.'.
[[nodiscard]] std::string ObjectName(const std::string& srbPath);

// The companion object's bytes for objectName and sizeInMetres, exactly as a save writes them.
[[nodiscard]] std::vector<std::uint8_t> CompanionBytes(const std::string& objectName,
                                                       float sizeInMetres);

// Writes the companion object's bytes for objectName at the current position of stream.
void WriteCompanionTo(ChunkStream stream, const std::string& objectName, float sizeInMetres);

// What a companion file holds: the object it names and its size in metres.
struct CompanionContents {
    std::string objectName;
    float sizeInMetres = 0.0F;
};

// The object name and size in bytes, when they are byte for byte what CompanionBytes gives for
// that name and size (every fixed word, the fill, the size word); nothing otherwise.
[[nodiscard]] std::optional<CompanionContents> ParseCompanion(std::span<const std::uint8_t> bytes);

}  // namespace korvale
