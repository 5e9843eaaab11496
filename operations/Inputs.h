#pragma once
// Reading what a user gives Korvale: a texture file or a picture, from a file, standard input
// ("-") or a pipe, read once and whole by one reader with one cap per kind of input.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "FileKind.h"
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

// Appends a piece of an input handed over piece by piece (a loader fed by its host) within the
// kind's cap; a failure leaves bytes empty.
Status AppendInput(std::span<const std::uint8_t> more, InputKind kind,
                   std::vector<std::uint8_t>& bytes);

// A PNG picture from path ("-" for standard input). A failure names the path and gives the PNG
// reader's own reason.
Status ReadPicture(const std::string& path, Image& picture);

// An input whose kind is not known before it is read (a texture or a picture will do): read
// within the larger cap, a picture's. A PNG picture is decoded into picture (a failure gives the
// PNG reader's reason); anything else is left in bytes for the texture loaders. kind says which.
Status ReadTextureOrPicture(const std::string& path, std::vector<std::uint8_t>& bytes,
                            Image& picture, FileKind& kind);

}  // namespace korvale
