// SPDX-License-Identifier: GPL-3.0-or-later
// Uyghur between its scripts: the Arabic-based script (UEY), Latin (ULY, DB65/T 3690-2015),
// Cyrillic (UKY, DB65/T 3691-2015) and the New Script (UYY, DB65/T 3689-2015). SCRIPTS.md
// beside the standards is our reading of them; README.md ("Converting between the scripts")
// states what we decided where they leave a choice open. In short:
//  - ن+غ in Latin is written n'gh (like n'g; "ngh" reads ڭ+ھ), and n'gh reads back ن+غ.
//  - ه U+0647 becomes ە at a word end and ھ elsewhere; ی U+06CC is ى, ک U+06A9 is ك.
//  - Kept text of the target script is wrapped (U+200B before, U+FEFF after) as runs that start
//    with a letter and hold letters, digits and the joiners . - _ / : @ + & ' between them;
//    digits, spaces and punctuation alone are never wrapped. The Cyrillic target wraps only
//    Cyrillic (3691 §6.8.6). A U+200B opens a wrapped span only when a U+FEFF follows on the
//    same line; the span is copied, its two marks dropped.
//  - Latin typed without apostrophes converts by the rules: "nemengan" is نەمەڭان, "saet" is
//    ساەت; only the writer's apostrophe tells n'g and a carrier apart.
//  - Capitals: the first letter of a line that holds a sentence end (. ! ? ؟ ۔ followed by a
//    space or the line end), the first letter after such an end, and after an opening double
//    quote; a line without one is a phrase and stays lower case. Lines are judged on their own.
//  - A comma between two digits stays a comma on the way to Arabic script.
//
// Every conversion works on whole lines (LF, CR, VT, FF, U+0085, U+2028, U+2029 end one; a
// line longer than 65536 units is cut after its first space past that length), so text fed in
// pieces converts exactly as the whole. A pair without UEY (ULY -> UKY) goes through UEY.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace uy::script {

enum class Script : std::uint8_t { Uey, Uly, Uky, Uyy };

// "uey", "uly", "uky", "uyy"; ParseScript takes them (any case).
std::string_view Code(Script script);
std::optional<Script> ParseScript(std::string_view code);
// "Arabic script", "Latin", "Cyrillic", "New Script".
std::string_view Name(Script script);

// ---- The letter tables (public data: keyboards and documentation are made from them) ----

// One of the 32 letters in alphabet order: the UEY letter and its lower-case spelling in the
// other three scripts (the defaults: UKY с ш ч е и, UYY j q s x w), and the capitals.
struct LetterRow {
  char16_t uey;
  std::u16string_view uly, uky, uyy;
  std::u16string_view uly_upper, uky_upper, uyy_upper;  // digraphs capitalise their first char
  bool vowel;
};
inline constexpr char16_t kCarrier = u'\u0626';  // ئ: with a vowel one "dual letter"
inline constexpr char16_t kApostrophe = u'\'';   // the separator U+0027 (3690 §3.10)
// Also taken as the apostrophe on input: ’ ʼ ʻ `.
inline constexpr std::u16string_view kApostropheVariants = u"'\u2019\u02BC\u02BB`";
inline constexpr char16_t kWrapOpen = u'\u200B';   // 3690 §6.8.1: before kept text
inline constexpr char16_t kWrapClose = u'\uFEFF';  // ... and after it

