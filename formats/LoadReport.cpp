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

namespace {

std::string UnknownTypeText(int type) {
    return "pixel type " + std::to_string(type) + " is none of the six; its pixels were not read";
}

}  // namespace

void LoadReport::UnknownType(int slot, long offset, int type) {
    Error(offset, UnknownTypeText(type));
    unknownTypes_.push_back(UnknownTypeLevel{slot, offset, type});
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
    for (const UnknownTypeLevel& level : unknownTypes_) {
        text += "\nlevel";
        if (level.slot >= 0) {
            text += " in slot " + std::to_string(level.slot);
        }
        text += " at offset " + std::to_string(level.offset) + ": " + UnknownTypeText(level.type);
    }
    if (cutShort_) {
        text += "\nthe file is cut short";
    }
    return text;
}

}  // namespace korvale
