#include "PixelType.h"

#include <array>

namespace korvale {

namespace {

constexpr std::array<PixelTypeInfo, 6> kTypes{{
    {0, "pal4", PixelKind::kPalettised, 0, 0, 0, 0, nullptr},
    {1, "pal4", PixelKind::kPalettised, 0, 0, 0, 0, nullptr},
    {2, "pal4", PixelKind::kPalettised, 0, 0, 0, 0, nullptr},
    {3, "rgb565", PixelKind::kSixteenBit, 5, 6, 5, 0, &kRgb565},
    {4, "argb1555", PixelKind::kSixteenBit, 5, 5, 5, 1, &kArgb1555},
    {5, "argb4444", PixelKind::kSixteenBit, 4, 4, 4, 4, &kArgb4444},
}};

}  // namespace

const PixelTypeInfo* PixelTypeOf(int code) {
    for (const PixelTypeInfo& info : kTypes) {
        if (info.code == code) {
            return &info;
        }
    }
    return nullptr;
}

std::optional<int> PixelTypeNamed(std::string_view name) {
    for (const PixelTypeInfo& info : kTypes) {
        if (info.name == name) {
            return info.code;  // the first code of a name: pal4 is written as 0
        }
    }
    return std::nullopt;
}

std::string PixelTypeName(int code) {
    const PixelTypeInfo* info = PixelTypeOf(code);
    return info != nullptr ? std::string(info->name) : "type " + std::to_string(code);
}

}  // namespace korvale
