#include "FileKind.h"

#include <algorithm>
#include <array>

namespace korvale {

namespace {

// The chunk tags are stored little-endian, so "SRB " reads " BRS" on disk and " MIP" "PIM ".
constexpr std::array<std::uint8_t, 4> kSrbMagic{' ', 'B', 'R', 'S'};
constexpr std::array<std::uint8_t, 4> kMipMagic{'P', 'I', 'M', ' '};
constexpr std::array<std::uint8_t, 8> kPngMagic{137, 80, 78, 71, 13, 10, 26, 10};

constexpr std::array kSignatures{
    FileSignature{FileKind::kSrb, "an SRB file", kSrbMagic, "application/x-korvale-srb", "srb"},
    FileSignature{FileKind::kMip, "a MIP file", kMipMagic, "application/x-korvale-mip", "mip"},
    FileSignature{FileKind::kPng, "a PNG picture", kPngMagic, "image/png", "png"},
};

}  // namespace

std::span<const FileSignature> FileSignatures() {
    return kSignatures;
}

const FileSignature* SignatureOf(FileKind kind) {
    const auto* found = std::find_if(kSignatures.begin(), kSignatures.end(),
                                     [kind](const FileSignature& s) { return s.kind == kind; });
    return found == kSignatures.end() ? nullptr : found;
}

std::size_t RecognitionBytes() {
    std::size_t longest = 0;
    for (const FileSignature& signature : kSignatures) {
        longest = std::max(longest, signature.magic.size());
    }
    return longest;
}

Recognition RecogniseFile(std::span<const std::uint8_t> head) {
    for (const FileSignature& signature : kSignatures) {
        if (head.size() >= signature.magic.size() &&
            std::equal(signature.magic.begin(), signature.magic.end(), head.begin())) {
            return {signature.kind, {}};
        }
    }
    if (head.empty()) {
        return {FileKind::kUnknown, "is empty"};
    }
    return {FileKind::kUnknown,
            "starts with none of the SRB tag, the MIP tag or the PNG signature"};
}

}  // namespace korvale
