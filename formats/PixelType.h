#pragma once
// The pixel types a level can have, as one table: every place that needs a type's name, its
// bits per channel or its layout reads it from here.

#include <optional>
#include <string>
#include <string_view>

#include "PixelCodec.h"

namespace korvale {

// The type codes a level is written with (the BMHD type byte); files may also hold 1 and 2,
// which read as pal4.
enum class PixelCode : int { kPal4 = 0, kRgb565 = 3, kArgb1555 = 4, kArgb4444 = 5 };

// The mip header's miptype, as written: one palette for all levels, or one per level. Files may
// also hold 1, which reads as 0.
enum class MipType : int { kSharedPalette = 0, kLevelPalettes = 2 };

// The integer a file stores for a pixel type or miptype.
[[nodiscard]] constexpr int CodeOf(PixelCode code) {
    return static_cast<int>(code);
}
[[nodiscard]] constexpr int CodeOf(MipType type) {
    return static_cast<int>(type);
}

struct PixelTypeInfo {
    int code;               // the BMHD type byte
    std::string_view name;  // pal4, rgb565, argb1555, argb4444
    PixelKind kind;
    int redBits;  // bits stored per channel; 0 for palettised types
    int greenBits;
    int blueBits;
    int alphaBits;                   // 0: the type has no alpha and decodes as opaque
    const SixteenBitLayout* layout;  // nullptr for palettised types
};

// The entry of a type code (0, 1 and 2 are the three equivalent palettised codes, 3..5 16-bit),
// or nullptr for a code no level can decode (an empty level's 255).
[[nodiscard]] const PixelTypeInfo* PixelTypeOf(int code);
// The code written for a name (pal4 gives 0), or nothing for an unknown name.
[[nodiscard]] std::optional<int> PixelTypeNamed(std::string_view name);
// The name of a type code: "pal4", "rgb565", ..., or "type N" for an unknown code.
[[nodiscard]] std::string PixelTypeName(int code);

}  // namespace korvale
