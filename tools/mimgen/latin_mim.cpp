// SPDX-License-Identifier: GPL-3.0-or-later
#include "latin_mim.h"

#include <array>
#include <set>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "keyboard.h"
#include "mim_text.h"
#include "script.h"

namespace uy::mimgen {
namespace {

constexpr std::string_view kDescription = R"(Uyghur Latin spelling (ULY): type a word in the Latin alphabet and it is
written in the Arabic script.  Upper and lower case are the same; ch zh sh
gh ng are one letter each.  Type e: o: u: for ë ö ü (or the layout's own
ë ö ü keys), and e:: o:: u:: for the vowel and a colon; é is taken as ë.  A vowel at the start of a word gets the
hamza carrier, and so does a vowel after the apostrophe (sa'et); between
z'h s'h g'h n'g n'gh the apostrophe keeps the two letters apart, anywhere
else it is kept.  , ? ; write the Arabic punctuation.  The letters being
composed show underlined until the next key decides them.  A word starts
after a key that writes no letter (space, digits, punctuation, Enter,
Backspace...).
)";

using Keys = std::vector<std::string>;  // one ASCII character or a key symbol's name each

// The keys that type the Latin letters outside ASCII: a colon after the vowel, or the key
// a layout has for the letter.
struct TypedLetter {
  char16_t letter;
  const char* colon_keys;
  const char* key_symbol;
};
constexpr std::array<TypedLetter, 8> kTypedLetters{{
    {u'\u00F6', "o:", "odiaeresis"}, {u'\u00D6', "O:", "Odiaeresis"},
    {u'\u00FC', "u:", "udiaeresis"}, {u'\u00DC', "U:", "Udiaeresis"},
    {u'\u00EB', "e:", "ediaeresis"}, {u'\u00CB', "E:", "Ediaeresis"},
    {u'\u00E9', nullptr, "eacute"},  {u'\u00C9', nullptr, "Eacute"},
}};

// Every way of typing a spelling: each letter in either case, and each letter outside
// ASCII by the colon or by its own key.
std::vector<Keys> WaysToType(std::u16string_view spelling) {
  std::vector<Keys> ways{{}};
  for (const char16_t c : spelling) {
    std::vector<Keys> options;
    for (const char16_t cased : {script::ToLower(c), script::ToUpper(c)}) {
      if (cased < 0x80) {
        options.push_back({std::string(1, static_cast<char>(cased))});
        continue;
      }
      const TypedLetter* typed = nullptr;
      for (const TypedLetter& t : kTypedLetters)
        if (t.letter == cased) typed = &t;
      if (!typed) throw std::logic_error("no keys for a letter of the Latin spelling");
      if (typed->colon_keys) options.push_back({std::string(1, typed->colon_keys[0]), ":"});
      options.push_back({typed->key_symbol});
    }
    std::vector<Keys> longer;
    for (const Keys& way : ways)
      for (const Keys& option : options) {
        Keys k = way;
        k.insert(k.end(), option.begin(), option.end());
        longer.push_back(k);
      }
    ways = std::move(longer);
  }
  std::set<Keys> unique(ways.begin(), ways.end());
  return {unique.begin(), unique.end()};
}

std::string KeySequence(const Keys& keys) {
  bool plain = true;
  for (const std::string& k : keys) plain &= k.size() == 1;
  if (plain) {
    std::u16string text;
    for (const std::string& k : keys) text += static_cast<char16_t>(k[0]);
    return Quoted(text);
  }
  std::string out = "(";
  for (const std::string& k : keys)
    out += (out.size() > 1 ? " " : "") + (k.size() == 1 ? std::to_string(static_cast<int>(k[0])) : k);
  return out + ")";
}

struct Spelled {
  std::u16string_view spelling;
  char16_t uey;
  bool vowel;
};

std::vector<Spelled> Spellings() {
  std::vector<Spelled> out;
  for (const script::LetterRow& r : script::kLetters) out.push_back({r.uly, r.uey, r.vowel});
  for (const script::ExtraSpelling& e : script::kExtraSpellings)
    if (e.script == script::Script::Uly && e.uey.size() == 1) {
      bool vowel = false;
      for (const script::LetterRow& r : script::kLetters) vowel |= r.uey == e.uey[0] && r.vowel;
      out.push_back({e.spelled, e.uey[0], vowel});
    }
  return out;
}

std::string Rule(const Keys& keys, std::string_view actions) {
  return "\n  (" + KeySequence(keys) + " " + std::string(actions) + ")";
}

Keys Joined(Keys a, const Keys& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// What follows an apostrophe (typed as `apostrophe`) when `first` stands before it: the two
// letters of a separated pair alone, the carrier before a vowel, else the apostrophe kept.
std::u16string AfterApostrophe(char16_t first, const Spelled& next, char16_t apostrophe) {
  for (const script::SeparatedPair& p : script::kUlySeparated)
    if (p.first == first && p.second == next.uey) return {next.uey};
  return {next.vowel ? script::kCarrier : apostrophe, next.uey};
}

// The first letters of the separated pairs (z s g n), with their spellings.
std::vector<Spelled> PairFirsts() {
  std::vector<Spelled> out;
  for (const Spelled& s : Spellings())
    for (const script::SeparatedPair& p : script::kUlySeparated)
      if (p.first == s.uey && p.spelled.starts_with(std::u16string(s.spelling) + u"'")) {
        out.push_back(s);
        break;
      }
  return out;
}

// Each letter as typed, the carrier before a vowel at a word start; an apostrophe with the
// letter after it, and after the first letter of a separated pair with both.
std::string LetterRules() {
  std::string out = " ;; letters; the apostrophe with the letter after it (and before it, for z'h s'h g'h n'g n'gh)\n (letter";
  for (const Spelled& s : Spellings())
    for (const Keys& keys : WaysToType(s.spelling)) out += Rule(keys, (s.vowel ? "(carrier) " : "") + Quoted(std::u16string{s.uey}));
  for (const char apostrophe : {'\'', '`'}) {
    const Keys ap{std::string(1, apostrophe)};
    for (const Spelled& next : Spellings())
      for (const Keys& keys : WaysToType(next.spelling))
        out += Rule(Joined(ap, keys), Quoted(AfterApostrophe(0, next, apostrophe)));
    for (const Spelled& first : PairFirsts())
      for (const Keys& before : WaysToType(first.spelling)) {
        out += Rule(Joined(before, ap), Quoted(std::u16string{first.uey, static_cast<char16_t>(apostrophe)}));
        for (const Spelled& next : Spellings())
          for (const Keys& keys : WaysToType(next.spelling))
            out += Rule(Joined(Joined(before, ap), keys), Quoted(first.uey + AfterApostrophe(first.uey, next, apostrophe)));
      }
  }
  return out + ")\n";
}

// Punctuation from the phonetic keyboard's own table, the apostrophe alone kept, and every
// other printable key typed by the application.
// A vowel that takes a colon for its dotted letter, typed with two colons: the vowel and
// one colon (bu:: is بۇ:).
std::string VowelColonRules() {
  std::string out;
  for (const TypedLetter& t : kTypedLetters) {
    if (!t.colon_keys) continue;
    const char16_t vowel_key = static_cast<char16_t>(t.colon_keys[0]);
    for (const Spelled& s : Spellings())
      if (s.spelling.size() == 1 && s.spelling[0] == script::ToLower(vowel_key))
        out += Rule({std::string(1, t.colon_keys[0]), ":", ":"}, "(carrier) " + Quoted(std::u16string{s.uey, u':'}));
  }
  return out;
}

std::string OtherRules() {
  const auto& map = editor::KeyMap();
  std::string punct = " ;; Arabic punctuation; a vowel with two colons is the vowel and a colon\n (punctuation";
  for (const char key : {',', '?', ';'})
    punct += "\n  (" + Quoted(std::u16string(1, static_cast<char16_t>(key))) + " " + Quoted(map[key].text) + ")";
  std::string out = punct + VowelColonRules() + ")\n ;; an apostrophe before no letter is kept\n (apostrophe (\"'\" \"'\") (\"`\" \"`\"))\n";
  out += " ;; Latin letters outside the alphabet, kept\n (foreign (\"c\" \"c\") (\"C\" \"C\"))\n";
  std::set<char> taken = {',', '?', ';', '\'', '`', 'c', 'C'};
  for (const Spelled& s : Spellings())
    for (const Keys& keys : WaysToType(s.spelling))
      if (keys[0].size() == 1) taken.insert(keys[0][0]);
  out += " ;; keys typed unchanged (by the application): a word start afterwards\n (plain";
  for (char key = ' '; key <= '~'; ++key)
    if (!taken.count(key))
      out += "\n  (" + Quoted(std::u16string(1, static_cast<char16_t>(key))) + " (set in-word 0) (unhandle))";
  return out + ")\n";
}

}  // namespace

std::string LatinMim() {
  std::string out = Header("ug-latin.mim", "latin", kDescription);
  out += "(macro\n ;; The hamza carrier in front of a vowel that starts a word.\n";
  out += " (carrier (cond ((= in-word 0) " + Quoted(std::u16string(1, script::kCarrier)) + "))))\n\n";
  out += "(map\n" + LetterRules() + OtherRules() + CaretRules() + ")\n\n";
  out += "(state\n (init\n  (letter (set in-word 1))\n  (foreign (set in-word 1))\n";
  out += "  (punctuation (set in-word 0))\n  (apostrophe (set in-word 0))\n  (plain)\n  (caret)\n";
  out += "  ;; any other key (Enter, Backspace, Tab...) starts a word\n";
  out += "  (nil (set in-word 0) (unhandle))))\n\n";
  out += Trailer();
  return out;
}

}  // namespace uy::mimgen
