// SPDX-License-Identifier: GPL-3.0-or-later
// Contextual shaping of Uyghur text into Arabic presentation forms.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace uy::exporter {

// One row of the shaping table: a base letter and the four forms it is drawn with.
struct ShapeRow {
  char16_t base;
  char16_t isolated;
  char16_t initial;
  char16_t medial;
  char16_t final;
  std::uint16_t joining;  // 0 joins both ways, 1 joins only to the letter before, 2 as 0
};

inline constexpr int kRowCount = 38;

// The shaping table. Some rows are deliberately irregular: U+0626 always shows a form that
// opens towards the next letter, U+06BE has its medial and final forms swapped, U+06C9's
// final is its isolated form, and the tatweel U+0640 never changes.
inline constexpr std::array<ShapeRow, kRowCount> kShapeTable{{
    {u'\u0626', u'\uFE8B', u'\uFE8B', u'\uFE8C', u'\uFE8C', 2},
    {u'\u0627', u'\uFE8D', u'\u0000', u'\u0000', u'\uFE8E', 1},
    {u'\u06D5', u'\uFEE9', u'\u0000', u'\u0000', u'\uFEEA', 1},
    {u'\u0628', u'\uFE8F', u'\uFE91', u'\uFE92', u'\uFE90', 0},
    {u'\u067E', u'\uFB56', u'\uFB58', u'\uFB59', u'\uFB57', 0},
    {u'\u062A', u'\uFE95', u'\uFE97', u'\uFE98', u'\uFE96', 0},
    {u'\u062C', u'\uFE9D', u'\uFE9F', u'\uFEA0', u'\uFE9E', 0},
    {u'\u0686', u'\uFB7A', u'\uFB7C', u'\uFB7D', u'\uFB7B', 0},
    {u'\u062E', u'\uFEA5', u'\uFEA7', u'\uFEA8', u'\uFEA6', 0},
    {u'\u062F', u'\uFEA9', u'\u0000', u'\u0000', u'\uFEAA', 1},
    {u'\u0631', u'\uFEAD', u'\u0000', u'\u0000', u'\uFEAE', 1},
    {u'\u0632', u'\uFEAF', u'\u0000', u'\u0000', u'\uFEB0', 1},
    {u'\u0698', u'\uFB8A', u'\u0000', u'\u0000', u'\uFB8B', 1},
    {u'\u0633', u'\uFEB1', u'\uFEB3', u'\uFEB4', u'\uFEB2', 0},
    {u'\u0634', u'\uFEB5', u'\uFEB7', u'\uFEB8', u'\uFEB6', 0},
    {u'\u063A', u'\uFECD', u'\uFECF', u'\uFED0', u'\uFECE', 0},
    {u'\u0641', u'\uFED1', u'\uFED3', u'\uFED4', u'\uFED2', 0},
    {u'\u0642', u'\uFED5', u'\uFED7', u'\uFED8', u'\uFED6', 0},
    {u'\u0643', u'\uFED9', u'\uFEDB', u'\uFEDC', u'\uFEDA', 0},
    {u'\u06AF', u'\uFB92', u'\uFB94', u'\uFB95', u'\uFB93', 0},
    {u'\u06AD', u'\uFBD3', u'\uFBD5', u'\uFBD6', u'\uFBD4', 0},
    {u'\u0644', u'\uFEDD', u'\uFEDF', u'\uFEE0', u'\uFEDE', 0},
    {u'\u0645', u'\uFEE1', u'\uFEE3', u'\uFEE4', u'\uFEE2', 0},
    {u'\u0646', u'\uFEE5', u'\uFEE7', u'\uFEE8', u'\uFEE6', 0},
    {u'\u06BE', u'\uFBAA', u'\uFBAC', u'\uFBAB', u'\uFBAD', 0},
    {u'\u0648', u'\uFEED', u'\u0000', u'\u0000', u'\uFEEE', 1},
    {u'\u06C7', u'\uFBD7', u'\u0000', u'\u0000', u'\uFBD8', 1},
    {u'\u06C6', u'\uFBD9', u'\u0000', u'\u0000', u'\uFBDA', 1},
    {u'\u06C8', u'\uFBDB', u'\u0000', u'\u0000', u'\uFBDC', 1},
    {u'\u06CB', u'\uFBDE', u'\u0000', u'\u0000', u'\uFBDF', 1},
    {u'\u06D0', u'\uFBE4', u'\uFBE6', u'\uFBE7', u'\uFBE5', 0},
    {u'\u0649', u'\uFEEF', u'\uFBE8', u'\uFBE9', u'\uFEF0', 0},
    {u'\u064A', u'\uFEF1', u'\uFEF3', u'\uFEF4', u'\uFEF2', 0},
    {u'\u06C5', u'\uFBE0', u'\u0000', u'\u0000', u'\uFBE1', 1},
    {u'\u06C9', u'\uFBE2', u'\u0000', u'\u0000', u'\uFBE2', 1},
    {u'\u062D', u'\uFEA1', u'\uFEA3', u'\uFEA4', u'\uFEA2', 0},
    {u'\u0639', u'\uFEC9', u'\uFECB', u'\uFECC', u'\uFECA', 0},
    {u'\u0640', u'\u0640', u'\u0640', u'\u0640', u'\u0640', 0},
}};

inline constexpr char16_t kLam = u'\u0644';
inline constexpr char16_t kAlef = u'\u0627';
inline constexpr char16_t kLamAlefIsolated = u'\uFEFB';
inline constexpr char16_t kLamAlefFinal = u'\uFEFC';

// The row whose base letter is c, or nullptr for a character without a row.
const ShapeRow* FindRow(char16_t c);

// The partner of one of the ten mirrored brackets ( ) [ ] { } « » ‹ ›, or c itself.
char16_t MirrorBracket(char16_t c);

// Shapes a run of text in logical order: every letter with a row takes the form its
// neighbours call for, lam followed by alef becomes one ligature, the ten paired brackets
// are mirrored; every other character is copied. The result is still in logical order and
// one unit shorter per ligature. A run of any length is shaped whole.
std::u16string ShapeRun(std::u16string_view run);

}  // namespace uy::exporter
