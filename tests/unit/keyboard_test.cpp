// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <random>

#include "keyboard.h"
#include "keyboard_model.h"
#include "letters.h"
#include "test_util.h"
#include "utf.h"

namespace {

using uy::editor::HandleKey;
using uy::editor::KeyOutcome;
using Typed = KeyOutcome::Typed;

TEST(Keyboard, FlagAfterEveryKindOfKeystroke) {
  struct Case {
    char16_t key;
    bool set_after_set, set_after_clear;
  };
  const Case cases[] = {
      {u'b', false, false}, {u'K', false, false}, {u'/', false, false}, {u',', false, false},
      {u'A', false, false}, {u'P', false, false}, {u'e', false, false}, {u'v', false, false},
      {u'B', true, true},   {u'X', true, true},   {u'L', true, true},   {u'(', true, false},
      {u']', true, false},  {u'1', true, true},   {u' ', true, true},   {0x08, true, true},
      {0x0D, true, true},   {0x1B, true, true},   {0x01, true, true},   {u'\u00E9', true, true},
      {u'\u0626', true, true}, {u'\u4E2D', true, true}, {0xD83D, true, true}, {0x7F, true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HandleKey(c.key, true, true).word_start, c.set_after_set) << int(c.key);
    EXPECT_EQ(HandleKey(c.key, true, false).word_start, c.set_after_clear) << int(c.key);
    // English mode touches nothing.
    for (bool flag : {false, true}) {
      const KeyOutcome en = HandleKey(c.key, false, flag);
      EXPECT_EQ(en.typed, Typed::kKept);
      EXPECT_TRUE(en.insert.empty());
      EXPECT_EQ(en.word_start, flag);
    }
  }
}

TEST(Keyboard, LetterKeysShareTheScriptCoreTable) {
  for (const uy::Letter& l : uy::kLetters) {
    const KeyOutcome out = HandleKey(static_cast<char16_t>(l.key), true, false);
    EXPECT_EQ(out.typed, Typed::kSwallowed);
    EXPECT_EQ(out.insert, std::u16string(1, l.code)) << l.key;
  }
}

TEST(Keyboard, PhrasesAreInsertedExactlyWhateverTheFlag) {
  const std::pair<char16_t, std::u16string_view> phrases[] = {
      {u'B', u"\u0628\u0649\u0644\u06D5\u0646 "},
      {u'Q', u"\u0686\u06C8\u0646\u0643\u0649 "},
      {u'W', u"\u06CB\u06D5 "},
      {u'X', u"\u0634\u0649\u0646\u062C\u0627\u06AD \u0626\u06C7\u064A\u063A\u06C7\u0631 "
             u"\u0626\u0627\u067E\u062A\u0648\u0646\u0648\u0645 \u0631\u0627\u064A\u0648\u0646\u0649 "},
      {u'Z', u"\u0626\u06C8\u0631\u06C8\u0645\u0686\u0649 \u0634\u06D5\u06BE\u06D5\u0631\u0644\u0649\u0643 "},
      {u'L', u"\u0644\u0627"},
  };
  for (const auto& [key, text] : phrases) {
    for (bool flag : {false, true}) {
      const KeyOutcome out = HandleKey(key, true, flag);
      EXPECT_EQ(out.typed, Typed::kSwallowed);
      EXPECT_EQ(out.insert, text);
      EXPECT_TRUE(out.word_start);
    }
  }
}

TEST(Keyboard, EnglishModeAndCharactersAboveTheKeyMap) {
  uy::editor::PhoneticKeyboard kb;
  EXPECT_TRUE(kb.word_start());
  EXPECT_EQ(kb.Press(u'b').Text(u'b'), u"\u0628");
  kb.set_uyghur_mode(false);
  for (char16_t k : std::u16string_view(u" eB([")) {
    const KeyOutcome out = kb.Press(k);
    EXPECT_FALSE(out.Handled());
    EXPECT_EQ(out.Text(k), std::u16string(1, k));
  }
  kb.set_uyghur_mode(true);
  EXPECT_EQ(kb.Press(u'e').Text(u'e'), u"\u06D0");  // the English space did not set the flag
  for (char16_t k : {char16_t{0x80}, char16_t{0xA7}, char16_t{0xFF}, char16_t{0x100}, char16_t{0x06D0},
                     char16_t{0xFFFD}, char16_t{0xFFFF}}) {
    kb.set_word_start(false);
    const KeyOutcome out = kb.Press(k);
    EXPECT_FALSE(out.Handled()) << int(k);
    EXPECT_TRUE(kb.word_start()) << int(k);
  }
  kb.set_word_start(true);
  EXPECT_EQ(kb.PressAll(u"be \u4E2De"), u"\u0628\u06D0 \u4E2D\u0626\u06D0");
  EXPECT_TRUE(kb.PressAll(u"L") == u"\u0644\u0627" && kb.word_start());
  // With Caps Lock the a key types 'A': the character decides.
  EXPECT_EQ(HandleKey(u'A', true, true).insert, u"\u2190");
}

TEST(Keyboard, BracketsReplaceTheTypedCharacter) {
  const KeyOutcome out = HandleKey(u'[', true, false);
  EXPECT_TRUE(out.typed == Typed::kReplaced && out.replacement == u'\u00BB' && out.insert.empty());
}

TEST(Keyboard, BackspaceSetsTheFlagInsideAWord) {
  EXPECT_EQ(uy::editor::TypeKeys(u"kt\be"), u"\u0643\u0626\u06D0");
  EXPECT_EQ(uy::editor::TypeKeys(u"\b\bb"), u"\u0628");
  EXPECT_EQ(uy::editor::TypeKeys(u"a\U0001F600\b"), u"\u06BE");  // a surrogate pair goes as a whole
  EXPECT_EQ(uy::editor::TypeKeys(u"W\b\b"), u"\u06CB");           // a phrase is deleted letter by letter
  EXPECT_EQ(uy::editor::TypeKeys(u"b\nf\r\ng\rh\t\x1B"), u"\u0628\n\u0626\u0627\n\u0626\u06D5\n\u0626\u0649\t");
}

// Decided from the text before the caret, a word starts unless a letter stands there; at
// the start of the text the flag decides.
TEST(Keyboard, WordStartFromTheTextBeforeTheCaret) {
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"e", u"\u0626\u06D0"},                  // text start: the flag
      {u"kt\be", u"\u0643\u06D0"},              // Backspace back into a word
      {u"Lh", u"\u0644\u0627\u0649"},            // after a phrase ending in a letter
      {u"Ae", u"\u2190\u0626\u06D0"},            // after a symbol
      {u",e", u"\u060C\u0626\u06D0"},            // after Arabic punctuation
      {u"b(e", u"\u0628)\u0626\u06D0"},           // after a bracket
      {u"/e", u"\u0626\u06D0"},                  // the carrier is a letter
  };
  for (const auto& [keys, text] : cases)
    EXPECT_EQ(uy::editor::TypeKeys(keys, uy::editor::WordStartFrom::kTextBeforeCaret), text);
  EXPECT_TRUE(uy::editor::IsLetter(u'\u0626') && uy::editor::IsLetter(u'\u06C6'));
  EXPECT_FALSE(uy::editor::IsLetter(u'\u060C') || uy::editor::IsLetter(u'\u2190') || uy::editor::IsLetter(u' '));
}

