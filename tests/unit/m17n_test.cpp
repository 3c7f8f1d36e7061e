// SPDX-License-Identifier: GPL-3.0-or-later
// The generated input methods, loaded through libm17n from a private database folder and
// fed keys the way the input-method frameworks do (printable keys as their one-character
// symbols, Return, BackSpace; the application handles every key the method leaves):
// ug-phonetic.mim types the same text as the keyboard itself, ug-latin.mim writes Latin
// spelling in the Arabic script as the scripts library converts it.
#include <gtest/gtest.h>
#include <m17n.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "keyboard.h"
#include "letters.h"
#include "script.h"
#include "test_util.h"
#include "utf.h"

namespace {

namespace fs = std::filesystem;
using uy::editor::TypeKeys;
using uy::editor::WordStartFrom;

// The application's text; the caret stays at its end.
std::u16string g_text;

// Hands the method the text before the caret, as ibus-m17n and fcitx5-m17n do.
void SurroundingText(MInputContext* ic, MSymbol command) {
  if (command != Minput_get_surrounding_text) return;
  const long len = reinterpret_cast<long>(mplist_value(ic->plist));
  MText* text = mtext();
  if (len < 0) {
    const std::size_t n = std::min(g_text.size(), static_cast<std::size_t>(-len));
    for (std::size_t i = g_text.size() - n; i < g_text.size(); ++i) mtext_cat_char(text, g_text[i]);
  }
  mplist_set(ic->plist, Mtext, text);
  m17n_object_unref(text);
}

using Keys = std::vector<std::string>;  // key symbols' names

// The keystrokes as key symbols: '\n' is Return, '\b' BackSpace.
Keys Symbols(std::u16string_view keys) {
  Keys out;
  for (const char16_t key : keys)
    out.push_back(key == u'\n' ? "Return" : key == u'\b' ? "BackSpace" : std::string(1, char(key)));
  return out;
}

class M17n : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db_ = std::make_unique<uytest::TempDir>();
    for (const char* file : {"ug-phonetic.mim", "ug-latin.mim"})
      fs::copy_file(fs::path(UY_MIM_DIR) / file, *db_ / file);
    uytest::WriteFile(*db_ / "mdb.dir", "(input-method * \"*.mim\")\n");
    // Only the private folder (and no user settings): an installed copy must not stand in
    // for the one just built.
    ::setenv("M17NDIR", db_->path().c_str(), 1);
    ::setenv("HOME", db_->path().c_str(), 1);
    mdatabase_dir = const_cast<char*>(db_->path().c_str());
    M17N_INIT();
    phonetic_ = minput_open_im(msymbol("ug"), msymbol("phonetic"), nullptr);
    latin_ = minput_open_im(msymbol("ug"), msymbol("latin"), nullptr);
  }
  static void TearDownTestSuite() {
    for (MInputMethod* im : {phonetic_, latin_})
      if (im) minput_close_im(im);
    M17N_FINI();
    db_.reset();
  }
  void SetUp() override {
    ASSERT_NE(phonetic_, nullptr) << "minput_open_im failed for ug-phonetic";
    ASSERT_NE(latin_, nullptr) << "minput_open_im failed for ug-latin";
  }

  // Types the keys into a new input context. `preedit`, when given, receives the preedit
  // after the last key.
  static std::u16string Type(MInputMethod* im, const Keys& keys, bool surrounding,
                             std::u16string* preedit = nullptr) {
    mplist_put(im->driver.callback_list, Minput_get_surrounding_text,
               surrounding ? reinterpret_cast<void*>(&SurroundingText) : nullptr);
    MInputContext* ic = minput_create_ic(im, nullptr);
    EXPECT_NE(ic, nullptr);
    if (!ic) return u"<no input context>";
    g_text.clear();
    for (const std::string& key : keys) Press(ic, key);
    if (preedit) *preedit = Chars(ic->preedit);
    minput_destroy_ic(ic);
    return g_text;
  }

  static std::u16string Chars(MText* text) {
    std::u16string out;
    for (int i = 0; i < mtext_len(text); ++i) out += static_cast<char16_t>(mtext_ref_char(text, i));
    return out;
  }

  static void Press(MInputContext* ic, const std::string& key) {
    const MSymbol symbol = msymbol(key.c_str());
    if (minput_filter(ic, symbol, nullptr)) return;
    MText* produced = mtext();
    const int handled = minput_lookup(ic, symbol, nullptr, produced);
    g_text += Chars(produced);
    m17n_object_unref(produced);
    if (handled == 0) return;
    if (key == "BackSpace") {
      if (!g_text.empty()) g_text.pop_back();
    } else if (key == "Return") {
      g_text += u'\n';
    } else if (key.size() == 1) {
      g_text += static_cast<char16_t>(key[0]);  // the application types the key itself
    }
  }

  static std::u16string TypePhonetic(std::u16string_view keys, bool surrounding) {
    return Type(phonetic_, Symbols(keys), surrounding);
  }

  static std::u16string Expected(std::u16string_view keys, bool surrounding) {
    return TypeKeys(keys, surrounding ? WordStartFrom::kTextBeforeCaret : WordStartFrom::kFlag);
  }

  static inline std::unique_ptr<uytest::TempDir> db_;
  static inline MInputMethod* phonetic_ = nullptr;
  static inline MInputMethod* latin_ = nullptr;
};