inline constexpr std::array<LetterRow, 32> kLetters{{
    {u'\u0627', u"a", u"а", u"a", u"A", u"А", u"A", true},
    {u'\u06D5', u"e", u"ә", u"\u0259", u"E", u"Ә", u"\u018F", true},
    {u'\u0628', u"b", u"б", u"b", u"B", u"Б", u"B", false},
    {u'\u067E', u"p", u"п", u"p", u"P", u"П", u"P", false},
    {u'\u062A', u"t", u"т", u"t", u"T", u"Т", u"T", false},
    {u'\u062C', u"j", u"җ", u"j", u"J", u"Җ", u"J", false},
    {u'\u0686', u"ch", u"ч", u"q", u"Ch", u"Ч", u"Q", false},
    {u'\u062E', u"x", u"х", u"h", u"X", u"Х", u"H", false},
    {u'\u062F', u"d", u"д", u"d", u"D", u"Д", u"D", false},
    {u'\u0631', u"r", u"р", u"r", u"R", u"Р", u"R", false},
    {u'\u0632', u"z", u"з", u"z", u"Z", u"З", u"Z", false},
    {u'\u0698', u"zh", u"ж", u"\u2C6C", u"Zh", u"Ж", u"\u2C6B", false},
    {u'\u0633', u"s", u"с", u"s", u"S", u"С", u"S", false},
    {u'\u0634', u"sh", u"ш", u"x", u"Sh", u"Ш", u"X", false},
    {u'\u063A', u"gh", u"ғ", u"\u01A3", u"Gh", u"Ғ", u"\u01A2", false},
    {u'\u0641', u"f", u"ф", u"f", u"F", u"Ф", u"F", false},
    {u'\u0642', u"q", u"қ", u"\u2C6A", u"Q", u"Қ", u"\u2C69", false},
    {u'\u0643', u"k", u"к", u"k", u"K", u"К", u"K", false},
    {u'\u06AF', u"g", u"г", u"g", u"G", u"Г", u"G", false},
    {u'\u06AD', u"ng", u"ң", u"ng", u"Ng", u"Ң", u"Ng", false},
    {u'\u0644', u"l", u"л", u"l", u"L", u"Л", u"L", false},
    {u'\u0645', u"m", u"м", u"m", u"M", u"М", u"M", false},
    {u'\u0646', u"n", u"н", u"n", u"N", u"Н", u"N", false},
    {u'\u06BE', u"h", u"һ", u"\u2C68", u"H", u"Һ", u"\u2C67", false},
    {u'\u0648', u"o", u"о", u"o", u"O", u"О", u"O", true},
    {u'\u06C7', u"u", u"у", u"u", u"U", u"У", u"U", true},
    {u'\u06C6', u"\u00F6", u"ө", u"\u0275", u"\u00D6", u"Ө", u"\u019F", true},
    {u'\u06C8', u"\u00FC", u"ү", u"\u00FC", u"\u00DC", u"Ү", u"\u00DC", true},
    {u'\u06CB', u"w", u"в", u"w", u"W", u"В", u"W", false},
    {u'\u06D0', u"\u00EB", u"е", u"e", u"\u00CB", u"Е", u"E", true},
    {u'\u0649', u"i", u"и", u"i", u"I", u"И", u"I", true},
    {u'\u064A', u"y", u"й", u"y", u"Y", u"Й", u"Y", false},
}};

// Two UEY letters whose spellings side by side would read as one digraph: the separator
// apostrophe goes between them (3690 §5.6/§6.5.2, 3689 §6.5.2). ن+غ in Latin is our decision.
struct SeparatedPair {
  char16_t first, second;
  std::u16string_view spelled;  // as written, lower case
};
inline constexpr std::array<SeparatedPair, 5> kUlySeparated{{
    {u'\u0632', u'\u06BE', u"z'h"},
    {u'\u0633', u'\u06BE', u"s'h"},
    {u'\u06AF', u'\u06BE', u"g'h"},
    {u'\u0646', u'\u06AF', u"n'g"},
    {u'\u0646', u'\u063A', u"n'gh"},
}};
inline constexpr std::array<SeparatedPair, 3> kUyySeparated{{
    {u'\u0646', u'\u06AF', u"n'g"},
    {u'\u0632', u'\u062E', u"z'h"},
    {u'\u0633', u'\u062E', u"s'h"},
}};
// Spellings read on input beyond the table above: ULY é (U+00E9) as ë; UYY zh ch sh c v as
// ج چ ش س ۋ; UKY я ю (يا يۇ), ц (تس, س at a word start), щ (چ), э (ې), ы (ى), ъ ь (dropped).
struct ExtraSpelling {
  Script script;
  std::u16string_view spelled;  // lower case
  std::u16string_view uey;
};
inline constexpr std::array<ExtraSpelling, 14> kExtraSpellings{{
    {Script::Uly, u"\u00E9", u"\u06D0"},
    {Script::Uyy, u"zh", u"\u062C"},
    {Script::Uyy, u"ch", u"\u0686"},
    {Script::Uyy, u"sh", u"\u0634"},
    {Script::Uyy, u"c", u"\u0633"},
    {Script::Uyy, u"v", u"\u06CB"},
    {Script::Uky, u"я", u"\u064A\u0627"},
    {Script::Uky, u"ю", u"\u064A\u06C7"},
    {Script::Uky, u"ц", u"\u062A\u0633"},
    {Script::Uky, u"щ", u"\u0686"},
    {Script::Uky, u"э", u"\u06D0"},
    {Script::Uky, u"ы", u"\u0649"},
    {Script::Uky, u"ъ", u""},
    {Script::Uky, u"ь", u""},
}};

// ---- Word lists ----

