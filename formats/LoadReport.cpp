#include "LoadReport.h"

namespace korvale {

void LoadReport::Error(long offset, std::string text) {
    if (firstError_.empty()) {
        firstError_ = std::move(text);
        firstErrorOffset_ = offset;
    }
}

void LoadReport::RejectLevel(int slot, long offset, std::string reason) {
    Error(offset, reason);
    rejected_.push_back(RejectedLevel{slot, offset, std::move(reason)});
}

void LoadReport::CutShort(long offset) {
    Error(offset, "the file ends early");
    cutShort_ = true;
}

std::string LoadReport::Summary() const {
    if (Clean()) {
        return loaded_ ? "loaded cleanly" : "not loaded from a file";
    }
    std::string text =
        "first error at offset " + std::to_string(firstErrorOffset_) + ": " + firstError_;
    for (const RejectedLevel& level : rejected_) {
        text += "\nlevel rejected";
        if (level.slot >= 0) {
            text += " (slot " + std::to_string(level.slot) + ")";
        }
        text += " at offset " + std::to_string(level.offset) + ": " + level.reason;
    }
    if (cutShort_) {
        text += "\nthe file is cut short";
    }
    return text;
}

}  // namespace korvale