// The keys as readable text, for failure messages.
std::string Show(std::u16string_view keys) {
  std::string out;
  for (const char16_t key : keys) out += key == u'\n' ? "<Return>" : key == u'\b' ? "<BackSpace>" : std::string(1, char(key));
  return out;
}

// Every vowel key after every kind of context; every printable key but the lower-case
// letters (punctuation, brackets, symbols, phrases, keys typed unchanged) at a word start
// and after a letter, followed by a vowel key that shows the flag it left; Backspace inside
// a word.
std::vector<std::u16string> FixedSequences() {
  std::vector<std::u16string> out;
  for (const char16_t vowel : std::u16string_view(u"efghouv"))
    for (const std::u16string_view before : {u"", u" ", u"5", u"\n", u"b", u"kt\b", u"\b", u"b(", u" (", u"A", u",", u"L"})
      out.push_back(std::u16string(before) + vowel + vowel);
  for (char16_t key = u' '; key <= u'~'; ++key) {
    if (key >= u'a' && key <= u'z') continue;
    out.push_back(std::u16string{key, u'e'});
    out.push_back(std::u16string{u'b', key, u'e'});
  }
  out.push_back(u"kt\be");
  out.push_back(u"bfsxh\b\bh\n\nf\b\b\b");
  return out;
}

std::u16string RandomKeys(std::mt19937& rng) {
  static const std::u16string alphabet = [] {
    std::u16string keys = u"\n\b  efghouv";  // more of the keys that decide word starts
    for (char16_t c = u' '; c <= u'~'; ++c) keys += c;
    return keys;
  }();
  std::u16string keys(std::uniform_int_distribution<std::size_t>(1, 40)(rng), u' ');
  for (char16_t& key : keys) key = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
  return keys;
}

TEST_F(M17n, PhoneticFixedSequencesTypeLikeTheKeyboard) {
  for (const bool surrounding : {false, true})
    for (const std::u16string& keys : FixedSequences())
      EXPECT_EQ(TypePhonetic(keys, surrounding), Expected(keys, surrounding))
          << "keys " << Show(keys) << (surrounding ? " with" : " without") << " surrounding text";
}

TEST_F(M17n, PhoneticRandomSequencesTypeLikeTheKeyboard) {
  std::mt19937 rng(20261209);
  for (const bool surrounding : {false, true})
    for (int i = 0; i < 400; ++i) {
      const std::u16string keys = RandomKeys(rng);
      ASSERT_EQ(TypePhonetic(keys, surrounding), Expected(keys, surrounding))
          << "keys " << Show(keys) << (surrounding ? " with" : " without") << " surrounding text";
    }
}