// A malformed word list line: what() names the file, the line and the reason.
class WordListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Words and phrases whose spelling the rules cannot decide (Cyrillic с/ц ш/щ ч/щ е/э и/ы ъ ь,
// New Script j/zh q/ch s/c x/sh w/v, proper nouns' capitals), each an Arabic-script form and
// its spelling in one of the other scripts. An entry matches whole words (a phrase: its words
// with single spaces between), both ways: the Arabic form is written as the spelling, and the
// spelling (in any case) is read as the Arabic form.
class WordList {
 public:
  WordList();
  ~WordList();
  WordList(WordList&&) noexcept;
  WordList& operator=(WordList&&) noexcept;

  // The list built from the standards' own examples (see word_list.cpp); the same object.
  static const WordList& BuiltIn();

  // Adds one pair. Returns false, with the reason in *error, when the Arabic side holds
  // anything but Arabic-script letters and single spaces, the other side anything of the
  // Arabic script, or either is empty. `script` is not UEY.
  bool Add(Script script, std::u16string_view uey, std::u16string_view spelling, std::string* error = nullptr);
  // Adds the pairs of a word list file's text (UTF-8): one pair a line, the Arabic side first,
  // the two sides separated by a tab (then each may hold spaces) or by spaces (then each is
  // one word); blank lines and lines starting with # are skipped, a # after a space or tab
  // starts a comment. A Cyrillic spelling goes to UKY, any other to every script of `latin`
  // (the Latin scripts of the run; ULY when it is empty). Throws WordListError
  // "NAME:LINE: reason".
  void AddText(std::string_view utf8, const std::string& name, const std::vector<Script>& latin);
  // Adds every entry of `other` (this list's entries win).
  void Merge(const WordList& other);

  std::size_t size() const;

  struct Entry {
    std::u16string uey;       // words with single spaces between
    std::u16string spelling;  // as given
    std::u16string folded;    // the spelling in lower case, apostrophe variants as U+0027
  };
  struct Side {
    // Keyed by the first word: the Arabic one (forward) or the folded spelling's (backward).
    struct Hash {
      using is_transparent = void;
      std::size_t operator()(std::u16string_view s) const noexcept;
    };
    struct Eq {
      using is_transparent = void;
      bool operator()(std::u16string_view a, std::u16string_view b) const noexcept { return a == b; }
    };
    std::unordered_map<std::u16string, std::vector<std::uint32_t>, Hash, Eq> by_first_word;
    // A cheap "no entry's first word is this one" test: the bit of PrefixKey(first two
    // units, length) of every first word.
    std::bitset<65536> prefix;
    static std::uint16_t PrefixKey(char16_t c0, char16_t c1, std::size_t len) {
      return static_cast<std::uint16_t>((c0 * 0x9E37u) ^ (c1 * 0x85EBu) ^ (static_cast<unsigned>(len) * 0x2C1Bu));
    }
  };
  struct PerScript {
    std::vector<Entry> entries;
    Side forward, backward;
  };
  // The entries of one script (null when there are none).
  const PerScript* For(Script script) const;

 private:
  std::unique_ptr<PerScript> scripts_[4];
};

// ---- Conversion ----

struct Options {
  Script from = Script::Uey;
  Script to = Script::Uly;
  bool e_acute = false;  // ULY output writes é (U+00E9) for ë
  bool wrap = true;      // wrap kept text in U+200B ... U+FEFF (false: keep it unmarked)
  // Words the rules cannot decide; null: the defaults of SCRIPTS.md only. Must outlive the
  // converter. Give &WordList::BuiltIn() (or a list merged with it) for the built-in words.
  const WordList* words = nullptr;
};

// Converts text fed in pieces of any size: the output (and the offset map) of the complete
// lines so far is appended at each Feed, the rest at Finish; together they equal Convert of
// the whole text. Throws std::invalid_argument for from == to.
class Converter {
 public:
  explicit Converter(const Options& options);
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // `map`, when given, receives for every unit appended to `out` the index of the source
  // unit it came from, counted from the first unit fed since construction or Reset(); it
  // never decreases. Inserted marks (apostrophes, carriers, wrap marks, acronym spaces) take
  // the index of the letter they belong to.
  void Feed(std::u16string_view piece, std::u16string& out, std::vector<std::size_t>* map = nullptr);
  void Finish(std::u16string& out, std::vector<std::size_t>* map = nullptr);
  void Reset();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

std::u16string Convert(std::u16string_view text, const Options& options,
                       std::vector<std::size_t>* map = nullptr);

// Which script a text is in, told by its letters: Arabic, Latin and Cyrillic letters are
// counted, and the script with at least twice the letters of any other leads (a few
// foreign words do not make a text mixed). Latin is the New Script when it holds more letters
// only the New Script has (ə ɵ ⱪ ⱨ ⱬ ƣ) than letters only ULY has (ë é ö, gh); when it holds
// neither, ULY is assumed.
struct Detection {
  std::optional<Script> script;  // nothing: no letters, or no script clearly leads
  std::size_t arabic = 0, latin = 0, cyrillic = 0;
  std::size_t uly_only = 0, uyy_only = 0;
  bool assumed = false;  // ULY taken for Latin without a letter of either kind
};
Detection DetectScript(std::u16string_view text);
// Counts into `d` (for text read in pieces), then Decide() as DetectScript does.
void CountLetters(std::u16string_view text, Detection& d);
void Decide(Detection& d);

// Lower and upper case of the letters of the four scripts (Latin, its extensions A and B,
// the New Script letters, Cyrillic); other units unchanged.
char16_t ToLower(char16_t c);
char16_t ToUpper(char16_t c);

}  // namespace uy::script
