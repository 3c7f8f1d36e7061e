// SPDX-License-Identifier: GPL-3.0-or-later
// The phonetic keyboard: Latin keystrokes to Uyghur letters, punctuation, symbols and
// phrases, with the word-start flag that lets the vowel keys write the hamza carrier.
// Free of window code; the editor's text area calls it for every typed character.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace uy::editor {

// What a key does in Uyghur mode.
enum class KeyKind : unsigned char {
  kNone,     // typed unchanged; sets the word-start flag
  kSingle,   // one character; clears the flag
  kVowel,    // a vowel, after the hamza carrier at a word start; clears the flag
  kPhrase,   // a fixed sequence of characters; sets the flag
  kBracket,  // its partner instead of itself; leaves the flag
};

struct KeyAction {
  KeyKind kind = KeyKind::kNone;
  std::u16string_view text;  // what the key inserts (the partner, for a bracket key)
};

// The key map as data: the action of every 7-bit key (static storage).
const std::array<KeyAction, 128>& KeyMap();

// What a vowel key writes in front of its vowel at a word start.
inline constexpr char16_t kWordStartCarrier = u'\u0626';

// True for the keyboard's letters (the hamza carrier and the 32 letters of the key table),
// the characters that words are made of.
bool IsLetter(char16_t c);

// What becomes of one typed character.
struct KeyOutcome {
  enum class Typed {
    kSwallowed,  // nothing is inserted for the typed character itself
    kKept,       // the typed character is inserted unchanged
    kReplaced,   // a bracket key: its partner is inserted instead
  };
  Typed typed = Typed::kKept;
  char16_t replacement = 0;  // the partner, when typed == kReplaced
  // Characters the keyboard inserts itself, in order (static storage). Only set when
  // the typed character is swallowed; a kept or replaced key inserts nothing else.
  std::u16string_view insert;
  bool word_start = true;  // the flag after this keystroke

  // True when the text area must not insert the typed character the usual way.
  bool Handled() const { return typed != Typed::kKept; }
  // Everything that goes in at the caret for this keystroke, given the typed unit.
  std::u16string Text(char16_t typed_unit) const;
};

// Handles one typed UTF-16 code unit (a character above U+FFFF arrives as two units,
// each passed on unchanged). In English mode nothing changes, the flag included.
KeyOutcome HandleKey(char16_t unit, bool uyghur_mode, bool word_start);

// The keyboard as the editor holds it: the mode and the word-start flag, which is set
// at start. Neither follows the text or the caret.
class PhoneticKeyboard {
 public:
  KeyOutcome Press(char16_t unit) {
    KeyOutcome out = HandleKey(unit, uyghur_mode_, word_start_);
    word_start_ = out.word_start;
    return out;
  }
  // Several units at once (an input method's commit string): the text they give together,
  // to be inserted as one edit. `handled`, when given, tells whether the keyboard changed
  // any of them (when not, the text area inserts the units itself).
  std::u16string PressAll(std::u16string_view units, bool* handled = nullptr) {
    std::u16string text;
    bool any = false;
    for (const char16_t unit : units) {
      const KeyOutcome out = Press(unit);
      any |= out.Handled();
      text += out.Text(unit);
    }
    if (handled) *handled = any;
    return text;
  }
  bool uyghur_mode() const { return uyghur_mode_; }
  void set_uyghur_mode(bool on) { uyghur_mode_ = on; }
  bool word_start() const { return word_start_; }
  void set_word_start(bool set) { word_start_ = set; }

 private:
  bool uyghur_mode_ = true;
  bool word_start_ = true;
};

// Where the word start comes from: the flag alone, or the character before the caret
// when there is one (set unless that character is a letter), as an input method decides
// it when the application shows it the text around the caret.
enum class WordStartFrom { kFlag, kTextBeforeCaret };

// The text typed by a sequence of keystrokes in Uyghur mode, starting at a word start:
// each unit is one keystroke, Backspace (U+0008) deletes the character before the caret
// (a surrogate pair as a whole), CR, LF and CR LF are one Enter and break the line (LF),
// a tab is inserted, and other control characters insert nothing. All of them pass through
// the keyboard like any typed character, so they set the flag.
// With kTextBeforeCaret the caret stays at the end of the text.
std::u16string TypeKeys(std::u16string_view keystrokes, WordStartFrom from = WordStartFrom::kFlag);

}  // namespace uy::editor
