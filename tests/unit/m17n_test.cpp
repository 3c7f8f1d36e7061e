// SPDX-License-Identifier: GPL-3.0-or-later
// The generated ug-phonetic.mim, loaded through libm17n from a private database folder and
// fed keys the way the input-method frameworks do (printable keys as their one-character
// symbols, Return, BackSpace; the application handles every key the method leaves), types
// the same text as the keyboard itself.
#include <gtest/gtest.h>
#include <m17n.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "keyboard.h"
#include "test_util.h"

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

class M17nPhonetic : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    db_ = std::make_unique<uytest::TempDir>();
    fs::copy_file(fs::path(UY_MIM_DIR) / "ug-phonetic.mim", *db_ / "ug-phonetic.mim");
    uytest::WriteFile(*db_ / "mdb.dir", "(input-method * \"*.mim\")\n");
    // Only the private folder (and no user settings): an installed copy must not stand in
    // for the one just built.
    ::setenv("M17NDIR", db_->path().c_str(), 1);
    ::setenv("HOME", db_->path().c_str(), 1);
    mdatabase_dir = const_cast<char*>(db_->path().c_str());
    M17N_INIT();
    im_ = minput_open_im(msymbol("ug"), msymbol("phonetic"), nullptr);
  }
  static void TearDownTestSuite() {
    if (im_) minput_close_im(im_);
    M17N_FINI();
    db_.reset();
  }
  void SetUp() override { ASSERT_NE(im_, nullptr) << "minput_open_im failed"; }

  // Types the keystrokes into a new input context ('\n' is Return, '\b' BackSpace).
  static std::u16string Type(std::u16string_view keys, bool surrounding) {
    if (surrounding)
      mplist_put(im_->driver.callback_list, Minput_get_surrounding_text, reinterpret_cast<void*>(&SurroundingText));
    else
      mplist_put(im_->driver.callback_list, Minput_get_surrounding_text, nullptr);
    MInputContext* ic = minput_create_ic(im_, nullptr);
    EXPECT_NE(ic, nullptr);
    if (!ic) return u"<no input context>";
    g_text.clear();
    for (const char16_t key : keys) Press(ic, key);
    minput_destroy_ic(ic);
    return g_text;
  }

  static void Press(MInputContext* ic, char16_t key) {
    const std::string name = key == u'\n' ? "Return" : key == u'\b' ? "BackSpace" : std::string(1, char(key));
    const MSymbol symbol = msymbol(name.c_str());
    if (minput_filter(ic, symbol, nullptr)) return;
    MText* produced = mtext();
    const int handled = minput_lookup(ic, symbol, nullptr, produced);
    for (int i = 0; i < mtext_len(produced); ++i) g_text += static_cast<char16_t>(mtext_ref_char(produced, i));
    m17n_object_unref(produced);
    if (handled == 0) return;
    if (key == u'\b') {
      if (!g_text.empty()) g_text.pop_back();
    } else {
      g_text += key;  // the application types the key itself
    }
  }

  static std::u16string Expected(std::u16string_view keys, bool surrounding) {
    return TypeKeys(keys, surrounding ? WordStartFrom::kTextBeforeCaret : WordStartFrom::kFlag);
  }

  static inline std::unique_ptr<uytest::TempDir> db_;
  static inline MInputMethod* im_ = nullptr;
};

// The keys as readable text, for failure messages.
std::string Show(std::u16string_view keys) {
  std::string out;
  for (const char16_t key : keys) out += key == u'\n' ? "<Return>" : key == u'\b' ? "<BackSpace>" : std::string(1, char(key));
  return out;
}

// Every vowel key after every kind of context, and every key with an action followed by a
// vowel key (which shows the flag it left), Backspace inside a word.
std::vector<std::u16string> FixedSequences() {
  std::vector<std::u16string> out;
  for (const char16_t vowel : std::u16string_view(u"efghouv"))
    for (const std::u16string_view before : {u"", u" ", u"5", u"\n", u"b", u"kt\b", u"\b", u"b(", u" (", u"A", u",", u"L"})
      out.push_back(std::u16string(before) + vowel + vowel);
  const auto& map = uy::editor::KeyMap();
  for (char16_t key = u' '; key <= u'~'; ++key) {
    const bool letter = (key >= u'a' && key <= u'z');
    if (map[key].kind != uy::editor::KeyKind::kNone && letter) continue;
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

TEST_F(M17nPhonetic, FixedSequencesTypeLikeTheKeyboard) {
  for (const bool surrounding : {false, true})
    for (const std::u16string& keys : FixedSequences())
      EXPECT_EQ(Type(keys, surrounding), Expected(keys, surrounding))
          << "keys " << Show(keys) << (surrounding ? " with" : " without") << " surrounding text";
}

TEST_F(M17nPhonetic, RandomSequencesTypeLikeTheKeyboard) {
  std::mt19937 rng(20261209);
  for (const bool surrounding : {false, true})
    for (int i = 0; i < 400; ++i) {
      const std::u16string keys = RandomKeys(rng);
      ASSERT_EQ(Type(keys, surrounding), Expected(keys, surrounding))
          << "keys " << Show(keys) << (surrounding ? " with" : " without") << " surrounding text";
    }
}

}  // namespace