// The Latin spelling as keys: ë ö ü as the vowel and a colon.
Keys LatinKeys(std::u16string_view latin, bool upper) {
  Keys out;
  for (const char16_t c : latin) {
    const char16_t base = c == u'\u00EB' ? u'e' : c == u'\u00F6' ? u'o' : c == u'\u00FC' ? u'u' : c;
    if (base >= 0x80) return {};
    out.push_back(std::string(1, char(upper ? uy::script::ToUpper(base) : base)));
    if (base != c) out.push_back(":");
  }
  return out;
}

bool UyghurLettersOnly(std::u16string_view word) {
  for (const char16_t c : word)
    if (!uy::editor::IsLetter(c)) return false;
  return !word.empty();
}

TEST_F(M17n, LatinSpellingOfHeldOutWordsComesBack) {
  std::istringstream lines(uytest::ReadFile(std::string(UY_TEST_DATA) + "/detect/heldout-words.txt"));
  const uy::script::Options to_latin{.from = uy::script::Script::Uey, .to = uy::script::Script::Uly, .wrap = false};
  const uy::script::Options to_arabic{.from = uy::script::Script::Uly, .to = uy::script::Script::Uey};
  int typed = 0, exceptions = 0;
  for (std::string line; std::getline(lines, line);) {
    const std::u16string word = uy::FromUtf8(line);
    if (!UyghurLettersOnly(word)) continue;
    const std::u16string latin = uy::script::Convert(word, to_latin);
    const std::u16string back = uy::script::Convert(latin, to_arabic);
    exceptions += back != word;  // what the library documents it cannot bring back
    const bool upper = typed % 7 == 0;  // case makes no difference
    Keys keys = LatinKeys(latin, upper);
    ASSERT_FALSE(keys.empty()) << line;
    keys.push_back(" ");
    ASSERT_EQ(Type(latin_, keys, false), back + u" ") << line << " typed as " << uy::ToUtf8(latin);
    ++typed;
  }
  EXPECT_GT(typed, 2500);
  EXPECT_LT(exceptions, typed / 25);
  RecordProperty("words", typed);
  RecordProperty("library_exceptions", exceptions);
}

// What a writer types beyond the library's own spelling: the layout's own keys for the
// letters outside ASCII, é, the apostrophe kept, punctuation, Backspace, and the letters
// still being composed (a letter that a longer spelling begins with) in the preedit.
TEST_F(M17n, LatinKeysAndPreedit) {
  struct Case {
    Keys keys;
    std::u16string_view text, preedit;
  };
  const Case cases[] = {
      {{"s", "a", "'", "e", "t", " "}, u"\u0633\u0627\u0626\u06D5\u062A ", u""},
      {{"m", "e", "z", "'", "h", "e", "s"}, u"\u0645\u06D5\u0632\u06BE\u06D5", u"\u0633"},
      {{"z", "h", "e", "n", "'", "g", "h"}, u"\u0698\u06D5\u0646\u063A", u""},
      {{"n", "'", "g"}, u"", u"\u0646\u06AF"},
      {{"o", ":", "z"}, u"\u0626\u06C6", u"\u0632"},
      {{"odiaeresis", "r", "Udiaeresis", "k"}, u"\u0626\u06C6\u0631\u06C8\u0643", u""},
      {{"eacute", "l", " "}, u"\u0626\u06D0\u0644 ", u""},
      {{"b", "'", "b", ",", "n", "g", "a", "?"}, u"\u0628'\u0628\u060C\u06AD\u0627\u061F", u""},
      {{"S", "H", "a", "h", "e", "r", "Return", "a"}, u"\u0634\u0627\u06BE\u06D5\u0631\n\u0626\u0627", u""},
      {{"s", "BackSpace", "a", "1", "e"}, u"\u0626\u0627" u"1", u"\u0626\u06D5"},
      {{"'"}, u"", u"'"},
      {{"b", "u", ":", ":", "u", ":", ":", "U", ":"}, u"\u0628\u06C7:\u0626\u06C7:", u"\u0626\u06C8"},
  };
  for (const Case& c : cases) {
    std::u16string preedit;
    EXPECT_EQ(Type(latin_, c.keys, false, &preedit), c.text) << c.keys.size();
    EXPECT_EQ(preedit, c.preedit) << c.keys.size();
  }
}

}  // namespace
