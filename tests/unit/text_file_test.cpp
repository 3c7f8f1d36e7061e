// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "test_util.h"
#include "text_file.h"

namespace {

namespace fs = std::filesystem;
using uy::editor::CharacterSet;
using uy::editor::DecodeTextFile;
using namespace uytest;

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s += static_cast<char>(c);
  return s;
}

TEST(TextFile, MarksAndSizes) {
  struct Case {
    std::string bytes;
    CharacterSet set;
    std::size_t start;
  };
  const Case cases[] = {
      {"", CharacterSet::csAnsi, 0},
      {"\xFF", CharacterSet::csAnsi, 0},
      {"\xFE", CharacterSet::csAnsi, 0},
      {"\xEF\xBB", CharacterSet::csAnsi, 0},
      {"ab", CharacterSet::csAnsi, 0},
      {"\xFF\xFE", CharacterSet::csUnicode, 2},
      {"\xFE\xFF", CharacterSet::csUnicodeSwapped, 2},
      {"\xFF\xFE\x61", CharacterSet::csUnicode, 2},
      {"\xEF\xBB\xBF", CharacterSet::csUtf8, 3},
      {"\xEF\xBB\xBF\x61", CharacterSet::csUtf8, 3},
      {"\xEF\xBB\xBE", CharacterSet::csAnsi, 0},
      {"\xBB\xBF", CharacterSet::csAnsi, 0},
  };
  for (const Case& c : cases) {
    std::size_t start = 99;
    EXPECT_EQ(uy::editor::AutoDetectCharacterSet(c.bytes, &start), c.set) << c.bytes.size();
    EXPECT_EQ(start, c.start);
  }
  EXPECT_EQ(DecodeTextFile("\xFF\xFE").text, u"");
  EXPECT_EQ(DecodeTextFile("\xFE\xFF").text, u"");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF").text, u"");
  EXPECT_EQ(DecodeTextFile("").text, u"");
  EXPECT_EQ(DecodeTextFile("\xFF\xFE\x61").text, u"");  // one byte after the mark
}

TEST(TextFile, Utf16BothByteOrdersOddByteAndNul) {
  EXPECT_EQ(DecodeTextFile(Bytes({0xFE, 0xFF, 0x00, 0x61, 0x00, 0x62})).text, u"ab");
  EXPECT_EQ(DecodeTextFile(Bytes({0xFF, 0xFE, 0x61, 0x00, 0x62})).text, u"a");
  EXPECT_TRUE(DecodeTextFile(Bytes({0xFF, 0xFE, 0x61, 0x00, 0x62})).odd_last_byte);
  EXPECT_FALSE(DecodeTextFile(Bytes({0xFF, 0xFE, 0x61, 0x00})).odd_last_byte);
  EXPECT_EQ(DecodeTextFile(Bytes({0xFE, 0xFF, 0x06, 0x26, 0x06})).text, u"\u0626");
  EXPECT_EQ(DecodeTextFile(Bytes({0xFF, 0xFE, 0x26, 0x06, 0x3D, 0xD8, 0x00, 0xDE})).text, u"\u0626\U0001F600");
  // A U+0000 does not end the text.
  const auto nul = DecodeTextFile(Bytes({0xFF, 0xFE, 0x61, 0x00, 0x00, 0x00, 0x62, 0x00}));
  EXPECT_EQ(nul.text, std::u16string(u"a\0b", 3));
  EXPECT_EQ(nul.replaced, 0u);
  // Lone surrogates are kept as held, not replaced.
  EXPECT_EQ(DecodeTextFile(Bytes({0xFF, 0xFE, 0x00, 0xD8, 0x61, 0x00})).text, u"\xD800" u"a");
}

