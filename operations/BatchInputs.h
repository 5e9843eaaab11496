#pragma once
// The inputs of a command over many files: each file once, however it was named, and with
// --recursive the files of the kinds the command takes found in the folders given, with where
// each lies under its folder, so that a batch can mirror the tree instead of flattening it.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Status.h"

namespace korvale {

struct BatchInput {
    std::string path;       // as given, or the given folder joined with the path under it
    std::string subfolder;  // the folder under the walked one ("" for a file given by name)
};

struct BatchInputs {
    std::vector<BatchInput> inputs;
    std::vector<Status> problems;  // folders that could not be walked, each naming its path
};

// The inputs in the order given, those that reach a file already listed dropped (the same name
// twice, "a/x.png" and "./a/x.png", a link and its target). With recursive, a folder is replaced
// by the files under it whose extension (without the dot, any case) is one of extensions, in
// name order, folders' links not followed; without it a folder stays an input, for the command
// to refuse. "-" (standard input) is kept as it is.
[[nodiscard]] BatchInputs CollectInputs(std::span<const std::string> given, bool recursive,
                                        std::span<const std::string_view> extensions);

// Where a batch writes an input's output: folder, the input's subfolder, then name.
[[nodiscard]] std::string MirroredPath(const std::string& folder, const BatchInput& input,
                                       const std::string& name);

// Makes folder, and those above it, when missing; a failure names the folder and the reason.
[[nodiscard]] Status MakeFolder(const std::string& folder);
// Makes the folder path will be written in, and those above it, when missing.
[[nodiscard]] Status MakeFolderFor(const std::string& path);

}  // namespace korvale
