#pragma once
// Where a loaded SRB file's size in metres comes from. The SRB file itself holds no size; the
// companion object file saved beside it does. One rule for every front end: the size is the
// companion's when that file is exactly as a save writes it and names the object a save of this
// SRB path would name; otherwise the size is 1, as for a record that never had one.

#include <string>

namespace korvale {

struct CompanionSize {
    enum class From {
        kCompanion,     // read from the companion
        kNoCompanion,   // no companion file beside the SRB file (or it cannot be read)
        kNotCompanion,  // a file of that name that is not a companion as a save writes it
        kOtherObject,   // a companion of another object (a file copied or renamed by hand)
    };
    From from = From::kNoCompanion;
    float metres = 1.0F;     // the companion's size, else 1
    std::string path;        // the companion's path
    std::string objectName;  // the object the companion names, when it was read
    std::string reason;      // why it could not be read, for kNoCompanion and kNotCompanion

    [[nodiscard]] bool Read() const { return from == From::kCompanion; }
    // Where the size came from, to follow the number: "from the companion 'tree.yrq'", "no
    // companion 'tree.yrq'", "the companion 'tree.yrq' is for the object 'bush'".
    [[nodiscard]] std::string Describe() const;
};

// The size for the SRB file at srbPath (not "-": standard input has no companion).
[[nodiscard]] CompanionSize ReadCompanionSize(const std::string& srbPath);

}  // namespace korvale
