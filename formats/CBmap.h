#pragma once
// One level of a mip set: a width x height bitmap in one of six pixel types, kept in memory
// as five planes (red, green, blue, alpha, palette index) of signed 32-bit values, row-major.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "CCmap.h"
#include "ChunkStream.h"
#include "LoadReport.h"

namespace korvale {

enum class PlaneId { kR = 0, kG, kB, kA, kIndex };

class CBmap {
  public:
    static constexpr int kEmptyType = 255;
    static constexpr int kPlanes = 5;

    CBmap() = default;
    CBmap(const CBmap&) = delete;
    CBmap& operator=(const CBmap&) = delete;
    // A moved-from level is empty in every field, so it can never save a DATA chunk that
    // promises rows it does not hold.
    CBmap(CBmap&& other) noexcept;
    CBmap& operator=(CBmap&& other) noexcept;
    virtual ~CBmap() = default;

    // Reads one BMAP chunk into this (empty) level, printing its trace, and fills levelPalette
    // from the chunk's own CMAP or else from globalPalette. 1 read; 0 when the header is
    // rejected, the level's size is out of bounds or its rows are not in the file (the level
    // then stays empty) or the stream is null.
    // What went wrong goes to report, when given, as a level rejected for slot.
    [[nodiscard]] int Load(ChunkStream stream, CCmap& levelPalette, const CCmap& globalPalette,
                           LoadReport* report = nullptr, int slot = -1);
    // Writes the level as one BMAP chunk, its rows at the BPR its width needs. 1 written; 0 when
    // the stream is null or reported a write error.
    int Save(ChunkStream stream, const CCmap& levelPalette, bool withPalette) const;
    // Total bytes Save will write, header included.
    [[nodiscard]] int ChunkSize(bool withPalette) const;
    // Releases the planes and empties the level.
    void Reset();

    // Makes this a level of the given type and size with zeroed planes. False, leaving the
    // level empty, when a side is outside 0..kMaxSide or the type is not a byte.
    [[nodiscard]] bool Allocate(int type, int width, int height);

    [[nodiscard]] bool HasData() const { return block_ != nullptr; }
    [[nodiscard]] int Type() const { return type_; }
    // Whether the level holds pixels of one of the 4-bit palettised types.
    [[nodiscard]] bool Palettised() const;
    [[nodiscard]] int Width() const { return width_; }
    [[nodiscard]] int Height() const { return height_; }
    [[nodiscard]] int Bpr() const { return bpr_; }
    [[nodiscard]] std::span<std::int32_t> Plane(PlaneId id);
    [[nodiscard]] std::span<const std::int32_t> Plane(PlaneId id) const;

  private:
    [[nodiscard]] bool AllocatePlanes();
    // The steps of Load: the BMAP and BMHD headers into type, size and BPR (the offset of the BMHD
    // fields, or -1 when rejected), then the rows into the planes.
    long ReadHeaders(ChunkStream stream, LoadReport* report, int slot);
    void ReadRows(ChunkStream stream, const CCmap& levelPalette);
    // Why a level's size or rows are not acceptable, with the offset of the bad value; cutShort
    // when its rows are not in the file. An empty reason when all is well.
    struct GeometryFault {
        std::string reason;
        long offset = -1;
        bool cutShort = false;
    };
    [[nodiscard]] GeometryFault CheckGeometry(long fieldsAt, ChunkStream stream) const;

    int type_ = kEmptyType;
    int width_ = 0;
    int height_ = 0;
    int bpr_ = 0;
    struct FreeBlock {
        void operator()(std::int32_t* block) const noexcept { std::free(block); }
    };
    [[nodiscard]] std::int32_t* PlaneStart(std::size_t plane) const {
        return block_.get() + plane * stride_;
    }

    // The five planes share one block, each stride_ elements after the one before.
    std::unique_ptr<std::int32_t[], FreeBlock> block_;
    std::size_t stride_ = 0;
};

}  // namespace korvale
