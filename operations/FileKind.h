#pragma once
// What a file is, told by its first bytes rather than its name, from one table. Everything that
// recognises Korvale's files (the tool, the editor, the image plugin, and the registration data
// of the desktop: MIME magic, file-name patterns) takes it from here, so they cannot disagree.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvale {

enum class FileKind { kSrb, kMip, kPng, kUnknown };

// One kind of file: the bytes it starts with, and how the desktop names it.
struct FileSignature {
    FileKind kind;
    std::string_view description;         // "an SRB file"
    std::span<const std::uint8_t> magic;  // at offset 0
    std::string_view mimeType;            // "application/x-korvale-srb"
    std::string_view extension;           // "srb", without the dot
};

// Every kind Korvale recognises, SRB and MIP files first (they are Korvale's own; a PNG picture
// is what an import reads).
[[nodiscard]] std::span<const FileSignature> FileSignatures();
// The entry of a kind; nullptr for kUnknown.
[[nodiscard]] const FileSignature* SignatureOf(FileKind kind);

// The longest magic in the table: how many bytes RecogniseFile needs to tell every kind.
[[nodiscard]] std::size_t RecognitionBytes();

struct Recognition {
    FileKind kind = FileKind::kUnknown;
    // Why an unknown file is not one of ours, for messages: "is empty", "is only 3 bytes long",
    // "starts with none of the SRB tag, the MIP tag or the PNG signature".
    std::string reason;
};

// The kind of a file from its first bytes (more may be given; fewer than a magic's length never
// match it).
[[nodiscard]] Recognition RecogniseFile(std::span<const std::uint8_t> head);

}  // namespace korvale
