// SPDX-License-Identifier: GPL-3.0-or-later
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "letters.h"
#include "utf.h"

namespace {

using uy::KeyStringToUyghur;

TEST(LetterInventory, CodesAndKeysAreDistinctAndInTheArabicBlock) {
  std::set<char16_t> codes;
  std::set<char> keys;
  for (const auto& l : uy::kLetters) {
    codes.insert(l.code);
    keys.insert(l.key);
    EXPECT_EQ(l.code >> 8, 0x06) << l.name;
  }
  EXPECT_EQ(codes.size(), 33u);
  EXPECT_EQ(keys.size(), 33u);
  EXPECT_EQ(uy::kLetters[0].code, u'\u0626');
  EXPECT_EQ(uy::kLetters[0].key, '/');
}

TEST(LetterInventory, OnlySixCapitalsHaveEntries) {
  std::string with;
  for (char c = 'A'; c <= 'Z'; ++c)
    if (uy::KeyToLetter(c)) with += c;
  EXPECT_EQ(with, "DFGHJK");
  for (char c = 'a'; c <= 'z'; ++c) EXPECT_TRUE(uy::KeyToLetter(c)) << c;
  EXPECT_EQ(uy::KeyToLetter('/'), u'\u0626');
  EXPECT_FALSE(uy::KeyToLetter('1'));
  EXPECT_FALSE(uy::KeyToLetter(' '));
  EXPECT_FALSE(uy::KeyToLetter(static_cast<char>(0xE9)));
}

TEST(KeyStringToUyghur, ContextFreeOneUnitPerCharacter) {
  EXPECT_EQ(KeyStringToUyghur(""), u"");
  EXPECT_EQ(KeyStringToUyghur("abc"), u"\u06BE\u0628\u063A");
  EXPECT_EQ(KeyStringToUyghur("A"), u"A");
  EXPECT_EQ(KeyStringToUyghur("D"), u"\u0698");
  EXPECT_EQ(KeyStringToUyghur("e"), u"\u06D0");  // no hamza carrier at a word start
  EXPECT_EQ(KeyStringToUyghur("/e"), u"\u0626\u06D0");
  EXPECT_EQ(KeyStringToUyghur("09 .,!?\t"), u"09 .,!?\t");
}

TEST(KeyStringToUyghur, HighBytesBecomeReplacementAndLengthIsUnlimited) {
  EXPECT_EQ(KeyStringToUyghur("a\xC3\xA9z"), u"\u06BE\uFFFD\uFFFD\u0632");
  const std::string longest(1023, 'b');
  EXPECT_EQ(KeyStringToUyghur(longest), std::u16string(1023, u'\u0628'));
  const std::string longer(100000, 'k');
  EXPECT_EQ(KeyStringToUyghur(longer), std::u16string(100000, u'\u0643'));
}

TEST(Utf, RoundTripAndReplacement) {
  const std::u16string text = u"\u0626\u06D5 abc \U0001F600 \u4E2D";
  EXPECT_EQ(uy::FromUtf8(uy::ToUtf8(text)), text);
  std::size_t replaced = 0;
  EXPECT_EQ(uy::FromUtf8("a\xC3(b\xF0\x9F", &replaced), u"a\uFFFD(b\uFFFD");
  EXPECT_EQ(replaced, 2u);
  EXPECT_EQ(uy::ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy");  // unpaired surrogate
  EXPECT_TRUE(uy::IsValidUtf8("\xD8\xA6 ok"));
  EXPECT_FALSE(uy::IsValidUtf8("\xC3"));
  EXPECT_FALSE(uy::IsValidUtf8("\x80"));
}

// ICU takes 32-bit lengths: longer texts are converted in pieces, whose boundaries must
// never split a character, whole or broken. Small pieces show it without gigabytes.
TEST(Utf, PiecesGiveTheWholeResult) {
  std::string bytes = "a\xD8\xA6\xF0\x9F\x98\x80\xE2\x82\xAC\x80\x80\x80\x80\x80\xF0\x9F\x98\xC3\xA9"
                      "\xED\xA0\x80\xE0\x80\xF4\x90\x80\x80\xC0\xAFz\xE2\x82";
  for (int i = 0; i < 4; ++i) bytes += bytes;
  std::size_t whole_replaced = 0;
  const std::u16string whole = uy::FromUtf8(bytes, &whole_replaced);
  for (std::size_t piece = 4; piece < 12; ++piece) {
    std::size_t replaced = 0;
    EXPECT_EQ(uy::detail::FromUtf8(bytes, &replaced, piece), whole) << piece;
    EXPECT_EQ(replaced, whole_replaced) << piece;
  }
  const std::u16string text = whole + u"\U0001F600x\xD800\U0001F600\xDC00\U0001F600";
  for (std::size_t piece = 4; piece < 12; ++piece) EXPECT_EQ(uy::detail::ToUtf8(text, piece), uy::ToUtf8(text));

  // The validator agrees with ICU's decoder at every edge of the ranges, at the end of the
  // text too, and a split anywhere does not change its verdict.
  for (const char* snippet :
       {"\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF",
        "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF",
        "\xED\xA0\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",
        "\xF0\x9F\x98", "\xC3"}) {
    for (const std::string& s : {"ab\xD8\xA6" + std::string(snippet) + "\xE2\x82\xACz", "ab" + std::string(snippet)}) {
      std::size_t replaced = 0;
      uy::detail::FromUtf8(s, &replaced, 4);
      const bool valid = uy::IsValidUtf8(s);
      EXPECT_EQ(valid, replaced == 0) << s;
      for (std::size_t k = 0; k <= s.size(); ++k) {
        uy::Utf8Validator v;
        v.Feed(std::string_view(s).substr(0, k));
        v.Feed(std::string_view(s).substr(k));
        EXPECT_EQ(v.Finish(), valid) << s << " split at " << k;
      }
    }
  }
}

}  // namespace
