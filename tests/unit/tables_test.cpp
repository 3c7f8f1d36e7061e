// SPDX-License-Identifier: GPL-3.0-or-later
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "tables.h"

namespace {

using uy::recode::RecodeUnit;
using Map = std::map<char16_t, char16_t>;

// The pairs of each table, written out independently of the implementation.
const Map kA = {{0x0622, 0x0698}, {0x0623, 0x06C6}, {0x0624, 0x06CB}, {0x0626, 0x06D0}, {0x0629, 0x06D5},
                {0x062B, 0x06AD}, {0x062D, 0x0686}, {0x0630, 0x06C7}, {0x0635, 0x067E}, {0x0636, 0x06AF},
                {0x0638, 0x0626}, {0x0639, 0x0649}, {0x0647, 0x06BE}, {0x0649, 0x06C8}};
const Map kB = {{0x0623, 0x06C6}, {0x0624, 0x06CB}, {0x0625, 0x06C8}, {0x0626, 0x0649}, {0x0629, 0x06D5},
                {0x062B, 0x06AD}, {0x0630, 0x06C7}, {0x0635, 0x06D0}, {0x0638, 0x0626}, {0x0647, 0x06BE}};

Map Reversed(const Map& m) {
  Map r;
  for (auto [f, t] : m) r[t] = f;
  return r;
}
Map TableC() {
  Map c = kA;
  c.erase(0x062D);
  c[0x0633] = 0x062E;
  return c;
}
Map TableD() {
  Map d = kB;
  d[0x0622] = 0x0698;
  return d;
}
const Map& Expected(int d) {
  static const Map tables[8] = {kA, Reversed(kA), kB, Reversed(kB), TableC(), kB, TableD(), TableD()};
  return tables[d];
}

// Every unit of all eight directions: one lookup (no chains through 0x0638 -> 0x0626 ->
// 0x06D0), the reverse directions exactly inverse, units outside U+0600..U+06FF kept.
TEST(RecodeTables, EveryUnitOfEveryDirectionMatchesItsTable) {
  for (int d = 0; d < 8; ++d) {
    const Map& table = Expected(d);
    for (std::uint32_t u = 0; u <= 0xFFFF; ++u) {
      const auto unit = static_cast<char16_t>(u);
      const auto it = table.find(unit);
      const char16_t want = it == table.end() ? unit : it->second;
      ASSERT_EQ(RecodeUnit(d, unit), want) << "direction " << d << " unit " << std::hex << u;
    }
  }
}

TEST(RecodeTables, CaptionsSuffixesAndBadIndexes) {
  using uy::recode::GetDirection;
  using uy::recode::OutputSuffix;
  const std::u16string korveli50 = u"\u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 5.0";
  const std::u16string korveli39 = u"\u0643\u0648\u0631\u06CB\u06D0\u0644\u0649 3.9";
  const std::u16string sorvan = u"\u0633\u0648\u0631\u06CB\u0627\u0646";
  EXPECT_EQ(GetDirection(0).caption, korveli39 + u"  \u2190 " + korveli50);
  EXPECT_EQ(GetDirection(1).caption, korveli50 + u"  \u2190 " + korveli39);
  EXPECT_EQ(GetDirection(2).caption, sorvan + u" \u2190 " + korveli50);
  EXPECT_EQ(GetDirection(3).caption, korveli50 + u"  \u2190 " + sorvan);
  EXPECT_EQ(GetDirection(7).caption, u"\u0642\u0627\u0631\u06CB\u0627\u062A 2000 \u2190 " + korveli50);
  std::set<std::u16string> captions;
  for (int d = 0; d < 8; ++d) {
    captions.insert(std::u16string(GetDirection(d).caption));
    EXPECT_EQ(OutputSuffix(d), d == 1 ? "(Korveli)" : "(Unicode)");
  }
  EXPECT_EQ(captions.size(), 8u);
  EXPECT_THROW(RecodeUnit(8, 0x0626), std::out_of_range);
  EXPECT_THROW(RecodeUnit(-1, 0x0626), std::out_of_range);
  EXPECT_THROW(OutputSuffix(8), std::out_of_range);
}

}  // namespace
