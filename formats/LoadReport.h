#pragma once
// What a load found wrong, for people: the trace on standard output says everything as it
// happens, this says it afterwards in a few lines (the tool's summary, the editor's tooltip).

#include <string>
#include <vector>

namespace korvale {

struct RejectedLevel {
    int slot = -1;     // the slot the level was read for; -1 when not known
    long offset = -1;  // where in the file the fault was found
    std::string reason;
};

// A level that was kept but whose pixel type is none of the six: its size is known, its pixels
// were never decoded (the planes hold zeros) and a save would write it without them.
struct UnknownTypeLevel {
    int slot = -1;     // the slot the level was read for; -1 when not known
    long offset = -1;  // where its type byte is
    int type = 0;
};

class LoadReport {
  public:
    // Records a fault; the first one is kept as the file's first error.
    void Error(long offset, std::string text);
    // Records a level that was rejected (the set holds no level in its slot).
    void RejectLevel(int slot, long offset, std::string reason);
    // Records a level kept with a pixel type none of the six (its pixels were not read).
    void UnknownType(int slot, long offset, int type);
    // The file ended before everything it announced was read.
    void CutShort(long offset);
    // How many of the mip header's fields (miptype, powerwidth, powerheight, col, the repeat
    // code, numimages, in file order) the file held; the others read as 0 or kept their values.
    void SetHeaderFieldsRead(int count) { headerFieldsRead_ = count; }
    // Starts the report of a new load, forgetting the last one.
    void Begin() {
        *this = LoadReport();
        loaded_ = true;
    }

    // Nothing was found wrong.
    [[nodiscard]] bool Clean() const {
        return firstError_.empty() && rejected_.empty() && unknownTypes_.empty() && !cutShort_;
    }
    [[nodiscard]] const std::string& FirstError() const { return firstError_; }
    [[nodiscard]] long FirstErrorOffset() const { return firstErrorOffset_; }
    [[nodiscard]] const std::vector<RejectedLevel>& Rejected() const { return rejected_; }
    [[nodiscard]] const std::vector<UnknownTypeLevel>& UnknownTypes() const {
        return unknownTypes_;
    }
    [[nodiscard]] bool WasCutShort() const { return cutShort_; }
    static constexpr int kHeaderFields = 6;
    // All of them for a set made in memory.
    [[nodiscard]] int HeaderFieldsRead() const { return headerFieldsRead_; }
    // "loaded cleanly", or one line per finding; "not loaded from a file" for a set that was
    // made in memory (an import) and never loaded.
    [[nodiscard]] std::string Summary() const;

  private:
    std::string firstError_;
    long firstErrorOffset_ = -1;
    std::vector<RejectedLevel> rejected_;
    std::vector<UnknownTypeLevel> unknownTypes_;
    bool cutShort_ = false;
    int headerFieldsRead_ = kHeaderFields;
    bool loaded_ = false;
};

}  // namespace korvale
