#pragma once
// A mip set: up to nine levels of detail kept in slots by size (slot k holds the level whose
// larger side is 2^k), a small header, a global palette and one palette per slot.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "CBmap.h"
#include "CCmap.h"
#include "ChunkStream.h"
#include "LoadReport.h"
#include "Status.h"

namespace korvale {

class CMip {
  public:
    static constexpr int kSlots = 9;
    // The largest side a level can have: the one the top slot holds.
    static constexpr int kLargestSide = 1 << (kSlots - 1);

    CMip();
    CMip(const CMip&) = delete;
    CMip& operator=(const CMip&) = delete;
    CMip(CMip&&) noexcept = default;
    CMip& operator=(CMip&&) noexcept = default;
    virtual ~CMip() = default;

    // By path: 1 loaded, 0 not a mip file or not opened. Prints "Loading mip: '<path>'" first.
    [[nodiscard]] int Load(const std::string& path);
    // On an open stream: 1 when the MIP tag matched (damage further in is reported by the
    // trace and in loadReport), 0 not a mip file (nothing changed), -1 null stream.
    [[nodiscard]] int Load(ChunkStream stream);
    // By path: 1 written, 0 when the file could not be written in full (see SafeFile for what
    // a failed save leaves) or CheckReloadsAsShown refused it.
    [[nodiscard]] int Save(const std::string& path) const;
    // The same save, saying why it failed. A set that would not reload as it is held (see
    // CheckReloadsAsShown) is refused before anything is written.
    Status SaveFile(const std::string& path) const;
    // On an open stream: 1 written, 0 the stream reported a write error, -1 null stream. The
    // format writer itself: it writes whatever the set holds, reloadable or not.
    [[nodiscard]] int Save(ChunkStream stream) const;

    // Whether a save would load back into the slots that hold data. The writer puts the filled
    // slots out largest first under the header as it is, and the loader reads chunk after chunk
    // into the slots the header's passes select (SlotsToRead); when those disagree (a level lost
    // on load left the header one slot off, a pass would find no chunk and the file would read as
    // cut short, or a chunk would never be read) the failure names the slots. A level whose pixel
    // type is none of the six would be written without its pixels, so it fails too.
    [[nodiscard]] Status CheckReloadsAsShown() const;
    // Makes a set that CheckReloadsAsShown refuses savable, keeping what survived: levels of an
    // unknown pixel type are dropped (their pixels were never read), a slot missing between
    // filled ones is made from the level above it by averaging 2 x 2 blocks in its pixel type
    // (the loader cannot skip a slot), and the exponents and numimages are made from the levels.
    // One line per change, for people ("powerwidth 8 -> 7"); none, changing nothing, for a set
    // that saves as it is.
    std::vector<std::string> RepairHeader();

    // Total size word of the MIP header: the bytes that follow it.
    [[nodiscard]] std::int64_t SizeWord() const;
    // The repeat code written for the current flags: (h, v) = (1,1) 0, (1,0) 1, (0,1) 2, (0,0) 3.
    [[nodiscard]] int RepeatCode() const;
    // Sets both flags from a repeat code; codes other than 0..2 mean no repeat.
    void SetRepeatCode(int code);

    // 2^powerwidth and 2^powerheight: 0 when the exponent is negative or too large for a
    // 32-bit size. Computed, so they can never disagree with the exponents.
    [[nodiscard]] int Width() const;
    [[nodiscard]] int Height() const;

    // The slots that hold a level, largest first: the order levels are written in.
    [[nodiscard]] std::vector<int> FilledSlots() const;
    // The slot a level of this size belongs in (its larger side is 2^slot), or -1 when the size
    // is not a power of two of at most 256 per side.
    [[nodiscard]] static int SlotForSize(int width, int height);
    // Puts level into the slot its size selects, with palette as its level palette (the
    // global palette stands in when palette is null), and makes the header follow: the
    // exponents come from the largest level and numimages reaches the smallest. False, changing
    // nothing, when the size selects no slot or is not the size the chain gives that slot (the
    // largest level halved per slot, a side that reached 1 staying 1).
    [[nodiscard]] bool SetLevel(CBmap level, const CCmap* palette = nullptr);
    // Replaces the level in slot by one of the same size (its type may differ), with palette as
    // its level palette (the slot's own stands in when palette is null). The header is kept as
    // it is, so a set whose header is odd but reads back the same stays so. False, changing
    // nothing, when the slot holds no level or level is empty or of another size.
    [[nodiscard]] bool ReplaceLevel(int slot, CBmap level, const CCmap* palette = nullptr);
    // Which palettes a save writes, by miptype: below 2 the global one, exactly 2 each level's
    // own, above 2 none.
    [[nodiscard]] bool SavesGlobalPalette() const { return miptype < 2; }
    [[nodiscard]] bool SavesLevelPalettes() const { return miptype == 2; }
    // The palette a level's pixels were read with, and so the one every view and export of it
    // uses: the level's own CMAP chunk when the file gave it one, else the global palette as it
    // was when the level was read (the reader copies it into the slot).
    [[nodiscard]] const CCmap& LevelPalette(int slot) const;
    // The largest palettised level's slot, or -1 when no level is palettised.
    [[nodiscard]] int FirstPalettisedSlot() const;
    // Whether the level in slot decodes with colours other than the global palette's.
    [[nodiscard]] bool HasOwnPalette(int slot) const;
    // The palettised levels whose colours a save would change, largest first. Below miptype 2
    // only the global palette is written, and at 3 or more none (the levels then read back
    // with the all-255 default), so a level whose pixels use other colours comes back changed.
    [[nodiscard]] std::vector<int> SlotsRecolouredBySave() const;
    // Empties every slot and resets the header to an empty set (palettes are kept).
    void ClearLevels();

    // Header, in file order.
    int miptype = 0;
    int powerwidth = 0;
    int powerheight = 0;
    int col = 0;
    int vrepeat = 0;
    int hrepeat = 0;
    int numimages = 0;

    // What the last load found wrong; every load starts it afresh.
    LoadReport loadReport;

    CCmap globalPalette;
    std::array<CBmap, kSlots> levels;
    std::array<CCmap, kSlots> levelPalettes;

  private:
    // What the header block of the trace shows besides the fields themselves.
    struct HeaderTrace {
        std::uint32_t datasize;
        int repeatCode;
    };
    // The steps of a load after the MIP tag: the MPHD header, then the global palette and the
    // levels into their slots.
    HeaderTrace ReadHeader(ChunkStream stream);
    void ReadPalettesAndLevels(ChunkStream stream);
};

// The slot that pass i of the level loop reads into, from the header exponents, or -1 when that
// pass reads nothing. A side whose exponent is negative counts as 0; one whose power does not
// fit a signed 32-bit integer is ignored and the other side decides.
[[nodiscard]] int SlotForPass(std::int64_t powerwidth, std::int64_t powerheight, std::int64_t pass);

// The slots the level chunks of a file are read into, in file order: one entry per pass of the
// level loop that selects a slot. At most 18 passes can, whatever numimages says.
[[nodiscard]] std::vector<int> SlotsToRead(std::int64_t powerwidth, std::int64_t powerheight,
                                           std::int64_t numimages);

}  // namespace korvale
