#include "CMip.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "Limits.h"
#include "PixelCodec.h"
#include "PixelType.h"
#include "SafeFile.h"
#include "Trace.h"

namespace korvale {

namespace {

constexpr std::uint32_t kMphdSize = 18;
constexpr std::int64_t kHeaderBytesAfterSize = 32;  // MPHD chunk with its two fill bytes
constexpr std::uint8_t kFill = 0x20;

// 2^exponent as a signed 32-bit size; 0 when negative or too large to hold.
int PowerOfTwo(std::int64_t exponent) {
    if (exponent < 0 || exponent > limits::kMaxExponent) {
        return 0;
    }
    return 1 << exponent;
}

}  // namespace

CMip::CMip() {
    for (CBmap& level : levels) {
        level.Reset();
    }
}

int SlotForPass(std::int64_t powerwidth, std::int64_t powerheight, std::int64_t pass) {
    std::int64_t largest = -1;  // exponent of the larger side; -1 while both sides are 0
    for (const std::int64_t e : {powerwidth - pass, powerheight - pass}) {
        if (e >= 0 && e <= limits::kMaxExponent) {
            largest = std::max(largest, e);
        }
    }
    return largest >= 0 && largest < CMip::kSlots ? static_cast<int>(largest) : -1;
}

std::vector<int> SlotsToRead(std::int64_t powerwidth, std::int64_t powerheight,
                             std::int64_t numimages) {
    // Only passes where one exponent lies in 0..8 can select a slot, so the loop visits those
    // alone: it stays short however large numimages is.
    std::vector<std::int64_t> passes;
    for (const std::int64_t e : {powerwidth, powerheight}) {
        for (std::int64_t k = 0; k < CMip::kSlots; ++k) {
            const std::int64_t pass = e - k;
            if (pass >= 0 && pass < numimages) {
                passes.push_back(pass);
            }
        }
    }
    std::sort(passes.begin(), passes.end());
    passes.erase(std::unique(passes.begin(), passes.end()), passes.end());
    std::vector<int> slots;
    for (const std::int64_t pass : passes) {
        const int slot = SlotForPass(powerwidth, powerheight, pass);
        if (slot >= 0) {
            slots.push_back(slot);
        }
    }
    return slots;
}

int CMip::Width() const {
    return PowerOfTwo(powerwidth);
}

int CMip::Height() const {
    return PowerOfTwo(powerheight);
}

std::vector<int> CMip::FilledSlots() const {
    std::vector<int> slots;
    for (int k = kSlots - 1; k >= 0; --k) {
        if (levels[static_cast<std::size_t>(k)].HasData()) {
            slots.push_back(k);
        }
    }
    return slots;
}

int CMip::SlotForSize(int width, int height) {
    const int larger = std::max(width, height);
    const int smaller = std::min(width, height);
    if (smaller < 1 || !std::has_single_bit(static_cast<unsigned>(width)) ||
        !std::has_single_bit(static_cast<unsigned>(height))) {
        return -1;
    }
    const int slot = std::countr_zero(static_cast<unsigned>(larger));
    return slot < kSlots ? slot : -1;
}

bool CMip::SetLevel(CBmap level, const CCmap* palette) {
    const int slot = SlotForSize(level.Width(), level.Height());
    if (slot < 0 || !level.HasData()) {
        return false;
    }
    // Every level must have the size the chain gives its slot: the top level halved per slot,
    // a side that reached 1 staying 1.
    const std::vector<int> filled = FilledSlots();
    const bool newTop = filled.empty() || slot >= filled.front();
    const CBmap& top = newTop ? level : levels[static_cast<std::size_t>(filled.front())];
    const int topSlot = newTop ? slot : filled.front();
    auto fits = [&](const CBmap& l, int k) {
        const int shift = topSlot - k;
        return l.Width() == std::max(1, top.Width() >> shift) &&
               l.Height() == std::max(1, top.Height() >> shift);
    };
    if (!fits(level, slot)) {
        return false;
    }
    for (const int k : filled) {
        if (k != slot && !fits(levels[static_cast<std::size_t>(k)], k)) {
            return false;
        }
    }
    const auto k = static_cast<std::size_t>(slot);
    levelPalettes[k].CopyFrom(palette != nullptr ? *palette : globalPalette);
    levels[k] = std::move(level);

    const std::vector<int> now = FilledSlots();
    const CBmap& largest = levels[static_cast<std::size_t>(now.front())];
    powerwidth = std::countr_zero(static_cast<unsigned>(largest.Width()));
    powerheight = std::countr_zero(static_cast<unsigned>(largest.Height()));
    // The reader takes one level per pass, from the top slot down, and has no way to skip a
    // slot: numimages counts the passes down to the smallest filled slot, so a chain should be
    // filled without gaps.
    numimages = now.front() - now.back() + 1;
    return true;
}

bool CMip::ReplaceLevel(int slot, CBmap level, const CCmap* palette) {
    if (slot < 0 || slot >= kSlots) {
        return false;
    }
    const auto k = static_cast<std::size_t>(slot);
    const CBmap& old = levels[k];
    if (!old.HasData() || !level.HasData() || level.Width() != old.Width() ||
        level.Height() != old.Height()) {
        return false;
    }
    if (palette != nullptr) {
        levelPalettes[k].CopyFrom(*palette);
    }
    levels[k] = std::move(level);
    return true;
}

const CCmap& CMip::LevelPalette(int slot) const {
    return levelPalettes.at(static_cast<std::size_t>(slot));
}

namespace {

// Whether any index the level's pixels use stands for another colour in other.
bool UsedColoursDiffer(const CBmap& level, const CCmap& mine, const CCmap& other) {
    std::array<bool, CCmap::kEntries> used{};
    for (const std::int32_t index : level.Plane(PlaneId::kIndex)) {
        if (index >= 0 && index < CCmap::kEntries) {
            used[static_cast<std::size_t>(index)] = true;
        }
    }
    for (int i = 0; i < CCmap::kEntries; ++i) {
        if (used[static_cast<std::size_t>(i)] && mine.Entry(i) != other.Entry(i)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int CMip::FirstPalettisedSlot() const {
    for (const int k : FilledSlots()) {
        if (levels[static_cast<std::size_t>(k)].Palettised()) {
            return k;
        }
    }
    return -1;
}

bool CMip::HasOwnPalette(int slot) const {
    const CBmap& level = levels.at(static_cast<std::size_t>(slot));
    return level.Palettised() && UsedColoursDiffer(level, LevelPalette(slot), globalPalette);
}

std::vector<int> CMip::SlotsRecolouredBySave() const {
    std::vector<int> changed;
    if (SavesLevelPalettes()) {
        return changed;  // every palettised level carries its own palette
    }
    CCmap written;  // what the levels will be read back with
    if (SavesGlobalPalette()) {
        written = globalPalette;
    } else {
        written.SetDefault();
    }
    for (const int k : FilledSlots()) {
        const CBmap& level = levels[static_cast<std::size_t>(k)];
        if (level.Palettised() && UsedColoursDiffer(level, LevelPalette(k), written)) {
            changed.push_back(k);
        }
    }
    return changed;
}

void CMip::ClearLevels() {
    for (CBmap& level : levels) {
        level.Reset();
    }
    powerwidth = 0;
    powerheight = 0;
    numimages = 0;
}

int CMip::RepeatCode() const {
    if (hrepeat == 1 && vrepeat == 1) {
        return 0;
    }
    if (hrepeat == 1 && vrepeat == 0) {
        return 1;
    }
    if (hrepeat == 0 && vrepeat == 1) {
        return 2;
    }
    if (hrepeat == 0 && vrepeat == 0) {
        return 3;
    }
    return 0;
}

void CMip::SetRepeatCode(int code) {
    hrepeat = code == 0 || code == 1 ? 1 : 0;
    vrepeat = code == 0 || code == 2 ? 1 : 0;
}

int CMip::Load(const std::string& path) {
    FilePtr file = OpenForRead(path);
    // The trace line comes first but may itself fail and set errno, so the open's reason is
    // kept before it is written.
    const int openError = errno;
    Trace("Loading mip: '%s'\n", path.c_str());
    if (!file) {
        loadReport.Begin();
        loadReport.Error(0, std::string("cannot open: ") + std::strerror(openError));
        return 0;
    }
    const int result = Load(file.get());
    if (result == 0) {
        // The levels are left as they were, but the report speaks of this load.
        loadReport.Begin();
        loadReport.Error(0, "not a MIP file: no MIP tag at its start");
    }
    return result;
}

int CMip::Load(ChunkStream stream) {
    if (stream == nullptr) {
        return -1;
    }
    if (ReadU32(stream) != tag::kMip) {
        return 0;
    }
    loadReport.Begin();
    (void)ReadU32(stream);  // reserved
    (void)ReadU32(stream);  // size, recomputed on save
    const HeaderTrace header = ReadHeader(stream);
    Trace(
        "datasize: %d\nmiptype: %d\npowerwidth: %d (%d)\npowerheight: %d (%d)\ncol?: %d\n"
        "repeating: %d (h*v): (%d*%d)\nnumimages: %d\n",
        static_cast<int>(header.datasize), miptype, powerwidth, Width(), powerheight, Height(), col,
        header.repeatCode, hrepeat, vrepeat, numimages);
    ReadPalettesAndLevels(stream);
    return 1;
}

CMip::HeaderTrace CMip::ReadHeader(ChunkStream stream) {
    HeaderTrace header{0, RepeatCode()};
    const long mphdAt = Offset(stream);
    // Each field counts as read only when the file held all of its bytes: a file cut short
    // inside its header reads the rest as 0, and the report says which fields those are.
    int fieldsRead = 0;
    auto count = [&] {
        if (std::feof(stream) == 0) {
            ++fieldsRead;
        }
    };
    if (ReadU32(stream) != tag::kMphd) {
        loadReport.Error(mphdAt, "no MPHD header");
    } else {
        (void)ReadU32(stream);
        header.datasize = ReadU32(stream);
        miptype = ReadU8(stream);
        count();
        powerwidth = static_cast<std::int32_t>(ReadU32(stream));
        count();
        powerheight = static_cast<std::int32_t>(ReadU32(stream));
        count();
        col = static_cast<std::int32_t>(ReadU32(stream));
        count();
        header.repeatCode = ReadU8(stream);
        SetRepeatCode(header.repeatCode);
        count();
        numimages = static_cast<std::int32_t>(ReadU32(stream));
        count();
        (void)ReadU8(stream);
        (void)ReadU8(stream);
    }
    loadReport.SetHeaderFieldsRead(fieldsRead);
    // Looking for the next tag clears the end-of-file flag, so a header cut short is noted now.
    if (std::feof(stream) != 0) {
        loadReport.CutShort(Offset(stream));
    }
    return header;
}

void CMip::ReadPalettesAndLevels(ChunkStream stream) {
    if (PeekTag(stream) == tag::kCmap) {
        Trace("Global CMAP\n");
        (void)globalPalette.Load(stream, &loadReport);  // a damaged palette does not stop levels
    } else {
        globalPalette.SetDefault();
    }
    for (CBmap& level : levels) {
        level.Reset();
    }
    for (const int slot : SlotsToRead(powerwidth, powerheight, numimages)) {
        const auto k = static_cast<std::size_t>(slot);
        // A rejected level is in the report and the trace; the loop goes on to the next.
        (void)levels[k].Load(stream, levelPalettes[k], globalPalette, &loadReport, slot);
    }
    if (std::feof(stream) != 0) {  // a level may have said so already: once is enough
        loadReport.CutShort(Offset(stream));
    }
}

std::int64_t CMip::SizeWord() const {
    std::int64_t size = kHeaderBytesAfterSize + (SavesGlobalPalette() ? CCmap::kChunkSize : 0);
    for (const int k : FilledSlots()) {
        size += levels[static_cast<std::size_t>(k)].ChunkSize(SavesLevelPalettes());
    }
    return size;
}

int CMip::Save(ChunkStream stream) const {
    if (stream == nullptr) {
        return -1;
    }
    WriteChunkHeader(stream, tag::kMip, static_cast<std::uint32_t>(SizeWord()));
    WriteChunkHeader(stream, tag::kMphd, kMphdSize);
    WriteU8(stream, static_cast<std::uint32_t>(miptype));
    WriteU32(stream, static_cast<std::uint32_t>(powerwidth));
    WriteU32(stream, static_cast<std::uint32_t>(powerheight));
    WriteU32(stream, static_cast<std::uint32_t>(col));
    WriteU8(stream, static_cast<std::uint32_t>(RepeatCode()));
    WriteU32(stream, static_cast<std::uint32_t>(numimages));
    WriteU8(stream, kFill);
    WriteU8(stream, kFill);
    if (SavesGlobalPalette()) {
        globalPalette.Save(stream);
    }
    for (const int k : FilledSlots()) {
        const auto slot = static_cast<std::size_t>(k);
        levels[slot].Save(stream, levelPalettes[slot], SavesLevelPalettes());
    }
    return std::ferror(stream) != 0 ? 0 : 1;
}

namespace {

std::string SlotList(const std::vector<int>& slots) {
    std::string list;
    for (const int k : slots) {
        list += (list.empty() ? "" : ", ") + std::to_string(k);
    }
    return list;
}

// "slot 3" or "slots 3, 2".
std::string Slots(const std::vector<int>& slots) {
    return (slots.size() == 1 ? "slot " : "slots ") + SlotList(slots);
}

bool KnownType(const CBmap& level) {
    return PixelTypeOf(level.Type()) != nullptr;
}

}  // namespace

Status CMip::CheckReloadsAsShown() const {
    const std::vector<int> written = FilledSlots();
    const std::vector<int> read = SlotsToRead(powerwidth, powerheight, numimages);
    std::vector<std::string> problems;

    std::vector<int> unknown;
    for (const int k : written) {
        const CBmap& level = levels[static_cast<std::size_t>(k)];
        if (!KnownType(level) && level.Width() > 0 && level.Height() > 0) {
            unknown.push_back(k);
        }
    }
    if (!unknown.empty()) {
        problems.push_back((unknown.size() == 1 ? "the level in slot " : "the levels in slots ") +
                           SlotList(unknown) + " " +
                           (unknown.size() == 1 ? "has a pixel type" : "have pixel types") +
                           " none of the six: " + (unknown.size() == 1 ? "its" : "their") +
                           " pixels were never read, and the file would hold " +
                           (unknown.size() == 1 ? "it" : "them") + " without any");
    }

    std::vector<int> gaps;
    if (!written.empty()) {
        for (int k = written.front() - 1; k > written.back(); --k) {
            if (!levels[static_cast<std::size_t>(k)].HasData()) {
                gaps.push_back(k);
            }
        }
    }
    if (!gaps.empty()) {
        problems.push_back(Slots(gaps) + (gaps.size() == 1 ? " holds" : " hold") +
                           " no level between filled ones, and a file cannot skip a slot");
    }

    // Chunk j of the file is read by pass j, into read[j].
    const std::string header = "the header (powerwidth " + std::to_string(powerwidth) +
                               ", powerheight " + std::to_string(powerheight) + ", numimages " +
                               std::to_string(numimages) + ")";
    std::vector<std::pair<int, int>> misplaced;  // (slot written from, slot read into)
    const std::size_t both = std::min(written.size(), read.size());
    for (std::size_t j = 0; j < both; ++j) {
        if (written[j] != read[j]) {
            misplaced.emplace_back(written[j], read[j]);
        }
    }
    if (!misplaced.empty()) {
        std::string text = header + " would read the level of slot " +
                           std::to_string(misplaced.front().first) + " into slot " +
                           std::to_string(misplaced.front().second);
        if (misplaced.size() > 1) {
            const std::size_t more = misplaced.size() - 1;
            text += " and " + std::to_string(more) + (more == 1 ? " more level" : " more levels") +
                    " into another slot than " + (more == 1 ? "its own" : "their own");
        }
        problems.push_back(text);
    }
    if (read.size() > written.size()) {
        const std::vector<int> empty(read.begin() + static_cast<std::ptrdiff_t>(written.size()),
                                     read.end());
        problems.push_back((misplaced.empty() ? header : std::string("it")) +
                           " would look for a level for " + Slots(empty) +
                           " past the last one written, so the file would read as cut short");
    } else if (written.size() > read.size()) {
        const std::vector<int> unread(written.begin() + static_cast<std::ptrdiff_t>(read.size()),
                                      written.end());
        problems.push_back((misplaced.empty() ? header : std::string("it")) +
                           " would never read the level of " + Slots(unread));
    }

    if (problems.empty()) {
        return {};
    }
    std::string reason;
    for (const std::string& p : problems) {
        reason += (reason.empty() ? "" : "; ") + p;
    }
    reason += "; korvale-tool convert --repair writes the levels";
    reason += unknown.empty() ? "" : " of the six types";
    reason += " under a header made from them";
    return Status::Failure(reason);
}

namespace {

// The exponent of a side that is a power of two.
int Exponent(int side) {
    return std::countr_zero(static_cast<unsigned>(side));
}

// The rounded mean of four plane values.
std::int32_t Mean(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    return (a + b + c + d + 2) / 4;
}

// The value nearest value that a channel of bits bits stores (they are the top bits of the byte,
// so the stored values are the multiples of 256 >> bits); the codec alone would truncate. A
// channel the type does not store is left to the codec's fill.
std::int32_t NearestStored(std::int32_t value, int bits) {
    if (bits <= 0 || bits >= 8) {
        return value;
    }
    const std::int32_t step = 256 >> bits;
    return std::min((value + step / 2) / step * step, 256 - step);
}

// The entry of palette nearest colour (squared distance over red, green, blue and alpha), the
// first of equally near ones.
int NearestEntry(const CCmap& palette, const Colour& colour) {
    int best = 0;
    std::int64_t bestDistance = -1;
    for (int i = 0; i < CCmap::kEntries; ++i) {
        const Colour& e = palette.Entry(i);
        const std::int64_t dr = e.r - colour.r;
        const std::int64_t dg = e.g - colour.g;
        const std::int64_t db = e.b - colour.b;
        const std::int64_t da = e.a - colour.a;
        const std::int64_t distance = dr * dr + dg * dg + db * db + da * da;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// The level for the slot below above's: each side halved (a side of 1 stays 1), each pixel the
// mean of the 2 x 2 block it covers, in above's pixel type. A palettised pixel takes the entry of
// palette nearest the mean colour; a 16-bit one the stored value nearest the mean, so the
// level is exactly what a reload of it gives. An empty level when above cannot be halved.
CBmap Halved(const CBmap& above, const CCmap& palette) {
    CBmap level;
    const int w = std::max(1, above.Width() / 2);
    const int h = std::max(1, above.Height() / 2);
    if (!above.HasData() || PixelTypeOf(above.Type()) == nullptr || above.Width() < 1 ||
        above.Height() < 1 || !level.Allocate(above.Type(), w, h)) {
        level.Reset();
        return level;
    }
    const auto at = [&](int x, int y) {
        return static_cast<std::size_t>(std::min(y, above.Height() - 1)) *
                   static_cast<std::size_t>(above.Width()) +
               static_cast<std::size_t>(std::min(x, above.Width() - 1));
    };
    const PixelTypeInfo* info = PixelTypeOf(above.Type());
    const bool palettised = info->kind == PixelKind::kPalettised;
    const int bits[] = {info->redBits, info->greenBits, info->blueBits, info->alphaBits};
    const PlaneId colourPlanes[] = {PlaneId::kR, PlaneId::kG, PlaneId::kB, PlaneId::kA};
    std::vector<std::uint8_t> stored(static_cast<std::size_t>(level.Bpr()));
    for (int y = 0; y < h; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 0; x < w; ++x) {
            const std::size_t i00 = at(2 * x, 2 * y);
            const std::size_t i10 = at(2 * x + 1, 2 * y);
            const std::size_t i01 = at(2 * x, 2 * y + 1);
            const std::size_t i11 = at(2 * x + 1, 2 * y + 1);
            std::array<std::int32_t, 4> mean{};
            for (std::size_t c = 0; c < 4; ++c) {
                const auto from = above.Plane(colourPlanes[c]);
                mean[c] = Mean(from[i00], from[i10], from[i01], from[i11]);
            }
            std::int32_t index = 255;
            if (palettised) {
                index = NearestEntry(palette, Colour{mean[0], mean[1], mean[2], mean[3]});
                const Colour& e = palette.Entry(index);
                mean = {e.r, e.g, e.b, e.a};
            } else {
                for (std::size_t c = 0; c < 4; ++c) {
                    mean[c] = NearestStored(mean[c], bits[c]);
                }
            }
            for (std::size_t c = 0; c < 4; ++c) {
                level.Plane(colourPlanes[c])[row + static_cast<std::size_t>(x)] = mean[c];
            }
            level.Plane(PlaneId::kIndex)[row + static_cast<std::size_t>(x)] = index;
        }
        if (!palettised) {
            // Through the codec and back: the planes then hold what the file will.
            const auto p = [&](PlaneId id) { return level.Plane(id).data() + row; };
            EncodeRow(level.Type(), w,
                      ConstPlaneRow{p(PlaneId::kR), p(PlaneId::kG), p(PlaneId::kB), p(PlaneId::kA),
                                    p(PlaneId::kIndex)},
                      stored);
            DecodeRow(level.Type(), stored, w, palette,
                      PlaneRow{p(PlaneId::kR), p(PlaneId::kG), p(PlaneId::kB), p(PlaneId::kA),
                               p(PlaneId::kIndex)});
        }
    }
    return level;
}

}  // namespace

std::vector<std::string> CMip::RepairHeader() {
    std::vector<std::string> changes;
    if (CheckReloadsAsShown()) {
        return changes;
    }
    for (const int k : FilledSlots()) {
        CBmap& level = levels[static_cast<std::size_t>(k)];
        if (!KnownType(level)) {
            changes.push_back("slot " + std::to_string(k) + " dropped: its pixel type " +
                              std::to_string(level.Type()) +
                              " is none of the six, so its pixels were never read");
            level.Reset();
        }
    }
    const std::vector<int> filled = FilledSlots();
    auto change = [&changes](const char* name, int& field, int value) {
        if (field != value) {
            changes.push_back(std::string(name) + " " + std::to_string(field) + " -> " +
                              std::to_string(value));
            field = value;
        }
    };
    if (filled.empty()) {
        change("numimages", numimages, 0);
        return changes;
    }
    const int top = filled.front();
    const int bottom = filled.back();
    for (int k = top - 1; k > bottom; --k) {
        const auto slot = static_cast<std::size_t>(k);
        if (!levels[slot].HasData()) {
            levels[slot] = Halved(levels[slot + 1], levelPalettes[slot + 1]);
            levelPalettes[slot].CopyFrom(levelPalettes[slot + 1]);
            changes.push_back("slot " + std::to_string(k) + " was missing: made from slot " +
                              std::to_string(k + 1) + " by averaging 2 x 2 blocks");
        }
    }
    // The passes read the slots from the larger exponent down. A largest level whose size is not
    // the one its slot stands for (a file may put any size anywhere) gets the slot as both.
    const CBmap& largest = levels[static_cast<std::size_t>(top)];
    const bool sized = SlotForSize(largest.Width(), largest.Height()) == top;
    change("powerwidth", powerwidth, sized ? Exponent(largest.Width()) : top);
    change("powerheight", powerheight, sized ? Exponent(largest.Height()) : top);
    change("numimages", numimages, top - bottom + 1);
    return changes;
}

int CMip::Save(const std::string& path) const {
    return SaveFile(path).Ok() ? 1 : 0;
}

Status CMip::SaveFile(const std::string& path) const {
    if (Status reloads = CheckReloadsAsShown(); !reloads) {
        return std::move(reloads).In(path);
    }
    SafeFile file(path);
    if (Status opened = file.Opened(); !opened) {
        return opened;
    }
    if (Save(file.Stream()) != 1) {
        return Status::Failure("the mip set could not be written").In(path);
    }
    return file.Commit();
}

}  // namespace korvale
