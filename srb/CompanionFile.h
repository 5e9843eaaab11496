#pragma once
// The companion object file written beside every saved SRB file: it names the object after
// the SRB file and records the size in metres.

#include <optional>
#include <string>

#include "ChunkStream.h"

namespace korvale {

// The SRB path with its file name cut at the name's first '.', plus ".yrq". Dots in folder
// names are kept, so the companion always lands beside the SRB file.
[[nodiscard]] std::string CompanionPath(const std::string& srbPath);

// The file name (after the last '/' or '\') up to its first '.'.
[[nodiscard]] std::string ObjectName(const std::string& srbPath);

// Writes the companion object's bytes for objectName at the current position of stream.
void WriteCompanionTo(ChunkStream stream, const std::string& objectName, float sizeInMetres);

// The size in metres recorded in srbPath's companion file, or nothing when there is no such
// file or it is not laid out as Korvale writes them.
[[nodiscard]] std::optional<float> ReadCompanionSize(const std::string& srbPath);

}  // namespace korvale
