// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "export_model.h"
#include "test_util.h"
#include "utf.h"

namespace {

using uytest::RunProgram;
using uytest::TempDir;
using uytest::WriteFile;
using uytest::kUyconv;
using uytest::Utf16Le;

TEST(UyconvExport, WritesUtf8LinesAndClipboardBytes) {
  // بالا 2011 / (بالا) / empty line / ب / AB بب, C
  const std::string input =
      "\xD8\xA8\xD8\xA7\xD9\x84\xD8\xA7 2011\r\n(\xD8\xA8\xD8\xA7\xD9\x84\xD8\xA7)\n\n"
      "\xD8\xA8\rAB \xD8\xA8\xD8\xA8, C";
  const std::u16string want = u"2011 \uFEFB\uFE8E\uFE91\r\n(\uFEFB\uFE8E\uFE91)\r\n\r\n"
                              u"\u0628\r\nC ,\uFE90\uFE91 AB\r\n";

  auto r = RunProgram({kUyconv, "export"}, input);
  ASSERT_EQ(r.status, 0) << r.err;
  std::u16string lf;
  for (char16_t c : want)
    if (c != u'\r') lf += c;
  EXPECT_EQ(r.out, uy::ToUtf8(lf));

  auto r16 = RunProgram({kUyconv, "export", "--utf16"}, input);
  ASSERT_EQ(r16.status, 0) << r16.err;
  EXPECT_EQ(r16.out, Utf16Le(want));

  TempDir dir;
  WriteFile(dir / "in.txt", "\xEF\xBB\xBF" + input + "\n");  // a mark and a final break
  auto rf = RunProgram({kUyconv, "export", "--utf16", (dir / "in.txt").string()});
  ASSERT_EQ(rf.status, 0) << rf.err;
  EXPECT_EQ(rf.out, Utf16Le(want));

  // The same text saved by the editor as a ".uyt" file.
  const std::u16string text = uy::FromUtf8(input);
  WriteFile(dir / "in.uyt", "\xFF\xFE" + Utf16Le(text));
  auto ru = RunProgram({kUyconv, "export", "--utf16", (dir / "in.uyt").string()});
  ASSERT_EQ(ru.status, 0) << ru.err;
  EXPECT_EQ(ru.out, Utf16Le(want));

  EXPECT_EQ(RunProgram({kUyconv, "export", "--utf16"}, "").out, "");
  EXPECT_EQ(RunProgram({kUyconv, "export"}, "\n").out, "\n");
}

TEST(UyconvExport, FailuresNameTheInput) {
  TempDir dir;
  auto missing = RunProgram({kUyconv, "export", (dir / "nope.txt").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("nope.txt"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out, "");

  WriteFile(dir / "bad.txt", "ok\n\xD8 broken\n");
  auto bad = RunProgram({kUyconv, "export", (dir / "bad.txt").string()});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("bad.txt: not valid UTF-8"), std::string::npos) << bad.err;
  EXPECT_EQ(bad.out, "");
  WriteFile(dir / "odd.uyt", "\xFF\xFE" + Utf16Le(u"ok\n") + "x");
  auto odd = RunProgram({kUyconv, "export", (dir / "odd.uyt").string()});  // as the editor opens it
  EXPECT_EQ(odd.status, 0);
  EXPECT_EQ(odd.out, "ok\n");
  EXPECT_NE(odd.err.find("odd.uyt: the last byte, at 8, is half a UTF-16 unit"), std::string::npos) << odd.err;

  EXPECT_EQ(RunProgram({kUyconv, "export", "--bogus"}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "export", "a", "b"}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "export", "--help"}).status, 0);
}

TEST(UyconvExport, AgreesWithTheModelOnARandomCorpus) {
  exportmodel::RandomText random(99);
  std::u16string text, want;
  for (int i = 0; i < 5000; ++i) {
    const std::u16string line = random.Line(random.Next() % 120, false);
    text += line + u"\n";
    want += exportmodel::Visual(line) + u"\r\n";
  }
  text += random.Line(30000, false);  // a long last line without a break
  want += exportmodel::Visual(text.substr(text.rfind(u'\n') + 1)) + u"\r\n";
  auto r = RunProgram({kUyconv, "export", "--utf16"}, uy::ToUtf8(text));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out == Utf16Le(want));
}

// Input read block by block: breaks of every kind, multi-byte sequences and lines cut at
// any byte, across more than one block; the same text as UTF-8 and as
// big-endian UTF-16 with an odd last byte; a malformed sequence far into the file still
// fails the export.
TEST(UyconvExport, StreamsLargeInputsOfEveryEncoding) {
  exportmodel::RandomText random(5);
  const std::u16string breaks[] = {u"\n", u"\r\n", u"\r", u"\u2028"};
  std::u16string text, want;
  while (text.size() < 600'000) {
    // Never empty: an empty line after a lone CR would make CR LF.
    const std::u16string line = random.Line(1 + random.Next() % (random.Next() % 50 == 0 ? 4000 : 80), false);
    text += line + breaks[random.Next() % 4];
    want += exportmodel::Visual(line) + u"\r\n";
  }
  TempDir dir;
  std::string be = "\xFE\xFF";
  for (char16_t c : text) be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  const std::pair<const char*, std::string> inputs[] = {{"in.txt", uy::ToUtf8(text)}, {"be.uyt", be + "x"}};
  for (const auto& [name, bytes] : inputs) {
    WriteFile(dir / name, bytes);
    auto r = RunProgram({kUyconv, "export", "--utf16", (dir / name).string()});
    ASSERT_EQ(r.status, 0) << name << r.err;
    EXPECT_TRUE(r.out == Utf16Le(want)) << name;
  }

  WriteFile(dir / "late.txt", uy::ToUtf8(text) + "\xE0\x80\x80\n");  // an overlong form
  auto late = RunProgram({kUyconv, "export", (dir / "late.txt").string()});
  EXPECT_EQ(late.status, 1);
  EXPECT_NE(late.err.find("late.txt: not valid UTF-8 text"), std::string::npos) << late.err;
}

}  // namespace
