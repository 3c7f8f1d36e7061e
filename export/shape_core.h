// SPDX-License-Identifier: GPL-3.0-or-later
// The shaping engine's inner loop and its tables. Every unit is classified through two
// small tables (a block per high byte); the class selects one precomputed action, so the
// loop runs without searching the shaping table and with few unpredictable branches.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "shaper.h"

namespace uy::exporter::detail {

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

// The same classes by unit, one lookup for the shaping loop (64 KB, of which a line of
// Uyghur text touches a few cache lines).
constexpr std::array<std::uint8_t, 0x10000> BuildFlatClasses() {
  std::array<std::uint8_t, 0x10000> t{};
  // Only the few blocks that hold a class are copied: a loop over every unit would pass
  // the compilers' limit on compile-time evaluation steps.
  for (std::size_t high = 0; high < 256; ++high) {
    const std::uint8_t b = kClassTables.block_of_high[high];
    if (b == 0) continue;
    for (std::size_t low = 0; low < 256; ++low) t[high << 8 | low] = kClassTables.block[b][low];
  }
  return t;
}

inline constexpr std::array<std::uint8_t, 0x10000> kClassOf = BuildFlatClasses();

inline std::uint8_t ClassOf(char16_t c) { return kClassOf[c]; }

// What the shaper does with a unit of one class (16 bytes, so that the loop finds an
// entry with a shift rather than a multiplication). `flag` is the group-start flag (1 when
// the next letter has no joining letter before it) and indexes the two-way columns.
struct alignas(16) Action {
  std::array<char16_t, 2> form{};  // written unit for letters and brackets, by flag
  std::array<char16_t, 2> fix{};   // what a joining letter's unit turns into before a break
  std::uint16_t copy_mask = 0;     // 0xFFFF: the unit itself is written
  std::uint8_t flag_after = 1;     // the group-start flag after the unit
  std::uint8_t joining = 0;        // 1: a joining letter (class 0 or 2), may still turn
  std::uint8_t breaks = 1;         // 1: a unit without a row, turns the joining letter before it
};

inline constexpr int kClassCount = kBracketFirst + 10;
inline constexpr int kLamClass = 22;  // row 21 + 1

constexpr std::array<Action, kClassCount> BuildActions() {
  std::array<Action, kClassCount> a{};
  for (Action& x : a) x.copy_mask = 0xFFFF;
  for (int r = 0; r < kRowCount; ++r) {
    const ShapeRow& row = kShapeTable[r];
    Action& x = a[r + 1];
    x.copy_mask = 0;
    x.breaks = 0;
    if (row.joining == 1) {
      x.form = {row.final, row.isolated};
    } else {
      x.form = {row.medial, row.initial};
      x.fix = {row.final, row.isolated};
      x.joining = 1;
      x.flag_after = 0;
    }
  }
  for (int k = 0; k < 10; ++k) {
    Action& x = a[kBracketFirst + k];
    x.copy_mask = 0;
    x.form = {kMirrored[k], kMirrored[k]};
  }
  return a;
}

inline constexpr std::array<Action, kClassCount> kActions = BuildActions();

// The same, with brackets copied as they are (the line's ordering mirrors them).
constexpr std::array<Action, kClassCount> BuildPlainActions() {
  std::array<Action, kClassCount> a = BuildActions();
  for (int k = 0; k < 10; ++k) {
    Action& x = a[kBracketFirst + k];
    x.copy_mask = 0xFFFF;
    x.form = {0, 0};
  }
  return a;
}

inline constexpr std::array<Action, kClassCount> kPlainActions = BuildPlainActions();
static_assert(kShapeTable[kLamClass - 1].base == kLam);

struct ShapeCount {
  std::size_t consumed;  // input units taken
  std::size_t written;   // output units written
};

// Shapes in[0..n) and writes the result to out[0], out[kStep], out[2 * kStep], ...
// Brackets are mirrored when kMirror.
//
// Rule by rule: lam followed by alef becomes one ligature, the alef is dropped and starts
// a new group; a joining letter takes its initial or medial form, a right-joining letter
// its isolated or final form, by the group-start flag; any other unit is copied (a
// bracket mirrored) and turns a joining letter right before it, and so the end of the run,
// into its isolated or final form. Only a unit that a joining letter produced is turned:
// a unit without a row that equals some form (U+0000, a presentation form) stays as it is.
//
// The last unit is held back in `prev` until the next unit shows whether it must turn.
template <int kStep, bool kMirror = true>
inline ShapeCount ShapeCore(const char16_t* in, std::size_t n, char16_t* out) {
  std::size_t i = 0;
  std::ptrdiff_t k = 0;  // units written
  unsigned flag = 1;
  unsigned pending = 0;  // prev came from a joining letter
  char16_t pending_value = 0;
  char16_t prev = 0;
  const auto& actions = kMirror ? kActions : kPlainActions;
  for (; i < n; ++i) {
    const char16_t c = in[i];
    const std::uint8_t cls = ClassOf(c);
    if (k > 0) {
      out[(k - 1) * kStep] = (pending & actions[cls].breaks) ? pending_value : prev;
    }
    if (cls == kLamClass && i + 1 < n && in[i + 1] == kAlef) [[unlikely]] {
      prev = flag ? kLamAlefIsolated : kLamAlefFinal;
      ++i;
      flag = 1;
      pending = 0;
      ++k;
      continue;
    }
    const Action& a = actions[cls];
    prev = static_cast<char16_t>((c & a.copy_mask) | a.form[flag]);
    pending_value = a.fix[flag];
    pending = a.joining;
    flag = a.flag_after;
    ++k;
  }
  if (k > 0) out[(k - 1) * kStep] = pending ? pending_value : prev;
  return {i, static_cast<std::size_t>(k)};
}

}  // namespace uy::exporter::detail
