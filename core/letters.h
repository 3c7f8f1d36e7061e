// SPDX-License-Identifier: GPL-3.0-or-later
// Uyghur letter inventory and the key table shared by key strings and the keyboard.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace uy {

struct Letter {
  char16_t code;      // the letter's UTF-16 code unit
  char key;           // the ASCII key that stands for it
  const char* name;   // Unicode name without the prefix "ARABIC LETTER"
};

// The hamza carrier, then the 32 letters in alphabet order.
inline constexpr std::array<Letter, 33> kLetters{{
    {u'\u0626', '/', "YEH WITH HAMZA ABOVE"},
    {u'\u0627', 'f', "ALEF"},
    {u'\u06D5', 'g', "AE"},
    {u'\u0628', 'b', "BEH"},
    {u'\u067E', 'p', "PEH"},
    {u'\u062A', 't', "TEH"},
    {u'\u062C', 'J', "JEEM"},
    {u'\u0686', 'q', "TCHEH"},
    {u'\u062E', 'H', "KHAH"},
    {u'\u062F', 'd', "DAL"},
    {u'\u0631', 'r', "REH"},
    {u'\u0632', 'z', "ZAIN"},
    {u'\u0698', 'D', "JEH"},
    {u'\u0633', 's', "SEEN"},
    {u'\u0634', 'x', "SHEEN"},
    {u'\u063A', 'c', "GHAIN"},
    {u'\u0641', 'F', "FEH"},
    {u'\u0642', 'j', "QAF"},
    {u'\u0643', 'k', "KAF"},
    {u'\u06AF', 'G', "GAF"},
    {u'\u06AD', 'i', "NG"},
    {u'\u0644', 'l', "LAM"},
    {u'\u0645', 'm', "MEEM"},
    {u'\u0646', 'n', "NOON"},
    {u'\u06BE', 'a', "HEH DOACHASHMEE"},
    {u'\u0648', 'o', "WAW"},
    {u'\u06C7', 'u', "U"},
    {u'\u06C6', 'K', "OE"},
    {u'\u06C8', 'v', "YU"},
    {u'\u06CB', 'w', "VE"},
    {u'\u06D0', 'e', "E"},
    {u'\u0649', 'h', "ALEF MAKSURA"},
    {u'\u064A', 'y', "YEH"},
}};

// The letter a key stands for, or nothing for a character without an entry
// (digits, space, punctuation other than '/', the twenty other capitals, bytes >= 0x80).
std::optional<char16_t> KeyToLetter(char key);

// Converts a key string to Uyghur text, one code unit per input byte, in logical order.
// Characters without an entry stand for themselves. Key strings are 7-bit ASCII; a byte
// of 0x80 or above is not a character on its own and becomes U+FFFD, so the result still
// has exactly one unit per byte. There is no length limit.
std::u16string KeyStringToUyghur(std::string_view keys);

}  // namespace uy
