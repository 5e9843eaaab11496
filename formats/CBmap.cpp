#include "CBmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "Limits.h"
#include "PixelCodec.h"
#include "PixelType.h"
#include "Trace.h"

namespace korvale {

namespace {

constexpr std::uint32_t kBmhdSize = 14;
constexpr int kHeaderSize = 12;         // BMAP tag, reserved, size
constexpr int kBmhdAndDataHeader = 40;  // BMHD chunk with its two fill bytes, DATA header
constexpr std::uint8_t kFill = 0x20;
constexpr std::int64_t kBmhdFieldBytes = 16;  // type, width, height, BPR, unknown, two fill bytes

// A rejected level in the report, when one is kept; the caller prints the trace line.
void Reject(LoadReport* report, int slot, long at, const std::string& text, bool cutShort) {
    if (report != nullptr) {
        report->RejectLevel(slot, at, text);
        if (cutShort) {
            report->CutShort(at);
        }
    }
}

// A level cut short inside its headers would otherwise load as a 0 x 0 level made of the zeros
// that reads past the end give.
bool Present(ChunkStream stream, std::int64_t bytes, const char* what, LoadReport* report,
             int slot) {
    const std::int64_t remaining = RemainingBytes(stream);
    if (remaining < bytes) {
        const std::string text = std::string(what) + " cut short: " + std::to_string(bytes) +
                                 " bytes needed but " + std::to_string(remaining) + " remain";
        Trace("%s at offset %ld\n", text.c_str(), Offset(stream));
        Reject(report, slot, Offset(stream), text, true);
        return false;
    }
    return true;
}

// A header word that did not match: the trace line as the reader has always printed it, and
// the same text in the report (a mismatch at the end of the file means it was cut short).
void Mismatch(ChunkStream stream, const char* line, LoadReport* report, int slot) {
    Trace("%s\n", line);
    Reject(report, slot, Offset(stream) - 4, line, std::feof(stream) != 0);
}

}  // namespace

std::span<std::int32_t> CBmap::Plane(PlaneId id) {
    if (!block_) {
        return {};
    }
    return {PlaneStart(static_cast<std::size_t>(id)),
            static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)};
}

std::span<const std::int32_t> CBmap::Plane(PlaneId id) const {
    if (!block_) {
        return {};
    }
    return {PlaneStart(static_cast<std::size_t>(id)),
            static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)};
}

