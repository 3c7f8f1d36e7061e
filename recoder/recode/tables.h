// SPDX-License-Identifier: GPL-3.0-or-later
// The eight recoding directions between Unicode Uyghur and the legacy font encodings.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace uy::recode {

inline constexpr int kDirectionCount = 8;

struct Pair {
  char16_t from;
  char16_t to;
};

struct Direction {
  std::u16string_view caption;  // shown in the direction list
  std::string_view source;      // encoding names, for the command line
  std::string_view target;
  std::string_view suffix;      // inserted into output file names
  std::span<const Pair> pairs;  // each from-value at most once
};

// The direction with this index; throws std::out_of_range outside 0..7.
const Direction& GetDirection(int direction);

// The unit's replacement in one single lookup (never chained), or the unit itself.
char16_t RecodeUnit(int direction, char16_t unit);

// "(Korveli)" for direction 1, "(Unicode)" for the others.
std::string_view OutputSuffix(int direction);

// Every from-value lies in U+0600..U+06FF, so a direction is also a map of the low byte
// of units whose high byte is 0x06; the recoding pass uses this form.
const std::array<std::uint8_t, 256>& LowByteMap(int direction);

}  // namespace uy::recode
