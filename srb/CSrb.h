#pragma once
// The SRB record: six header values, a size in metres and a mip set. Stored as an SRB file (a
// short header followed by a complete MIP image); every save also writes the companion object
// file beside it.

#include <array>
#include <string>

#include "CMip.h"

namespace korvale {

class CSrb {
  public:
    static constexpr int kHeaderValues = 6;
    static constexpr int kHeaderBytes = 96;

    CSrb() = default;
    CSrb(const CSrb&) = delete;
    CSrb& operator=(const CSrb&) = delete;
    CSrb(CSrb&&) noexcept = default;
    CSrb& operator=(CSrb&&) noexcept = default;
    virtual ~CSrb() = default;

    // 1 loaded; 0 the header was good but no mip set follows (the header values have been
    // replaced); -1 the header was rejected or the file could not be opened.
    [[nodiscard]] int Load(const std::string& path);
    // The same from the current position of an open stream (-1 also for a null stream).
    [[nodiscard]] int Load(ChunkStream stream);
    // Writes the SRB file and its companion object file as one save (see CommitBoth for what a
    // failure leaves). Returns the object name's length, so a positive value means saved; 0 when
    // either file could not be written in full, or when the SRB path names its own companion.
    [[nodiscard]] int Save(const std::string& path) const;
    // The same save, told by what was written: success when both files were written, else why
    // not. An SRB file whose name starts with its dot has an empty object name, so Save returns
    // 0 for it although both files were written; callers that report to people ask this instead.
    Status SaveFiles(const std::string& path) const;

    std::array<float, kHeaderValues> header{};
    float sizeInMetres = 0.0F;
    CMip mip;
};

}  // namespace korvale
