// Conversions between UTF-8 bytes and UTF-16 text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace uy {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16; every malformed sequence becomes U+FFFD and decoding goes on.
// The number of replacements is stored in *replaced when given.
std::u16string FromUtf8(std::string_view bytes, std::size_t* replaced = nullptr);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

}  // namespace uy
