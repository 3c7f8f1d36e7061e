// SPDX-License-Identifier: GPL-3.0-or-later
// Random keystroke sequences through the phonetic keyboard, with mode switches.
// Each input byte is one step: 0xFF switches between Uyghur and English mode, 0xFE takes
// the next two bytes as one UTF-16 unit (little-endian), any other byte is typed as it is.
//
// Properties, with the expectation worked out here from the key classes and not from the
// keyboard's own tables: English mode inserts exactly the typed unit and keeps the flag;
// bracket keys insert their partner and keep the flag; vowel keys insert the hamza carrier
// at a word start, then the vowel, and clear the flag; the other letter keys insert their
// letter and clear the flag; symbol and punctuation keys insert one symbol and clear the
// flag; phrase keys insert Uyghur letters and spaces and set the flag (L: lam alef);
// everything else is inserted as typed and sets the flag. Mode switches keep the flag.
// The same steps in Uyghur mode only, with CR LF and Backspace, through TypeKeys: the text
// stays well-formed UTF-16 when the keystrokes are.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "check.h"
#include "keyboard.h"
#include "letters.h"

namespace {

constexpr std::u16string_view kVowelKeys = u"efghouv";
constexpr std::u16string_view kBracketKeys = u"()[]{}", kBracketPartners = u")(\u00BB\u00AB}{";
constexpr std::u16string_view kSymbolKeys = u"ACEIMNOPRSTUVY,;<>?";
constexpr std::u16string_view kSymbols =
    u"\u2190\u3011\u201C\u25C6\u2026\u2116\u25CF\u00A7\u201D\u2212\u25A0\u25B2\u3010\u2605"
    u"\u060C\u061B\u203A\u2039\u061F";
constexpr std::u16string_view kPhraseKeys = u"BQWXZ";

bool Has(std::u16string_view set, char16_t c) { return set.find(c) != std::u16string_view::npos; }

std::optional<char16_t> Letter(char16_t c) {
  if (c >= 0x80) return std::nullopt;
  return uy::KeyToLetter(static_cast<char>(c));
}

bool IsUyghurLetter(char16_t c) {
  for (const auto& l : uy::kLetters)
    if (l.code == c) return true;
  return false;
}

// One keystroke in Uyghur mode: checks the text and returns the expected flag afterwards.
bool CheckUyghurKey(char16_t key, bool flag, std::u16string_view text) {
  if (const auto k = kBracketKeys.find(key); k != kBracketKeys.npos) {
    FUZZ_CHECK(text == std::u16string(1, kBracketPartners[k]));
    return flag;
  }
  if (Has(kVowelKeys, key)) {
    FUZZ_CHECK(text == (flag ? u"\u0626" : u"") + std::u16string(1, *Letter(key)));
    return false;
  }
  if (const auto letter = Letter(key)) {
    FUZZ_CHECK(text == std::u16string(1, *letter));
    return false;
  }
  if (Has(kSymbolKeys, key)) {
    FUZZ_CHECK(text.size() == 1 && Has(kSymbols, text[0]));
    return false;
  }
  if (key == u'L') {
    FUZZ_CHECK(text == u"\u0644\u0627");
  } else if (Has(kPhraseKeys, key)) {
    FUZZ_CHECK(text.size() >= 3 && text.back() == u' ');
    for (const char16_t c : text) FUZZ_CHECK(c == u' ' || IsUyghurLetter(c));
  } else {
    FUZZ_CHECK(text == std::u16string(1, key));
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  uy::editor::PhoneticKeyboard keyboard;
  bool flag = true;
  std::u16string typed;  // the units typed in Uyghur mode, for TypeKeys
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF) {
      keyboard.set_uyghur_mode(!keyboard.uyghur_mode());
      FUZZ_CHECK(keyboard.word_start() == flag);
      continue;
    }
    char16_t key = data[i];
    if (data[i] == 0xFE) {
      if (size - i < 3) break;
      key = static_cast<char16_t>(data[i + 1] | data[i + 2] << 8);
      i += 2;
    }
    const std::u16string text = keyboard.Press(key).Text(key);
    if (keyboard.uyghur_mode()) {
      flag = CheckUyghurKey(key, flag, text);
      typed += key;
    } else {
      FUZZ_CHECK(text == std::u16string(1, key));
    }
    FUZZ_CHECK(keyboard.word_start() == flag);
  }
  if (WellFormed(typed)) FUZZ_CHECK(WellFormed(uy::editor::TypeKeys(typed)));
  return 0;
}
