// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory recoding pass over arbitrary bytes. The first byte chooses the direction
// (bits 0-2) and whether the document gets a 2560-byte header of U+0626 units in front
// (bit 3), so that short inputs reach the recoded part too; the rest is the document.
//
// Properties: the header stays byte for byte; every whole unit after it becomes
// RecodeUnit of itself (so the bytes of units outside U+0600..U+06FF, and a trailing odd
// byte, stay); and for the four directions that have a reverse (0/1, 2/3), recoding
// forth and back restores every unit except those the reverse table moves and the
// forward table does not. The reverse tables are the exact inverses of the forward ones,
// so everything the forward table changes comes back, and units that neither table moves
// stay; the exceptions are the to-values that are not also from-values, e.g. for 0 then 1
// U+0698 U+06C6 U+06CB U+06D0 U+06D5 U+06AD U+0686 U+06C7 U+067E U+06AF U+06BE U+06C8
// (U+0626 and U+0649 are both, and do come back).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "check.h"
#include "pass.h"
#include "tables.h"

namespace {

using uy::recode::kHeaderSize;

bool Moves(int direction, char16_t unit) {
  const auto pairs = uy::recode::GetDirection(direction).pairs;
  return std::any_of(pairs.begin(), pairs.end(), [&](const auto& p) { return p.from == unit; });
}

char16_t UnitAt(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<char16_t>(b[at] | b[at + 1] << 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int direction = data[0] & 7;
  std::vector<std::uint8_t> doc;
  if (data[0] & 8)
    for (std::size_t i = 0; i < kHeaderSize / 2; ++i) doc.insert(doc.end(), {0x26, 0x06});
  doc.insert(doc.end(), data + 1, data + size);

  std::vector<std::uint8_t> out = doc;
  uy::recode::RecodeBuffer(out, direction);  // in place: the length cannot change
  const std::size_t header = std::min<std::size_t>(doc.size(), kHeaderSize);
  FUZZ_CHECK(std::equal(doc.begin(), doc.begin() + header, out.begin()));
  for (std::size_t at = kHeaderSize; at + 1 < doc.size(); at += 2) {
    const char16_t unit = UnitAt(doc, at);
    FUZZ_CHECK(UnitAt(out, at) == uy::recode::RecodeUnit(direction, unit));
    FUZZ_CHECK(out[at + 1] == doc[at + 1]);
  }
  if (doc.size() > kHeaderSize && doc.size() % 2) FUZZ_CHECK(out.back() == doc.back());

  if (direction > 3) return 0;
  const int reverse = direction ^ 1;
  std::vector<std::uint8_t> back = out;
  uy::recode::RecodeBuffer(back, reverse);
  FUZZ_CHECK(std::equal(doc.begin(), doc.begin() + header, back.begin()));
  for (std::size_t at = kHeaderSize; at + 1 < doc.size(); at += 2) {
    const char16_t unit = UnitAt(doc, at);
    if (Moves(reverse, unit) && !Moves(direction, unit))
      FUZZ_CHECK(UnitAt(back, at) != unit);
    else
      FUZZ_CHECK(UnitAt(back, at) == unit);
  }
  if (doc.size() > kHeaderSize && doc.size() % 2) FUZZ_CHECK(back.back() == doc.back());
  return 0;
}