CBmap::CBmap(CBmap&& other) noexcept
    : type_(std::exchange(other.type_, kEmptyType)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      bpr_(std::exchange(other.bpr_, 0)),
      block_(std::move(other.block_)),
      stride_(std::exchange(other.stride_, 0)) {}

CBmap& CBmap::operator=(CBmap&& other) noexcept {
    if (this != &other) {
        type_ = std::exchange(other.type_, kEmptyType);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        bpr_ = std::exchange(other.bpr_, 0);
        block_ = std::move(other.block_);
        stride_ = std::exchange(other.stride_, 0);
    }
    return *this;
}

void CBmap::Reset() {
    block_.reset();
    stride_ = 0;
    width_ = 0;
    height_ = 0;
    bpr_ = 0;
    type_ = kEmptyType;
}

bool CBmap::AllocatePlanes() {
    // One zeroed block: elements that no row covers read as 0, and memory fresh from the system
    // is zero already, so a large level costs nothing until its rows are decoded into it. Each
    // plane starts a cache line after a 4 KiB multiple, so that the five stores per pixel do not
    // all land in the same cache set.
    constexpr std::size_t kStagger = 16;  // elements: 64 bytes
    const std::size_t count = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    stride_ = (count + 1023) / 1024 * 1024 + kStagger;
    const std::size_t bytes = stride_ * kPlanes * sizeof(std::int32_t);
    block_.reset(static_cast<std::int32_t*>(std::calloc(stride_ * kPlanes, sizeof(std::int32_t))));
    if (!block_) {
        Reset();
        return false;
    }
    // Large levels in huge pages: far fewer page faults while the rows are decoded.
    constexpr std::size_t kHugePage = 2 * 1024 * 1024;
    if (bytes >= 2 * kHugePage) {
        const auto start =
            (reinterpret_cast<std::uintptr_t>(block_.get()) + kHugePage - 1) & ~(kHugePage - 1);
        const auto end =
            (reinterpret_cast<std::uintptr_t>(block_.get()) + bytes) & ~(kHugePage - 1);
        if (end > start) {
            ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
        }
    }
    return true;
}

bool CBmap::Palettised() const {
    return HasData() && KindOf(type_) == PixelKind::kPalettised;
}

bool CBmap::Allocate(int type, int width, int height) {
    Reset();
    if (type < 0 || type > 255 || width < 0 || width > limits::kMaxSide || height < 0 ||
        height > limits::kMaxSide) {
        return false;
    }
    type_ = type;
    width_ = width;
    height_ = height;
    bpr_ = static_cast<int>(WriterBpr(type, width));
    return AllocatePlanes();
}

CBmap::GeometryFault CBmap::CheckGeometry(long fieldsAt, ChunkStream stream) const {
    const std::string range = " out of range 0.." + std::to_string(limits::kMaxSide);
    if (width_ < 0 || width_ > limits::kMaxSide) {
        return {"BMAP width " + std::to_string(width_) + range, fieldsAt + 1};
    }
    if (height_ < 0 || height_ > limits::kMaxSide) {
        return {"BMAP height " + std::to_string(height_) + range, fieldsAt + 5};
    }
    if (bpr_ < 0) {
        return {"BMAP BPR " + std::to_string(bpr_) + " is negative", fieldsAt + 9};
    }
    const std::int64_t rowBytes = static_cast<std::int64_t>(bpr_) * height_;
    const std::int64_t pixels = static_cast<std::int64_t>(width_) * height_;
    if (pixels > limits::kFreePixels && pixels > 2 * rowBytes) {
        return {"BMAP size (" + std::to_string(width_) + "*" + std::to_string(height_) +
                    ") needs more than the " + std::to_string(rowBytes) + " bytes of its rows",
                fieldsAt + 1};
    }
    const std::int64_t remaining = RemainingBytes(stream);
    if (rowBytes > remaining) {
        return {"BMAP rows need " + std::to_string(rowBytes) + " bytes but " +
                    std::to_string(remaining) + " remain",
                Offset(stream), true};
    }
    return {};
}

int CBmap::Load(ChunkStream stream, CCmap& levelPalette, const CCmap& globalPalette,
                LoadReport* report, int slot) {
    if (stream == nullptr) {
        return 0;
    }
    Reset();
    Trace("CBmap::Load\n");
    const long fieldsAt = ReadHeaders(stream, report, slot);
    if (fieldsAt < 0) {
        return 0;
    }
    if (PeekTag(stream) == tag::kCmap) {
        Trace("Bitmap has a CMAP\n");
        (void)levelPalette.Load(stream, report);  // a damaged level palette does not stop the level
    } else {
        levelPalette.CopyFrom(globalPalette);
    }
    if (!Present(stream, kHeaderSize, "DATA header", report, slot)) {
        Reset();
        return 0;
    }
    for (int i = 0; i < 3; ++i) {
        (void)ReadU32(stream);  // DATA header: the rows follow whatever it says
    }
    if (const GeometryFault fault = CheckGeometry(fieldsAt, stream); !fault.reason.empty()) {
        Trace("%s at offset %ld\n", fault.reason.c_str(), fault.offset);
        Reject(report, slot, fault.offset, fault.reason, fault.cutShort);
        // A level rejected for its size still has its rows skipped when they are there, so the
        // next level is read from its own start.
        const std::int64_t rowBytes = static_cast<std::int64_t>(bpr_) * height_;
        if (bpr_ > 0 && height_ > 0 && rowBytes <= RemainingBytes(stream)) {
            (void)SkipBytes(stream, rowBytes);  // what is not skipped is read as the next chunk
        }
        Reset();
        return 0;
    }
    if (!AllocatePlanes()) {
        Trace("BMAP planes for (%d*%d) could not be allocated\n", width_, height_);
        Reject(report, slot, fieldsAt + 1, "BMAP planes could not be allocated", false);
        Reset();
        return 0;
    }
    ReadRows(stream, levelPalette);
    if (PixelTypeOf(type_) == nullptr && report != nullptr) {
        // Kept for its size, as always, but nothing of its rows was decoded: the set did not
        // load as the file holds it.
        report->UnknownType(slot, fieldsAt, type_);
    }
    return 1;
}

long CBmap::ReadHeaders(ChunkStream stream, LoadReport* report, int slot) {
    // The header words in file order, each checked as soon as it is read; the BMAP size is
    // recomputed on save and never trusted.
    static constexpr struct {
        std::uint32_t expected;
        const char* fault;  // nullptr: any value
    } kWords[] = {{tag::kBmap, "Not a BMAP"}, {0, "Not zero"}, {0, nullptr},
                  {tag::kBmhd, "Not a BMHD"}, {0, "Not zero"}, {kBmhdSize, "BMHD wrong size"}};
    for (const auto& word : kWords) {
        if (ReadU32(stream) != word.expected && word.fault != nullptr) {
            Mismatch(stream, word.fault, report, slot);
            return -1;
        }
    }
    const long fieldsAt = Offset(stream);
    if (!Present(stream, kBmhdFieldBytes, "BMHD", report, slot)) {
        return -1;
    }
    type_ = ReadU8(stream);
    width_ = static_cast<std::int32_t>(ReadU32(stream));
    height_ = static_cast<std::int32_t>(ReadU32(stream));
    bpr_ = static_cast<std::int32_t>(ReadU32(stream));
    const int unknown = ReadU8(stream);
    (void)ReadU8(stream);  // the two fill bytes
    (void)ReadU8(stream);
    Trace("BMAP. Type=%d, Size=(%d*%d), BPR=%d, unknown=%d\n", type_, width_, height_, bpr_,
          unknown);
    return fieldsAt;
}

void CBmap::ReadRows(ChunkStream stream, const CCmap& levelPalette) {
    // Only the bytes the width can use are kept; the rest of each row is skipped. A BPR is bounded
    // by the file only when there are rows, so it never sizes anything by itself.
    const auto used =
        static_cast<std::size_t>(std::min<std::int64_t>(bpr_, WriterBpr(type_, width_)));
    const auto skip = static_cast<long>(bpr_ - static_cast<std::int64_t>(used));
    std::vector<std::uint8_t> row(used);
    const auto w = static_cast<std::size_t>(width_);
    for (std::size_t r = 0; r < static_cast<std::size_t>(height_); ++r) {
        const std::size_t got = ReadBytes(stream, row);
        std::fill(row.begin() + static_cast<std::ptrdiff_t>(got), row.end(), std::uint8_t{0});
        if (skip > 0) {
            // The rows were checked to be in the file, so the seek stays inside it.
            (void)std::fseek(stream, skip, SEEK_CUR);
        }
        const std::size_t at = r * w;
        DecodeRow(type_, row, width_, levelPalette,
                  PlaneRow{PlaneStart(0) + at, PlaneStart(1) + at, PlaneStart(2) + at,
                           PlaneStart(3) + at, PlaneStart(4) + at});
    }
}

int CBmap::ChunkSize(bool withPalette) const {
    const std::int64_t rows = WriterBpr(type_, width_) * height_;
    const bool palette = withPalette && KindOf(type_) == PixelKind::kPalettised;
    return static_cast<int>(kHeaderSize + kBmhdAndDataHeader + rows +
                            (palette ? CCmap::kChunkSize : 0));
}

int CBmap::Save(ChunkStream stream, const CCmap& levelPalette, bool withPalette) const {
    if (stream == nullptr) {
        return 0;
    }
    // The rows are written at the width's own BPR, whatever the file they came from said.
    const auto bpr = static_cast<int>(WriterBpr(type_, width_));
    WriteChunkHeader(stream, tag::kBmap,
                     static_cast<std::uint32_t>(ChunkSize(withPalette) - kHeaderSize));
    WriteChunkHeader(stream, tag::kBmhd, kBmhdSize);
    WriteU8(stream, static_cast<std::uint32_t>(type_));
    WriteU32(stream, static_cast<std::uint32_t>(width_));
    WriteU32(stream, static_cast<std::uint32_t>(height_));
    WriteU32(stream, static_cast<std::uint32_t>(bpr));
    WriteU8(stream, 0);
    WriteU8(stream, kFill);
    WriteU8(stream, kFill);
    if (withPalette && KindOf(type_) == PixelKind::kPalettised) {
        levelPalette.Save(stream);
    }
    const std::int64_t rowBytes = static_cast<std::int64_t>(bpr) * height_;
    WriteChunkHeader(stream, tag::kData, static_cast<std::uint32_t>(rowBytes));
    if (bpr > 0 && HasData()) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(bpr));
        const auto w = static_cast<std::size_t>(width_);
        for (std::size_t r = 0; r < static_cast<std::size_t>(height_); ++r) {
            const std::size_t at = r * w;
            EncodeRow(type_, width_,
                      ConstPlaneRow{PlaneStart(0) + at, PlaneStart(1) + at, PlaneStart(2) + at,
                                    PlaneStart(3) + at, PlaneStart(4) + at},
                      row);
            WriteBytes(stream, row);
        }
    }
    return std::ferror(stream) != 0 ? 0 : 1;
}

}  // namespace korvale
