// SPDX-License-Identifier: GPL-3.0-or-later
// Internal: the per-unit class tables the converters are driven by.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "script.h"

namespace uy::script::detail {

// Classes of a unit of Arabic-script text (the forward converters' source).
enum FwdClass : std::uint8_t {
  kOther = 0,    // copied; ends a word
  kSpace,        // whitespace
  kDigit,        // ASCII and Arabic-Indic digits
  kSentEnd,      // . ! U+06D4 and ASCII ? (a sentence end when a space or the line end follows)
  kQuote,        // " : opens every other time on a line
  kQuoteOpen,    // “ „ « ‹ : always opens
  kCloser,       // ” » › ’ ' ) ] } : may stand between a sentence end and the space
  kZwsp,         // U+200B
  kFormat,       // other format controls: kept, transparent inside a word
  kTatweel,      // U+0640: dropped (§6.8.4)
  kMark,         // Arabic marks: kept, transparent
  kUey,          // a Uyghur letter, the carrier, or ه ی ک
  kArabic,       // another Arabic letter: kept, part of a word
  kArabicPunct,  // ، ؛ ؟
  kLatin,        // a Latin letter (the New Script letters included)
  kCyrillic,     // a Cyrillic letter
  kCombining,    // U+0300-036F: part of a Latin or Cyrillic run
  kForm,         // a presentation form (folded before conversion)
};

// Values of a unit of Latin or Cyrillic text (the backward converters' source): a class
// below kLetterBase, or kLetterBase + letter id, with kUpperBit for a capital.
enum BwdClass : std::uint8_t {
  kBOther = 0,
  kBSpace,
  kBDigit,
  kBZwsp,
  kBFormat,
  kBComma,
  kBQuestion,
  kBSemicolon,
  kBApostrophe,
  kBArabic,      // an Arabic letter (wrapped and kept)
  kBArabicMark,  // Arabic marks, tatweel: inside an Arabic run
  kBForeign,     // a letter outside the source script's alphabet
  kBCombining,
  kLetterBase = 32,
};
inline constexpr std::uint8_t kUpperBit = 0x80;

const std::uint8_t* FwdTable();                  // 65536 entries
const std::uint8_t* BwdTable(Script source);     // 65536 entries; ULY, UKY or UYY

// Index into kLetters of a UEY letter unit (ی ک ه folded in), kCarrierIndex, or -1.
inline constexpr int kCarrierIndex = 32;
inline constexpr int kHehIndex = 33;  // ه U+0647: ە at a word end, ھ elsewhere
inline constexpr std::array<std::int8_t, 256> kLetterIndexTable = [] {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = -1;
  for (std::size_t i = 0; i < kLetters.size(); ++i) t[kLetters[i].uey - 0x600] = static_cast<std::int8_t>(i);
  t[kCarrier - 0x600] = kCarrierIndex;
  t[0x6CC - 0x600] = t[0x649 - 0x600];  // ی Farsi yeh: ى
  t[0x6A9 - 0x600] = t[0x643 - 0x600];  // ک keheh: ك
  t[0x647 - 0x600] = kHehIndex;         // ه heh: ە at a word end, ھ elsewhere
  return t;
}();
inline int LetterIndex(char16_t c) { return c >= 0x600 && c <= 0x6FF ? kLetterIndexTable[c - 0x600] : -1; }

bool IsJoiner(char16_t c);

// The lower-case letters of a source script's alphabet; a letter's id is its place here.
std::u16string_view SourceLetters(Script source);  // . - _ / : @ + & ' ’ : may join a kept run

}  // namespace uy::script::detail