TEST(TextFile, Utf8GoodBadAndFourByte) {
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF\x61").text, u"a");
  const auto good = DecodeTextFile("\xEF\xBB\xBF\xD8\xA6\xDB\x90 \xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(good.charset, CharacterSet::csUtf8);
  EXPECT_EQ(good.text, u"\u0626\u06D0 \u4E2D\U0001F600");
  EXPECT_EQ(good.replaced, 0u);
  // A wrong continuation byte no longer empties the text.
  const auto bad = DecodeTextFile("\xEF\xBB\xBF\xC3\x28");
  EXPECT_EQ(bad.text, u"\uFFFD(");
  EXPECT_EQ(bad.replaced, 1u);
  const auto missing = DecodeTextFile("\xEF\xBB\xBFok\xE4\xB8");
  EXPECT_EQ(missing.text, u"ok\uFFFD");
  EXPECT_GE(missing.replaced, 1u);
  const auto overlong = DecodeTextFile("\xEF\xBB\xBF\xC0\xAFx\xED\xA0\x80y\xFF");
  EXPECT_EQ(overlong.text.back(), u'\uFFFD');
  EXPECT_NE(overlong.text.find(u'x'), std::u16string::npos);
  EXPECT_NE(overlong.text.find(u'y'), std::u16string::npos);
  EXPECT_GE(overlong.replaced, 3u);
}

TEST(TextFile, UnmarkedBytesAreUtf8OrCodePage936) {
  const auto utf8 = DecodeTextFile("\xD8\xB3\xD8\xA7\xD9\x84\xD8\xA7\xD9\x85 \xF0\x9F\x98\x80");
  EXPECT_EQ(utf8.charset, CharacterSet::csAnsi);
  EXPECT_EQ(utf8.text, u"\u0633\u0627\u0644\u0627\u0645 \U0001F600");
  // Code page 936: two-byte Chinese, and 0x80 (the euro sign) that GB18030 would reject.
  const auto cp936 = DecodeTextFile("\xD3\xA2\xCE\xC4 \x80 abc");
  EXPECT_EQ(cp936.text, u"\u82F1\u6587 \u20AC abc");
  EXPECT_EQ(cp936.replaced, 0u);
  // The strings of the old programs were written in it.
  EXPECT_EQ(DecodeTextFile("\xB4\xFA\xC2\xEB\xD7\xAA\xBB\xBB\xCD\xEA\xB1\xCF").text, u"代码转换完毕");
  // A lead byte without its trail byte is replaced, and the rest still decodes.
  const auto cut = DecodeTextFile("\xD3\xA2\xCE");
  EXPECT_EQ(cut.text.substr(0, 1), u"\u82F1");
  EXPECT_EQ(cut.text.size(), 2u);
  EXPECT_EQ(cut.replaced, 1u);
  EXPECT_EQ(DecodeTextFile(std::string("a\0b", 3)).text, std::u16string(u"a\0b", 3));
}

TEST(TextFile, LineBreaksBecomeCrLf) {
  EXPECT_EQ(DecodeTextFile("a\nb").text, u"a\r\nb");
  EXPECT_EQ(DecodeTextFile("a\rb").text, u"a\r\nb");
  EXPECT_EQ(DecodeTextFile("a\r\nb").text, u"a\r\nb");
  EXPECT_EQ(DecodeTextFile("a\n\rb").text, u"a\r\n\r\nb");
  EXPECT_EQ(DecodeTextFile("\r\r\n\n").text, u"\r\n\r\n\r\n");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF" "a\xE2\x80\xA8" "b\n").text, u"a\r\nb\r\n");
  EXPECT_EQ(DecodeTextFile(Bytes({0xFE, 0xFF, 0x00, 0x0A, 0x20, 0x28, 0x00, 0x0D})).text, u"\r\n\r\n\r\n");
  EXPECT_EQ(uy::editor::NormaliseLineBreaks(u"x\u2029y"), u"x\u2029y");  // only U+2028 is a line break
}

TEST(TextFile, WriterBytes) {
  EXPECT_EQ(uy::editor::EncodeTextFile(u""), "\xFF\xFE");
  EXPECT_EQ(uy::editor::EncodeTextFile(u"ab\r\nc"), Bytes({0xFF, 0xFE, 0x61, 0, 0x62, 0, 0x0D, 0, 0x0A, 0, 0x63, 0}));
  TempDir dir;
  const fs::path f = dir / "t.uyt";
  uy::editor::SaveToFile(f, u"");
  EXPECT_EQ(ReadFile(f), "\xFF\xFE");
  WriteFile(f, "an old and longer file");
  uy::editor::SaveToFile(f, std::u16string(u"\u0626\0\U0001F600", 4));
  EXPECT_EQ(ReadFile(f), Bytes({0xFF, 0xFE, 0x26, 0x06, 0, 0, 0x3D, 0xD8, 0x00, 0xDE}));
  EXPECT_EQ(dir.List(), std::vector<std::string>{"t.uyt"});
}

TEST(TextFile, RoundTripsFromEveryEncoding) {
  TempDir dir;
  const std::string inputs[] = {
      "\xEF\xBB\xBF\xD8\xA6\xDB\x90\n\xF0\x9F\x98\x80\r",
      "plain\nlines\r\n",
      "\xD3\xA2\xCE\xC4\r\x80",
      Bytes({0xFE, 0xFF, 0x06, 0x26, 0x00, 0x0A, 0xD8, 0x3D, 0xDE, 0x00, 0x00, 0x00}),
      uytest::RandomBytes(4096, 3),
  };
  for (const std::string& in : inputs) {
    WriteFile(dir / "in", in);
    const uy::editor::DecodedText first = uy::editor::LoadFromFile(dir / "in");
    uy::editor::SaveToFile(dir / "out.uyt", first.text);
    const uy::editor::DecodedText again = uy::editor::LoadFromFile(dir / "out.uyt");
    EXPECT_EQ(again.charset, CharacterSet::csUnicode);
    EXPECT_EQ(again.text, first.text);
    EXPECT_EQ(ReadFile(dir / "out.uyt"), uy::editor::EncodeTextFile(first.text));
  }
}

// The reader in pieces gives LoadFromFile's text and count, whatever the piece size: on
// sequences, pairs and CR LF cut by a piece's end, and on random bytes in every encoding.
TEST(TextFile, ReadingInPiecesGivesTheWholeText) {
  TempDir dir;
  std::vector<std::string> files = {
      "", "\xFF", "\xFF\xFE", "\xEF\xBB\xBF",
      "\xFF\xFE" + Utf16Le(u"a\r\nb\rc\nd\u2028e\U0001F600\r\r\n\n\xD83D") + "x",
      "\xFE\xFF" + Bytes({0, 'a', 0xD8, 0x3D, 0xDE, 0, 0, 13, 0, 10, 0xDC, 0}),
      "\xEF\xBB\xBF" "a\xC3(\xE2\x82x\xF0\x9F\x98\x80\xED\xA0\x80\r\n\xC3",
      "a\r\n\xD8\xA6\xF0\x9F\x98\x80\rb\n\r",          // unmarked UTF-8
      "\xD3\xA2\xCE\xC4\r\n\x80\x81\x30\x81",             // code page 936
  };
  for (const char* mark : {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"})
    for (unsigned seed : {1u, 2u}) files.push_back(mark + RandomBytes(3000, seed));
  for (std::size_t f = 0; f < files.size(); ++f) {
    WriteFile(dir / "in", files[f]);
    const uy::editor::DecodedText whole = DecodeTextFile(files[f]);
    for (std::size_t piece_bytes : {1, 5, 6, 7, 1 << 20}) {
      uy::editor::TextFileReader reader(dir / "in", piece_bytes);
      std::u16string text, piece;
      while (reader.Next(piece)) {
        ASSERT_FALSE(piece.empty());
        // Neither a surrogate pair nor CR LF is cut.
        if (!text.empty()) {
          const char16_t before = text.back(), after = piece.front();
          EXPECT_FALSE((before & 0xFC00) == 0xD800 && (after & 0xFC00) == 0xDC00) << "file " << f;
          EXPECT_FALSE(before == u'\r' && after == u'\n') << "file " << f;
        }
        text += piece;
      }
      EXPECT_EQ(text, whole.text) << "file " << f << ", pieces of " << piece_bytes;
      EXPECT_EQ(reader.replaced(), whole.replaced) << "file " << f << ", pieces of " << piece_bytes;
      EXPECT_EQ(reader.charset(), whole.charset) << "file " << f;
      EXPECT_EQ(reader.odd_last_byte(), whole.odd_last_byte) << "file " << f;
    }
  }
  EXPECT_THROW(uy::editor::TextFileReader(dir / "absent"), uy::editor::TextFileError);
}

TEST(TextFile, FailedSaveKeepsTheOldFile) {
  TempDir dir;
  const fs::path f = dir / "doc.uyt";
  WriteFile(f, "old content");
  try {
    uytest::FileSizeLimit limit(1000);
    uy::editor::SaveToFile(f, std::u16string(5000, u'\u0626'));
    FAIL() << "a short write was taken for a success";
  } catch (const uy::editor::TextFileError& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
    EXPECT_FALSE(e.reason().empty());
  }
  EXPECT_EQ(ReadFile(f), "old content");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"doc.uyt"});

  const fs::path nowhere = dir / "missing" / "doc.uyt";
  try {
    uy::editor::SaveToFile(nowhere, u"text");
    FAIL() << "saved into a missing folder";
  } catch (const uy::editor::TextFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + nowhere.string());
  }
  fs::create_directory(dir / "folder");
  EXPECT_THROW(uy::editor::SaveToFile(dir / "folder", u"text"), uy::editor::TextFileError);
  EXPECT_TRUE(fs::is_directory(dir / "folder"));
}

TEST(TextFile, LoadFailuresNameTheFullPath) {
  TempDir dir;
  try {
    uy::editor::LoadFromFile(dir / "absent.uyt");
    FAIL();
  } catch (const uy::editor::TextFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + (dir / "absent.uyt").string());
  }
  const fs::path old_cwd = fs::current_path();
  fs::current_path(dir.path());
  try {
    uy::editor::LoadFromFile("relative.uyt");
    FAIL();
  } catch (const uy::editor::TextFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + (dir / "relative.uyt").string());
  }
  fs::current_path(old_cwd);
  EXPECT_THROW(uy::editor::LoadFromFile(dir.path()), uy::editor::TextFileError);
}

}  // namespace
