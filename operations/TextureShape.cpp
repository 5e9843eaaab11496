#include "TextureShape.h"

#include <bit>
#include <string>
#include <utility>

#include "ColourSpace.h"
#include "LevelEdit.h"
#include "Limits.h"
#include "PixelType.h"
#include "Resampler.h"

namespace korvale {

namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'K', 'V', 'S', 'H'};
constexpr std::uint32_t kVersion = 1;
// Magic, version, kind, six header words, three words per slot, 10 palettes of 16 entries of 4
// bytes, six values and the size.
constexpr std::size_t kEncodedSize =
    4 + 4 + 4 + 6 * 4 + CMip::kSlots * 3 * 4 + (1 + CMip::kSlots) * CCmap::kEntries * 4 + 6 * 4 + 4;

class Writer {
  public:
    void Word(std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }
    void Int(int v) { Word(static_cast<std::uint32_t>(v)); }
    void Palette(const CCmap& palette) {
        for (int i = 0; i < CCmap::kEntries; ++i) {
            const Colour& c = palette.Entry(i);
            for (const std::int32_t v : {c.r, c.g, c.b, c.a}) {
                bytes.push_back(static_cast<std::uint8_t>(v));
            }
        }
    }
    std::vector<std::uint8_t> bytes;
};

class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint32_t Word() {
        std::uint32_t v = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            v |= static_cast<std::uint32_t>(bytes_[at_++]) << shift;
        }
        return v;
    }
    int Int() { return static_cast<int>(Word()); }
    void Palette(CCmap& palette) {
        for (int i = 0; i < CCmap::kEntries; ++i) {
            Colour& c = palette.Entry(i);
            for (std::int32_t* v : {&c.r, &c.g, &c.b, &c.a}) {
                *v = bytes_[at_++];
            }
        }
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

Status OutOfRange(const std::string& what, int value) {
    return Status::Failure("the texture kept with the image is damaged: " + what + " " +
                           std::to_string(value) + " is out of range");
}

// A picture of size w x h made from the picture of the level above.
Image Reduced(const Image& above, int width, int height) {
    return ToImage(ToSrgb(AreaAverage(above, width, height)));
}

}  // namespace

TextureShape ShapeOf(const CSrb& record, FileKind kind, float metres) {
    TextureShape shape;
    const CMip& mip = record.mip;
    shape.srb = kind == FileKind::kSrb;
    shape.miptype = mip.miptype;
    shape.powerwidth = mip.powerwidth;
    shape.powerheight = mip.powerheight;
    shape.col = mip.col;
    shape.repeatCode = mip.RepeatCode();
    shape.numimages = mip.numimages;
    for (const int k : mip.FilledSlots()) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        shape.slots[static_cast<std::size_t>(k)] = {level.Type(), level.Width(), level.Height()};
    }
    shape.globalPalette = mip.globalPalette;
    for (int k = 0; k < CMip::kSlots; ++k) {
        shape.levelPalettes[static_cast<std::size_t>(k)] = mip.LevelPalette(k);
    }
    for (std::size_t i = 0; i < shape.values.size(); ++i) {
        shape.values[i] = std::bit_cast<std::uint32_t>(record.header[i]);
    }
    shape.metres = std::bit_cast<std::uint32_t>(metres);
    return shape;
}

std::vector<std::uint8_t> EncodeShape(const TextureShape& shape) {
    Writer out;
    out.bytes.assign(kMagic.begin(), kMagic.end());
    out.Word(kVersion);
    out.Word(shape.srb ? 1 : 0);
    for (const int v : {shape.miptype, shape.powerwidth, shape.powerheight, shape.col,
                        shape.repeatCode, shape.numimages}) {
        out.Int(v);
    }
    for (const TextureShape::Slot& slot : shape.slots) {
        out.Int(slot.type);
        out.Int(slot.width);
        out.Int(slot.height);
    }
    out.Palette(shape.globalPalette);
    for (const CCmap& palette : shape.levelPalettes) {
        out.Palette(palette);
    }
    for (const std::uint32_t v : shape.values) {
        out.Word(v);
    }
    out.Word(shape.metres);
    return std::move(out.bytes);
}

