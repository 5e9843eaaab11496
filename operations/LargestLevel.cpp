#include "LargestLevel.h"

#include <vector>

#include "CSrb.h"
#include "LevelImage.h"
#include "TextureLoad.h"
#include "Trace.h"

namespace korvale {

Status DecodeLargestLevel(std::span<const std::uint8_t> bytes, Image& picture) {
    picture = Image{};
    const TraceTo quiet(nullptr);
    CSrb record;
    FileKind kind = FileKind::kUnknown;
    if (Status loaded = LoadTexture(bytes, "", record, kind); !loaded) {
        return loaded;
    }
    const std::vector<int> slots = record.mip.FilledSlots();  // largest first
    if (slots.empty()) {
        const LoadReport& report = record.mip.loadReport;
        return report.Clean()
                   ? Status::Failure("holds no level")
                   : Status::Failure("holds no level that could be read: " + report.FirstError(),
                                     report.FirstErrorOffset());
    }
    const int slot = slots.front();
    picture = LevelToImage(record.mip.levels[static_cast<std::size_t>(slot)],
                           record.mip.LevelPalette(slot));
    return {};
}

}  // namespace korvale
