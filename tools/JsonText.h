#pragma once
// Text that goes into korvale-tool's JSON: JSON strings must be UTF-8, file names need not be.

#include <string>
#include <string_view>

namespace korvale::tool {

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
[[nodiscard]] bool IsUtf8(std::string_view text);

// The bytes of text in base64 (RFC 4648, with padding).
[[nodiscard]] std::string Base64(std::string_view text);

}  // namespace korvale::tool
