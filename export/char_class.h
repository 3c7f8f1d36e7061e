// Per-unit classes for the shaper and the run split, looked up in two small tables
// (a block per high byte), so that the hot loops never search the shaping table.
#pragma once

#include <array>
#include <cstdint>

#include "export/shaper.h"

namespace uy::shape::detail {

// 0: no row, outside RTL runs. 1..38: row index + 1. kRtlPlain: no row, inside RTL runs.
// kBracketFirst + k: the k-th mirrored bracket (no row, inside RTL runs).
inline constexpr std::uint8_t kLtr = 0;
inline constexpr std::uint8_t kRtlPlain = 39;
inline constexpr std::uint8_t kBracketFirst = 40;

inline constexpr std::array<char16_t, 10> kBrackets{u'(', u')', u'[', u']', u'{', u'}',
                                                    u'\u00AB', u'\u00BB', u'\u2039', u'\u203A'};
inline constexpr std::array<char16_t, 10> kMirrored{u')', u'(', u']', u'[', u'}', u'{',
                                                    u'\u00BB', u'\u00AB', u'\u203A', u'\u2039'};
// RTL-run members that have no row and are not mirrored.
inline constexpr std::array<char16_t, 7> kRtlPunctuation{u' ', u'-', u'.', u':',
                                                         u'\u060C', u'\u061B', u'\u061F'};

struct ClassTables {
  std::array<std::uint8_t, 256> block_of_high{};       // high byte -> block (0 = nothing)
  std::array<std::array<std::uint8_t, 256>, 4> block{};  // block, low byte -> class
};

constexpr ClassTables BuildClassTables() {
  ClassTables t{};
  int used = 1;
  auto set = [&](char16_t c, std::uint8_t cls) {
    const int high = c >> 8;
    if (t.block_of_high[high] == 0) t.block_of_high[high] = static_cast<std::uint8_t>(used++);
    t.block[t.block_of_high[high]][c & 0xFF] = cls;
  };
  for (int r = 0; r < kRowCount; ++r) set(kShapeTable[r].base, static_cast<std::uint8_t>(r + 1));
  for (char16_t c : kRtlPunctuation) set(c, kRtlPlain);
  for (int k = 0; k < 10; ++k) set(kBrackets[k], static_cast<std::uint8_t>(kBracketFirst + k));
  return t;
}

inline constexpr ClassTables kClassTables = BuildClassTables();

inline std::uint8_t ClassOf(char16_t c) {
  return kClassTables.block[kClassTables.block_of_high[c >> 8]][c & 0xFF];
}

}  // namespace uy::shape::detail
