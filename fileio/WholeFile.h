#pragma once
// Whole files in and out. Korvale's inputs are read into memory in one piece (a pipe can be read
// only once, and a file's kind is told by its first bytes), never past a cap the caller sets, so
// a huge or endless input costs no more memory than the cap. Outputs are written whole through
// SafeFile, so a failed write leaves the previous file as it was.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "Status.h"

namespace korvale {

// Where bytes come from: fills the buffer and says how many it got, 0 at the end, or -1 with
// errno set when reading failed.
using ByteSource = std::function<std::ptrdiff_t(std::span<std::uint8_t>)>;

// What a reader is allowed: at most maxBytes, and what an input of more is not ("a texture
// file", "a picture"), for the message that refuses it.
struct ReadCap {
    std::uint64_t maxBytes = 0;
    std::string what;
};

// Everything source offers, up to the cap: reading stops once the input is known to be larger,
// and the failure says "is larger than N bytes, the most WHAT can be". Not named: the caller's
// status names the input.
Status ReadAll(const ByteSource& source, const ReadCap& cap, std::vector<std::uint8_t>& bytes);

// Appends more to bytes unless that would take them past the cap (the failure is the cap's
// message and leaves bytes empty), for readers that are handed an input piece by piece.
Status AppendWithinCap(std::span<const std::uint8_t> more, const ReadCap& cap,
                       std::vector<std::uint8_t>& bytes);

// The whole of path, or of standard input for "-", up to the cap. A failure names the path
// ("is a folder, not a file", "cannot open: ...", "cannot be read: ...", or the cap's message).
Status ReadWholeFile(const std::string& path, const ReadCap& cap, std::vector<std::uint8_t>& bytes);

// Writes bytes to path through SafeFile, so a failed write leaves any previous file untouched.
// A failure gives the system's reason where there is one.
Status WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace korvale
