#pragma once
// Reading what a user gives Korvale: a texture file or a picture, from a file, standard input
// ("-") or a pipe, read once and whole by one reader with one cap per kind of input.

#include <cstdint>
#include <string>
#include <vector>

#include "Image.h"
#include "Status.h"
#include "WholeFile.h"

namespace korvale {

enum class InputKind {
    kTexture,  // an SRB or MIP file
    kPicture,  // a PNG picture
};

// The most bytes an input of the kind may have, and the message that refuses more.
[[nodiscard]] const ReadCap& CapFor(InputKind kind);

// The whole of path ("-" for standard input) within the kind's cap. A failure names the path.
Status ReadInput(const std::string& path, InputKind kind, std::vector<std::uint8_t>& bytes);
// The same from a source of bytes other than a file (a Qt device, say), named name.
Status ReadInputFrom(const ByteSource& source, InputKind kind, const std::string& name,
                     std::vector<std::uint8_t>& bytes);

// A PNG picture from path ("-" for standard input). A failure names the path and gives the PNG
// reader's own reason.
Status ReadPicture(const std::string& path, Image& picture);

}  // namespace korvale
