// SPDX-License-Identifier: GPL-3.0-or-later
#include "script_tables.h"

#include <array>
#include <string_view>

namespace uy::script {
namespace detail {
namespace {

bool IsLatinLetter(char16_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  if (c >= 0xC0 && c <= 0x24F) return c != 0xD7 && c != 0xF7;  // Latin-1, Extended-A and -B
  if (c >= 0x250 && c <= 0x2AF) return true;                    // IPA: ə U+0259, ɵ U+0275
  if (c >= 0x1E00 && c <= 0x1EFF) return true;
  if (c >= 0x2C60 && c <= 0x2C7F) return true;  // Extended-C: ⱨ ⱪ ⱬ
  if (c >= 0xA720 && c <= 0xA7FF) return true;
  if (c >= 0xFB00 && c <= 0xFB06) return true;
  return (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A);
}

bool IsCyrillicLetter(char16_t c) {
  return (c >= 0x400 && c <= 0x481) || (c >= 0x48A && c <= 0x52F) || (c >= 0x2DE0 && c <= 0x2DFF) ||
         (c >= 0xA640 && c <= 0xA66E) || (c >= 0xA680 && c <= 0xA69F);
}

bool IsArabicLetter(char16_t c) {
  return (c >= 0x620 && c <= 0x64A) || (c >= 0x66E && c <= 0x66F) || (c >= 0x671 && c <= 0x6D3) ||
         c == 0x6D5 || (c >= 0x6EE && c <= 0x6EF) || (c >= 0x6FA && c <= 0x6FC) || c == 0x6FF ||
         (c >= 0x750 && c <= 0x77F) || (c >= 0x8A0 && c <= 0x8C9);
}

bool IsArabicMark(char16_t c) {
  return (c >= 0x610 && c <= 0x61A) || (c >= 0x64B && c <= 0x65F) || c == 0x670 ||
         (c >= 0x6D6 && c <= 0x6DC) || (c >= 0x6DF && c <= 0x6E4) || (c >= 0x6E7 && c <= 0x6E8) ||
         (c >= 0x6EA && c <= 0x6ED) || (c >= 0x8CA && c <= 0x8FF);
}

bool IsPresentationForm(char16_t c) { return (c >= 0xFB50 && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFE); }

// Format controls other than U+200B (3690 §3.13): kept where they stand.
bool IsFormat(char16_t c) {
  return c == 0xAD || c == 0x61C || (c >= 0x200C && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x206F) || c == 0xFEFF ||
         (c >= 0xFE00 && c <= 0xFE0F);
}

bool IsSpace(char16_t c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::array<std::uint8_t, 65536> MakeFwd() {
  std::array<std::uint8_t, 65536> t{};
  for (std::uint32_t u = 0; u < 65536; ++u) {
    const auto c = static_cast<char16_t>(u);
    std::uint8_t k = kOther;
    if (IsSpace(c)) k = kSpace;
    else if ((c >= '0' && c <= '9') || (c >= 0x660 && c <= 0x669) || (c >= 0x6F0 && c <= 0x6F9)) k = kDigit;
    else if (c == 0x200B) k = kZwsp;
    else if (IsFormat(c)) k = kFormat;
    else if (c == 0x640) k = kTatweel;
    else if (LetterIndex(c) >= 0) k = kUey;
    else if (IsArabicLetter(c)) k = kArabic;
    else if (IsArabicMark(c)) k = kMark;
    else if (c == 0x60C || c == 0x61B || c == 0x61F) k = kArabicPunct;
    else if (IsLatinLetter(c)) k = kLatin;
    else if (IsCyrillicLetter(c)) k = kCyrillic;
    else if (c >= 0x300 && c <= 0x36F) k = kCombining;
    else if (IsPresentationForm(c)) k = kForm;
    else if (c == '.' || c == '!' || c == '?' || c == 0x6D4) k = kSentEnd;
    else if (c == '"') k = kQuote;
    else if (c == 0x201C || c == 0x201E || c == 0xAB || c == 0x2039) k = kQuoteOpen;
    else if (c == 0x201D || c == 0xBB || c == 0x203A || c == 0x2019 || c == '\'' || c == ')' || c == ']' ||
             c == '}')
      k = kCloser;
    t[u] = k;
  }
  return t;
}

struct BwdLetter {
  char16_t lower;
  std::uint8_t id;
};

std::array<std::uint8_t, 65536> MakeBwd(Script s) {
  std::array<std::uint8_t, 65536> t{};
  for (std::uint32_t u = 0; u < 65536; ++u) {
    const auto c = static_cast<char16_t>(u);
    std::uint8_t k = kBOther;
    if (IsSpace(c)) k = kBSpace;
    else if ((c >= '0' && c <= '9') || (c >= 0x660 && c <= 0x669) || (c >= 0x6F0 && c <= 0x6F9)) k = kBDigit;
    else if (c == 0x200B) k = kBZwsp;
    else if (IsFormat(c)) k = kBFormat;
    else if (c == ',') k = kBComma;
    else if (c == '?') k = kBQuestion;
    else if (c == ';') k = kBSemicolon;
    else if (kApostropheVariants.find(c) != std::u16string_view::npos) k = kBApostrophe;
    else if (IsArabicLetter(c) || IsPresentationForm(c)) k = kBArabic;
    else if (IsArabicMark(c) || c == 0x640) k = kBArabicMark;
    else if (c >= 0x300 && c <= 0x36F) k = kBCombining;
    else if (IsCyrillicLetter(c) || IsLatinLetter(c)) k = kBForeign;
    t[u] = k;
  }
  // The source script's own letters: ids are the lower-case letter's place in `letters`.
  const std::u16string_view letters = SourceLetters(s);
  for (std::size_t i = 0; i < letters.size(); ++i) {
    const char16_t lo = letters[i];
    const char16_t up = ToUpper(lo);
    t[lo] = static_cast<std::uint8_t>(kLetterBase + i);
    if (up != lo) t[up] = static_cast<std::uint8_t>(kLetterBase + i) | kUpperBit;
  }
  return t;
}

}  // namespace

std::u16string_view SourceLetters(Script s) {
  switch (s) {
    case Script::Uly: return u"abcdefghijklmnopqrstuwxyz\u00EB\u00F6\u00FC\u00E9";
    case Script::Uyy: return u"abcdefghijklmnopqrstuvwxyz\u0259\u0275\u00FC\u2C6A\u2C68\u2C6C\u01A3";
    default: return u"абвгдежзийклмнопрстуфхцчшщъыьэюяәөүҗңқғһ";
  }
}

bool IsJoiner(char16_t c) {
  return c == '.' || c == '-' || c == '_' || c == '/' || c == ':' || c == '@' || c == '+' || c == '&' ||
         c == '\'' || c == 0x2019;
}

const std::uint8_t* FwdTable() {
  static const auto t = MakeFwd();
  return t.data();
}

const std::uint8_t* BwdTable(Script source) {
  static const auto uly = MakeBwd(Script::Uly);
  static const auto uky = MakeBwd(Script::Uky);
  static const auto uyy = MakeBwd(Script::Uyy);
  return source == Script::Uky ? uky.data() : source == Script::Uyy ? uyy.data() : uly.data();
}

}  // namespace detail

char16_t ToLower(char16_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c;
  if (c >= 0xC0 && c <= 0xDE) return c == 0xD7 ? c : static_cast<char16_t>(c + 32);
  if (c == 0x130) return u'i';
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
  if (c == 0x178) return 0xFF;
  switch (c) {
    case 0x18F: return 0x259;
    case 0x19F: return 0x275;
    case 0x1A2: return 0x1A3;
    case 0x2C67: return 0x2C68;
    case 0x2C69: return 0x2C6A;
    case 0x2C6B: return 0x2C6C;
    default: break;
  }
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) return c | 1;
  if (c == 0x4C0) return 0x4CF;
  if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 32);
  return c;
}

char16_t ToUpper(char16_t c) {
  if (c < 0x80) return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 32) : c;
  if (c >= 0xE0 && c <= 0xFE) return c == 0xF7 ? c : static_cast<char16_t>(c - 32);
  if (c == 0xFF) return 0x178;
  if (c == 0x131) return u'I';
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : static_cast<char16_t>(c - 1);
  switch (c) {
    case 0x259: return 0x18F;
    case 0x275: return 0x19F;
    case 0x1A3: return 0x1A2;
    case 0x2C68: return 0x2C67;
    case 0x2C6A: return 0x2C69;
    case 0x2C6C: return 0x2C6B;
    default: break;
  }
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) return c & ~1;
  if (c == 0x4CF) return 0x4C0;
  if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? c : static_cast<char16_t>(c - 1);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 32);
  return c;
}

}  // namespace uy::script