Status DecodeShape(std::span<const std::uint8_t> bytes, TextureShape& shape) {
    if (bytes.size() != kEncodedSize || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) {
        return Status::Failure("the texture kept with the image is not one Korvale wrote (" +
                               std::to_string(bytes.size()) + " bytes)");
    }
    Reader in(bytes.subspan(kMagic.size()));
    if (const std::uint32_t version = in.Word(); version != kVersion) {
        return OutOfRange("its version", static_cast<int>(version));
    }
    TextureShape made;
    const int kind = in.Int();
    if (kind != 0 && kind != 1) {
        return OutOfRange("its kind", kind);
    }
    made.srb = kind == 1;
    for (int* v : {&made.miptype, &made.powerwidth, &made.powerheight, &made.col, &made.repeatCode,
                   &made.numimages}) {
        *v = in.Int();
    }
    // The two header fields a file holds as bytes.
    for (const auto& [name, v] :
         {std::pair{"miptype", made.miptype}, {"repeat code", made.repeatCode}}) {
        if (v < 0 || v > 255) {
            return OutOfRange(name, v);
        }
    }
    for (TextureShape::Slot& slot : made.slots) {
        slot.type = in.Int();
        slot.width = in.Int();
        slot.height = in.Int();
        if (slot.type < 0 || slot.type > CBmap::kEmptyType) {
            return OutOfRange("a level's pixel type", slot.type);
        }
        for (const int side : {slot.width, slot.height}) {
            if (side < 0 || side > limits::kMaxSide ||
                (slot.type != CBmap::kEmptyType && side == 0)) {
                return OutOfRange("a level's side", side);
            }
        }
    }
    in.Palette(made.globalPalette);
    for (CCmap& palette : made.levelPalettes) {
        in.Palette(palette);
    }
    for (std::uint32_t& v : made.values) {
        v = in.Word();
    }
    made.metres = in.Word();
    shape = made;
    return {};
}

Status ShapeRecord(const TextureShape& shape, CSrb& record) {
    CSrb made;
    CMip& mip = made.mip;
    mip.miptype = shape.miptype;
    mip.powerwidth = shape.powerwidth;
    mip.powerheight = shape.powerheight;
    mip.col = shape.col;
    mip.SetRepeatCode(shape.repeatCode);
    mip.numimages = shape.numimages;
    mip.globalPalette = shape.globalPalette;
    for (std::size_t k = 0; k < shape.slots.size(); ++k) {
        mip.levelPalettes[k] = shape.levelPalettes[k];
        const TextureShape::Slot& slot = shape.slots[k];
        if (slot.type != CBmap::kEmptyType &&
            !mip.levels[k].Allocate(slot.type, slot.width, slot.height)) {
            return Status::Failure("a level of " + std::to_string(slot.width) + " x " +
                                   std::to_string(slot.height) + " cannot be made");
        }
    }
    for (std::size_t i = 0; i < shape.values.size(); ++i) {
        made.header[i] = std::bit_cast<float>(shape.values[i]);
    }
    made.sizeInMetres = std::bit_cast<float>(shape.metres);
    record = std::move(made);
    return {};
}

Status RebuildLike(const TextureShape& shape, const std::map<int, Image>& pictures, CSrb& record,
                   std::vector<int>& generated) {
    CSrb made;
    if (Status shaped = ShapeRecord(shape, made); !shaped) {
        return shaped;
    }
    std::vector<int> madeUp;
    Image above;
    for (const int k : made.mip.FilledSlots()) {
        const TextureShape::Slot& slot = shape.slots[static_cast<std::size_t>(k)];
        const auto given = pictures.find(k);
        Image picture;
        if (given != pictures.end() && given->second.width == slot.width &&
            given->second.height == slot.height) {
            picture = given->second;
        } else if (above.Empty()) {
            return Status::Failure("there is no picture of the top level (" +
                                   std::to_string(slot.width) + " x " +
                                   std::to_string(slot.height) + ")");
        } else {
            picture = Reduced(above, slot.width, slot.height);
            madeUp.push_back(k);
        }
        if (Status stored = PutBackLevel(made.mip, k, picture, false); !stored) {
            return stored;
        }
        // A palettised level is stored as code 0; codes 1 and 2 are the same layout, kept as
        // the file had them.
        const CBmap& level = made.mip.levels[static_cast<std::size_t>(k)];
        if (level.Type() != slot.type) {
            const CCmap palette = made.mip.LevelPalette(k);
            (void)made.mip.ReplaceLevel(k, CopyLevel(level, slot.type), &palette);  // same size
        }
        above = std::move(picture);
    }
    record = std::move(made);
    generated = std::move(madeUp);
    return {};
}

}  // namespace korvale
