#pragma once
// Loading a texture file of either kind, told apart by its first bytes rather than its name.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "CSrb.h"
#include "FileKind.h"
#include "Status.h"

namespace korvale {

// Loads the bytes of a whole SRB or MIP file into record, the loaders writing their trace to the
// current sink. name is what messages and the trace call the file; kind says what the bytes
// were found to be (kSrb, kMip, or kPng and kUnknown for what is not a texture). A failure when
// no mip set could be read (the record's header values may then have changed, as a load by path
// changes them); damage inside a set that loaded is in record.mip.loadReport.
Status LoadTexture(std::span<const std::uint8_t> bytes, const std::string& name, CSrb& record,
                   FileKind& kind);

// Reads path ("-" for standard input) once, within the texture cap, and loads it, the loaders'
// trace going to trace (nowhere when null).
Status LoadTextureFile(const std::string& path, CSrb& record, FileKind& kind,
                       std::FILE* trace = nullptr);

}  // namespace korvale
