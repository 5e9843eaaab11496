#pragma once
// A texture file of either kind, told apart by its first bytes rather than its name: an SRB file
// starts with the SRB tag, anything else is read as a MIP file.

#include <cstdint>
#include <span>
#include <string>

#include "CSrb.h"
#include "Status.h"

namespace korvale {

enum class TextureKind { kSrb, kMip };

// Loads the bytes of a whole SRB or MIP file into record, the loaders writing their trace to the
// current sink. name is what messages and the trace call the file. A failure when no mip set
// could be read (the record's header values may then have changed, as a load by path changes
// them); damage inside a set that loaded is in record.mip.loadReport.
Status LoadTexture(std::span<const std::uint8_t> bytes, const std::string& name, CSrb& record,
                   TextureKind& kind);

}  // namespace korvale