// Random keystrokes: printable ASCII, controls, Latin-1, Arabic, CJK and astral characters.
std::u16string RandomKeys(std::mt19937& rng, std::size_t n) {
  std::u16string keys;
  std::uniform_int_distribution<int> kind(0, 99), ascii(0x20, 0x7E);
  while (keys.size() < n) {
    const int k = kind(rng);
    if (k < 80) keys += static_cast<char16_t>(ascii(rng));
    else if (k < 86) keys += u'\b';
    else if (k < 89) keys += u'\n';
    else if (k < 91) keys += u"\t\x1B\x7F\x01"[rng() % 4];
    else if (k < 94) keys += static_cast<char16_t>(0x80 + rng() % 0x80);
    else if (k < 97) keys += u"\u0626\u06D0\u4E2D\u2028\uFFFD"[rng() % 5];
    else keys += u"\U0001F600";
  }
  return keys;
}

std::u16string ModelText(std::u16string_view keys) {
  uytest::KeyboardModel model;
  for (char16_t k : keys) model.Char(k == u'\n' ? char16_t{0x0D} : k);
  return model.text;
}

TEST(Keyboard, MatchesAnIndependentModelOnRandomKeystrokes) {
  std::mt19937 rng(20261209);
  for (int round = 0; round < 200; ++round) {
    const std::u16string keys = RandomKeys(rng, 2000);
    ASSERT_EQ(uy::editor::TypeKeys(keys), ModelText(keys)) << "round " << round;
  }
}

TEST(Keyboard, ModelAgreesStepByStepIncludingEnglishMode) {
  std::mt19937 rng(7);
  uytest::KeyboardModel model;
  uy::editor::PhoneticKeyboard kb;
  const std::u16string keys = RandomKeys(rng, 20000);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (rng() % 50 == 0) {
      model.uyghur = !model.uyghur;
      kb.set_uyghur_mode(model.uyghur);
    }
    const char16_t k = keys[i] == u'\n' ? char16_t{0x0D} : keys[i];
    const std::size_t before = model.text.size();
    model.Char(k);
    const KeyOutcome out = kb.Press(k);
    ASSERT_EQ(kb.word_start(), model.flag == 1) << i;
    if (out.Handled()) {
      ASSERT_EQ(model.text.substr(before), out.Text(k)) << i;
    }
  }
}

}  // namespace
