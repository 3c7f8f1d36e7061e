// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the bytes of documents: little-endian numbers that never read past the end,
// and the test for markup.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "document_error.h"

namespace uy::formats {

// The little-endian number at `off`; throws DocumentError when it runs past the end.
inline std::uint16_t Le16(std::span<const std::uint8_t> b, std::uint64_t off) {
  if (off > b.size() || b.size() - off < 2) throw DocumentError("a record is cut short");
  return static_cast<std::uint16_t>(b[off] | b[off + 1] << 8);
}
inline std::uint32_t Le32(std::span<const std::uint8_t> b, std::uint64_t off) {
  if (off > b.size() || b.size() - off < 4) throw DocumentError("a record is cut short");
  return static_cast<std::uint32_t>(b[off]) | static_cast<std::uint32_t>(b[off + 1]) << 8 |
         static_cast<std::uint32_t>(b[off + 2]) << 16 | static_cast<std::uint32_t>(b[off + 3]) << 24;
}

// Markup (an XML part, HTML): after an optional UTF-8 mark and blanks, it starts with '<'.
inline bool IsMarkup(std::string_view b) {
  std::size_t i = b.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n')) ++i;
  return i < b.size() && b[i] == '<';
}

}  // namespace uy::formats
