// SPDX-License-Identifier: GPL-3.0-or-later
#include "tables.h"

#include <stdexcept>

namespace uy::recode {
namespace {

// Korveli 3.9 to Korveli 5.0.
constexpr Pair kTableA[] = {
    {0x0622, 0x0698}, {0x0623, 0x06C6}, {0x0624, 0x06CB}, {0x0626, 0x06D0}, {0x0629, 0x06D5},
    {0x062B, 0x06AD}, {0x062D, 0x0686}, {0x0630, 0x06C7}, {0x0635, 0x067E}, {0x0636, 0x06AF},
    {0x0638, 0x0626}, {0x0639, 0x0649}, {0x0647, 0x06BE}, {0x0649, 0x06C8},
};
constexpr Pair kTableAReversed[] = {
    {0x0626, 0x0638}, {0x0649, 0x0639}, {0x067E, 0x0635}, {0x0686, 0x062D}, {0x0698, 0x0622},
    {0x06AD, 0x062B}, {0x06AF, 0x0636}, {0x06BE, 0x0647}, {0x06C6, 0x0623}, {0x06C7, 0x0630},
    {0x06C8, 0x0649}, {0x06CB, 0x0624}, {0x06D0, 0x0626}, {0x06D5, 0x0629},
};
// Sorvan and Hovuran to Korveli 5.0.
constexpr Pair kTableB[] = {
    {0x0623, 0x06C6}, {0x0624, 0x06CB}, {0x0625, 0x06C8}, {0x0626, 0x0649}, {0x0629, 0x06D5},
    {0x062B, 0x06AD}, {0x0630, 0x06C7}, {0x0635, 0x06D0}, {0x0638, 0x0626}, {0x0647, 0x06BE},
};
constexpr Pair kTableBReversed[] = {
    {0x0626, 0x0638}, {0x0649, 0x0626}, {0x06AD, 0x062B}, {0x06BE, 0x0647}, {0x06C6, 0x0623},
    {0x06C7, 0x0630}, {0x06C8, 0x0625}, {0x06CB, 0x0624}, {0x06D0, 0x0635}, {0x06D5, 0x0629},
};
// Tekmir to Korveli 5.0: Table A with SEEN to KHAH in place of HAH to TCHEH.
constexpr Pair kTableC[] = {
    {0x0622, 0x0698}, {0x0623, 0x06C6}, {0x0624, 0x06CB}, {0x0626, 0x06D0}, {0x0629, 0x06D5},
    {0x062B, 0x06AD}, {0x0630, 0x06C7}, {0x0633, 0x062E}, {0x0635, 0x067E}, {0x0636, 0x06AF},
    {0x0638, 0x0626}, {0x0639, 0x0649}, {0x0647, 0x06BE}, {0x0649, 0x06C8},
};
// Zeynek and Qarvat 2000 to Korveli 5.0: Table B plus ALEF WITH MADDA ABOVE to JEH.
constexpr Pair kTableD[] = {
    {0x0622, 0x0698}, {0x0623, 0x06C6}, {0x0624, 0x06CB}, {0x0625, 0x06C8}, {0x0626, 0x0649},
    {0x0629, 0x06D5}, {0x062B, 0x06AD}, {0x0630, 0x06C7}, {0x0635, 0x06D0}, {0x0638, 0x0626},
    {0x0647, 0x06BE},
};

constexpr std::u16string_view kKorveli50 = u"\u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0";

constexpr std::array<Direction, kDirectionCount> kDirections{{
    {u"\u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 3.9  \u2190 \u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0",
     "Korveli 3.9", "Korveli 5.0", "(Unicode)", kTableA},
    {u"\u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0  \u2190 \u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 3.9",
     "Korveli 5.0", "Korveli 3.9", "(Korveli)", kTableAReversed},
    {u"\u0633\u0648\u0631\u06CB\u0627\u0646 \u2190 \u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0",
     "Sorvan", "Korveli 5.0", "(Unicode)", kTableB},
    {u"\u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0  \u2190 \u0633\u0648\u0631\u06CB\u0627\u0646",
     "Korveli 5.0", "Sorvan", "(Unicode)", kTableBReversed},
    {u"\u062A\u06D0\u0643\u0645\u0649\u0631 \u2190 \u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0",
     "Tekmir", "Korveli 5.0", "(Unicode)", kTableC},
    {u"\u06BE\u0648\u06CB\u06C7\u0631\u0627\u0646 \u2190 \u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0",
     "Hovuran", "Korveli 5.0", "(Unicode)", kTableB},
    {u"\u0632\u06D5\u064A\u0646\u06D5\u0643 \u2190 \u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0",
     "Zeynek", "Korveli 5.0", "(Unicode)", kTableD},
    {u"\u0642\u0627\u0631\u06CB\u0627\u062A 2000 \u2190 \u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0",
     "Qarvat 2000", "Korveli 5.0", "(Unicode)", kTableD},
}};
static_assert(kDirections[2].caption.ends_with(kKorveli50));

using LowMap = std::array<std::uint8_t, 256>;

constexpr LowMap MakeLowMap(std::span<const Pair> pairs) {
  LowMap map{};
  for (int i = 0; i < 256; ++i) map[i] = static_cast<std::uint8_t>(i);
  for (const Pair& p : pairs) map[p.from & 0xFF] = static_cast<std::uint8_t>(p.to & 0xFF);
  return map;
}

constexpr bool AllInArabicBlock(std::span<const Pair> pairs) {
  for (const Pair& p : pairs)
    if ((p.from >> 8) != 0x06 || (p.to >> 8) != 0x06) return false;
  return true;
}

constexpr std::array<LowMap, kDirectionCount> MakeLowMaps() {
  std::array<LowMap, kDirectionCount> maps{};
  for (int d = 0; d < kDirectionCount; ++d) maps[d] = MakeLowMap(kDirections[d].pairs);
  return maps;
}

constexpr bool TablesInArabicBlock() {
  for (const Direction& d : kDirections)
    if (!AllInArabicBlock(d.pairs)) return false;
  return true;
}
static_assert(TablesInArabicBlock(), "the low-byte maps need every pair inside U+0600..U+06FF");

constexpr std::array<LowMap, kDirectionCount> kLowMaps = MakeLowMaps();

void CheckIndex(int direction) {
  if (direction < 0 || direction >= kDirectionCount)
    throw std::out_of_range("recoding direction " + std::to_string(direction) + " does not exist (0 to 7)");
}

}  // namespace

const Direction& GetDirection(int direction) {
  CheckIndex(direction);
  return kDirections[static_cast<std::size_t>(direction)];
}

char16_t RecodeUnit(int direction, char16_t unit) {
  CheckIndex(direction);
  if ((unit >> 8) != 0x06) return unit;
  return static_cast<char16_t>(0x0600 | kLowMaps[static_cast<std::size_t>(direction)][unit & 0xFF]);
}

std::string_view OutputSuffix(int direction) { return GetDirection(direction).suffix; }

const std::array<std::uint8_t, 256>& LowByteMap(int direction) {
  CheckIndex(direction);
  return kLowMaps[static_cast<std::size_t>(direction)];
}

}  // namespace uy::recode
