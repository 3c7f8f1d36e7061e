// Length-keeping recoding of UTF-8, UTF-16, markup references and rich text.
#include <cstdio>
#include <cstring>

#include "formats.h"
#include "tables.h"

namespace uy::recode {
namespace {

bool InArabicBlock(std::uint32_t cp) { return cp >= 0x0600 && cp <= 0x06FF; }

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(std::uint8_t c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsLetter(std::uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Writes `value` into [first, last) as digits of `base`, padded on the left with zeros.
// The caller guarantees the width suffices (every table value needs 3 hex or 4 decimal
// digits, and the value it replaces needed as many).
void WriteDigits(std::uint8_t* first, std::uint8_t* last, std::uint32_t value, unsigned base,
                 bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  for (std::uint8_t* p = last; p != first;) {
    *--p = static_cast<std::uint8_t>(digits[value % base]);
    value /= base;
  }
}

}  // namespace

std::size_t RecodeUtf8(std::span<std::uint8_t> text, int direction) {
  std::size_t changed = 0;
  const std::size_t n = text.size();
  std::uint8_t* p = text.data();
  for (std::size_t i = 0; i + 1 < n; ++i) {
    // U+0600..U+06FF are D8 80 .. DB BF; a lead byte D8..DB is never a continuation byte.
    if (p[i] < 0xD8 || p[i] > 0xDB || (p[i + 1] & 0xC0) != 0x80) continue;
    const char16_t cp = static_cast<char16_t>(((p[i] & 0x1F) << 6) | (p[i + 1] & 0x3F));
    const char16_t r = RecodeUnit(direction, cp);
    if (r != cp) {
      p[i] = static_cast<std::uint8_t>(0xC0 | (r >> 6));
      p[i + 1] = static_cast<std::uint8_t>(0x80 | (r & 0x3F));
      ++changed;
    }
    ++i;
  }
  return changed;
}

std::size_t RecodeUtf16(std::span<std::uint8_t> units, bool big_endian, int direction) {
  std::size_t changed = 0;
  std::uint8_t* p = units.data();
  const int lo = big_endian ? 1 : 0, hi = 1 - lo;
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    if (p[i + hi] != 0x06) continue;
    const char16_t u = static_cast<char16_t>(0x0600 | p[i + lo]);
    const char16_t r = RecodeUnit(direction, u);
    if (r != u) {
      p[i + lo] = static_cast<std::uint8_t>(r & 0xFF);
      ++changed;
    }
  }
  return changed;
}

std::size_t RecodeCharacterReferences(std::span<std::uint8_t> markup, int direction) {
  std::size_t changed = 0;
  std::uint8_t* p = markup.data();
  const std::size_t n = markup.size();
  for (std::size_t i = 0; i + 3 < n; ++i) {
    if (p[i] != '&' || p[i + 1] != '#') continue;
    std::size_t j = i + 2;
    const bool hex = p[j] == 'x' || p[j] == 'X';
    if (hex) ++j;
    const std::size_t first = j;
    std::uint32_t value = 0;
    bool upper = false, lower = false;
    while (j < n && (hex ? IsHexDigit(p[j]) : IsDigit(p[j])) && j - first < 8) {
      const std::uint8_t c = p[j];
      value = value * (hex ? 16 : 10) +
              (IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
      if (c >= 'A' && c <= 'F') upper = true;
      if (c >= 'a' && c <= 'f') lower = true;
      ++j;
    }
    if (j == first || j >= n || p[j] != ';' || !InArabicBlock(value)) continue;
    const char16_t r = RecodeUnit(direction, static_cast<char16_t>(value));
    if (r != value) {
      // Hex letters keep the case the reference used, or else the case of its 'x'.
      WriteDigits(p + first, p + j, r, hex ? 16 : 10, upper || (!lower && p[i + 2] == 'X'));
      ++changed;
    }
    i = j;
  }
  return changed;
}

std::size_t RecodeRtfEscapes(std::span<std::uint8_t> rtf, int direction) {
  std::size_t changed = 0;
  std::uint8_t* p = rtf.data();
  const std::size_t n = rtf.size();
  std::size_t i = 0;
  while (i < n) {
    if (p[i] != '\\') {
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    if (j >= n) break;
    if (!IsLetter(p[j])) {  // control symbol: \\ \{ \} \' and the like
      i = j + 1;
      continue;
    }
    const std::size_t word = j;
    while (j < n && IsLetter(p[j])) ++j;
    const std::size_t word_len = j - word;
    const bool negative = j < n && p[j] == '-';
    if (negative) ++j;
    const std::size_t digits = j;
    std::uint64_t param = 0;
    // Every digit belongs to the parameter; past 2^40 its value no longer matters.
    for (; j < n && IsDigit(p[j]); ++j)
      if (param < (std::uint64_t{1} << 40)) param = param * 10 + (p[j] - '0');
    const bool has_param = j > digits;
    if (word_len == 1 && p[word] == 'u' && has_param && !negative && InArabicBlock(static_cast<std::uint32_t>(param))) {
      const char16_t r = RecodeUnit(direction, static_cast<char16_t>(param));
      if (r != param) {
        WriteDigits(p + digits, p + j, r, 10, false);
        ++changed;
      }
    } else if (word_len == 3 && std::memcmp(p + word, "bin", 3) == 0 && has_param && !negative) {
      // \binN: N bytes of raw data follow the delimiting blank.
      if (j < n && p[j] == ' ') ++j;
      j = (param > n - j) ? n : j + static_cast<std::size_t>(param);
    }
    i = j;
  }
  return changed;
}

}  // namespace uy::recode
