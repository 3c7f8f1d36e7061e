// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyboard.h"

#include <array>

#include "letters.h"

namespace uy::editor {
namespace {

// Symbols on the capitals that are not letters, and Arabic punctuation.
inline constexpr char16_t kSymbols[][2] = {
    {u'A', u'\u2190'}, {u'C', u'\u3011'}, {u'E', u'\u201C'}, {u'I', u'\u25C6'},
    {u'M', u'\u2026'}, {u'N', u'\u2116'}, {u'O', u'\u25CF'}, {u'P', u'\u00A7'},
    {u'R', u'\u201D'}, {u'S', u'\u2212'}, {u'T', u'\u25A0'}, {u'U', u'\u25B2'},
    {u'V', u'\u3010'}, {u'Y', u'\u2605'}, {u',', u'\u060C'}, {u';', u'\u061B'},
    {u'<', u'\u203A'}, {u'>', u'\u2039'}, {u'?', u'\u061F'},
};

// Bracket keys insert their partner; » and « are swapped the same way.
inline constexpr char16_t kBrackets[][2] = {
    {u'(', u')'}, {u')', u'('}, {u'[', u'\u00BB'}, {u']', u'\u00AB'}, {u'{', u'}'}, {u'}', u'{'},
};

inline constexpr char16_t kPhraseB[] = u"\u0628\u0649\u0644\u06D5\u0646 ";
inline constexpr char16_t kPhraseQ[] = u"\u0686\u06C8\u0646\u0643\u0649 ";
inline constexpr char16_t kPhraseW[] = u"\u06CB\u06D5 ";
inline constexpr char16_t kPhraseX[] =
    u"\u0634\u0649\u0646\u062C\u0627\u06AD \u0626\u06C7\u064A\u063A\u06C7\u0631 "
    u"\u0626\u0627\u067E\u062A\u0648\u0646\u0648\u0645 \u0631\u0627\u064A\u0648\u0646\u0649 ";
inline constexpr char16_t kPhraseZ[] =
    u"\u0626\u06C8\u0631\u06C8\u0645\u0686\u0649 \u0634\u06D5\u06BE\u06D5\u0631\u0644\u0649\u0643 ";
inline constexpr char16_t kPhraseL[] = u"\u0644\u0627";

constexpr std::u16string_view kVowelKeys = u"efghouv";

constexpr std::array<KeyAction, 128> BuildKeyMap() {
  std::array<KeyAction, 128> map{};
  // The 33 letter keys come from the script core's key table.
  for (const Letter& l : kLetters) {
    const bool vowel = kVowelKeys.find(static_cast<char16_t>(l.key)) != std::u16string_view::npos;
    map[static_cast<unsigned char>(l.key)] = {vowel ? KeyKind::kVowel : KeyKind::kSingle,
                                              std::u16string_view(&l.code, 1)};
  }
  for (const auto& s : kSymbols) map[s[0]] = {KeyKind::kSingle, std::u16string_view(&s[1], 1)};
  for (const auto& b : kBrackets) map[b[0]] = {KeyKind::kBracket, std::u16string_view(&b[1], 1)};
  map['B'] = {KeyKind::kPhrase, kPhraseB};
  map['Q'] = {KeyKind::kPhrase, kPhraseQ};
  map['W'] = {KeyKind::kPhrase, kPhraseW};
  map['X'] = {KeyKind::kPhrase, kPhraseX};
  map['Z'] = {KeyKind::kPhrase, kPhraseZ};
  map['L'] = {KeyKind::kPhrase, kPhraseL};
  return map;
}

constexpr std::array<KeyAction, 128> kKeyMap = BuildKeyMap();

// Every capital has an action of its own.
constexpr bool AllCapitalsMapped() {
  for (char c = 'A'; c <= 'Z'; ++c)
    if (kKeyMap[static_cast<unsigned char>(c)].kind == KeyKind::kNone) return false;
  return true;
}
static_assert(AllCapitalsMapped());
static_assert(kKeyMap['K'].kind == KeyKind::kSingle && kKeyMap['/'].kind == KeyKind::kSingle);

// The vowel keys with the hamza carrier in front, for a word start.
constexpr std::array<std::array<char16_t, 2>, 128> BuildHamzaVowels() {
  std::array<std::array<char16_t, 2>, 128> out{};
  for (std::size_t k = 0; k < kKeyMap.size(); ++k)
    if (kKeyMap[k].kind == KeyKind::kVowel) out[k] = {kWordStartCarrier, kKeyMap[k].text[0]};
  return out;
}
constexpr std::array<std::array<char16_t, 2>, 128> kHamzaVowels = BuildHamzaVowels();

}  // namespace

const std::array<KeyAction, 128>& KeyMap() { return kKeyMap; }

bool IsLetter(char16_t c) {
  for (const Letter& l : kLetters)
    if (l.code == c) return true;
  return false;
}

std::u16string KeyOutcome::Text(char16_t typed_unit) const {
  std::u16string out(insert);
  if (typed == Typed::kKept) out += typed_unit;
  if (typed == Typed::kReplaced) out += replacement;
  return out;
}

KeyOutcome HandleKey(char16_t unit, bool uyghur_mode, bool word_start) {
  KeyOutcome out;
  out.word_start = word_start;
  if (!uyghur_mode) return out;
  const KeyAction entry = unit < kKeyMap.size() ? kKeyMap[unit] : KeyAction{};
  switch (entry.kind) {
    case KeyKind::kNone:
      out.word_start = true;
      break;
    case KeyKind::kBracket:
      out.typed = KeyOutcome::Typed::kReplaced;
      out.replacement = entry.text[0];
      break;
    case KeyKind::kSingle:
      out.typed = KeyOutcome::Typed::kSwallowed;
      out.insert = entry.text;
      out.word_start = false;
      break;
    case KeyKind::kVowel:
      out.typed = KeyOutcome::Typed::kSwallowed;
      out.insert = word_start ? std::u16string_view(kHamzaVowels[unit].data(), 2) : entry.text;
      out.word_start = false;
      break;
    case KeyKind::kPhrase:  // L's phrase too: the last letter it inserts sets the flag again
      out.typed = KeyOutcome::Typed::kSwallowed;
      out.insert = entry.text;
      out.word_start = true;
      break;
  }
  return out;
}

namespace {

bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

std::u16string TypeKeys(std::u16string_view keystrokes, WordStartFrom from) {
  PhoneticKeyboard keyboard;
  std::u16string text;
  for (std::size_t i = 0; i < keystrokes.size(); ++i) {
    char16_t unit = keystrokes[i];
    if (from == WordStartFrom::kTextBeforeCaret && !text.empty())
      keyboard.set_word_start(!IsLetter(text.back()));
    if (unit == u'\r' && i + 1 < keystrokes.size() && keystrokes[i + 1] == u'\n') ++i;
    if (unit == u'\n') unit = u'\r';  // the Enter key types CR
    const KeyOutcome out = keyboard.Press(unit);
    if (out.Handled()) {
      text += out.Text(unit);
    } else if (unit == 0x08) {
      if (text.empty()) continue;
      std::size_t n = 1;
      if (text.size() >= 2 && IsLowSurrogate(text.back()) && IsHighSurrogate(text[text.size() - 2])) n = 2;
      text.resize(text.size() - n);
    } else if (unit == u'\r') {
      text += u'\n';
    } else if ((unit >= 0x20 && unit != 0x7F) || unit == u'\t') {
      text += unit;
    }
  }
  return text;
}

}  // namespace uy::editor
