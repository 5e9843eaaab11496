#include "CompanionSize.h"

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "CompanionFile.h"
#include "WholeFile.h"

namespace korvale {

namespace {

// A companion is 108 bytes and the object name with its fill; no file name is this long.
constexpr std::uint64_t kMaxCompanionBytes = 64 * 1024;

}  // namespace

std::string CompanionSize::Describe() const {
    switch (from) {
        case From::kCompanion:
            return "from the companion '" + path + "'";
        case From::kNoCompanion:
            return "no companion '" + path + "'" + (reason.empty() ? std::string() : ": " + reason);
        case From::kNotCompanion:
            return "'" + path + "' is not a companion object file as Korvale saves them";
        case From::kOtherObject:
            return "the companion '" + path + "' is for the object '" + objectName + "'";
    }
    return {};
}

CompanionSize ReadCompanionSize(const std::string& srbPath) {
    CompanionSize size;
    size.path = CompanionPath(srbPath);
    std::vector<std::uint8_t> bytes;
    const Status read =
        ReadWholeFile(size.path, ReadCap{kMaxCompanionBytes, "a companion object file"}, bytes);
    if (!read) {
        // A missing file is the usual case and needs no reason; anything else says why.
        std::error_code error;
        size.from = CompanionSize::From::kNoCompanion;
        if (std::filesystem::exists(size.path, error)) {
            size.reason = read.Reason();
        }
        return size;
    }
    const auto contents = ParseCompanion(bytes);
    if (!contents) {
        size.from = CompanionSize::From::kNotCompanion;
        return size;
    }
    size.objectName = contents->objectName;
    if (contents->objectName != ObjectName(srbPath)) {
        size.from = CompanionSize::From::kOtherObject;
        return size;
    }
    size.from = CompanionSize::From::kCompanion;
    size.metres = contents->sizeInMetres;
    return size;
}

}  // namespace korvale
