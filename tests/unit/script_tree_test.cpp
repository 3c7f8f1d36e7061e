// SPDX-License-Identifier: GPL-3.0-or-later
// uyconv script -r: outputs named with the script's suffix, earlier outputs never taken.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "convert_file.h"
#include "document_builders.h"
#include "pass.h"
#include "test_util.h"
#include "tree.h"

namespace {

namespace fs = std::filesystem;
namespace sc = uy::script;
using uytest::kUyconv;
using uytest::ReadFile;
using uytest::RunProgram;
using uytest::TempDir;
using uytest::WriteFile;

TEST(ScriptTree, OutputNamesAndTheirSkipRule) {
  struct Case {
    const char* name;
    sc::Script to;
    const char* output;
  } const cases[] = {
      {"letter.rtf", sc::Script::Uly, "letter(Latin).rtf"},
      {"report.docx", sc::Script::Uky, "report(Cyrillic).docx"},
      {"a.txt", sc::Script::Uyy, "a(New Script).txt"},
      {"page.html", sc::Script::Uey, "page(Arabic).html"},
      {"ab.x", sc::Script::Uly, "(Latin)ab.x"},
      {"دوكلات.odt", sc::Script::Uky, "دوكلات(Cyrillic).odt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(uy::docscript::OutputFileName(c.name, c.to), c.output) << c.name;
    EXPECT_TRUE(uy::recode::IsOutputName(c.output)) << c.output;
    EXPECT_FALSE(uy::recode::IsOutputName(c.name)) << c.name;
  }
  // A suffix elsewhere in a name is the user's own text.
  for (const char* name : {"(Latin)letter.rtf", "my(Arabic)notes.txt", "letter.rtf(Cyrillic)"})
    EXPECT_FALSE(uy::recode::IsOutputName(name)) << name;
}

TEST(ScriptTree, ConvertsTreesAndSkipsOutputsOfBothCommands) {
  TempDir t;
  fs::create_directories(t / "docs/sub");
  const std::string part = "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                           "<w:body><w:p><w:r><w:t>ئانار</w:t></w:r></w:p></w:body></w:document>";
  WriteFile(t / "docs/a.docx", uytest::MakeZip({{"word/document.xml", part}}));
  WriteFile(t / "docs/sub/b.txt", "\xEF\xBB\xBFئانار\r\n");
  WriteFile(t / "docs/sub/c(Unicode).txt", "ئانار");  // the recoder's output
  WriteFile(t / "docs/d(Cyrillic).txt", "анар");     // an earlier conversion's output
  WriteFile(t / "docs/.e.txt", "ئانار");              // hidden

  auto r = RunProgram({kUyconv, "script", "-r", "--to", "uly", (t / "docs").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("2 converted, 0 skipped, 0 failed, 0 unchanged (to Latin)"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(t / "docs/sub/b(Latin).txt"), "\xEF\xBB\xBF" "anar\r\n");
  EXPECT_NE(uytest::ReadZip(t / "docs/a(Latin).docx")[0].data.find("<w:t>anar</w:t>"), std::string::npos);
  EXPECT_FALSE(fs::exists(t / "docs/sub/c(Unicode)(Latin).txt"));

  // Again: every output exists and is kept; the recoder takes none of them either.
  r = RunProgram({kUyconv, "script", "-r", "--jobs", "2", "--to", "uly", (t / "docs").string()});
  EXPECT_NE(r.err.find("0 converted, 2 skipped, 0 failed"), std::string::npos) << r.err;
  r = RunProgram({kUyconv, "recode", "-r", "-d", "0", (t / "docs").string()});
  EXPECT_EQ(r.err.find("(Latin)"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("(Latin)"), std::string::npos) << r.out;

  // Under an output folder the tree is mirrored; a file that is no text fails by name.
  WriteFile(t / "docs/sub/bad.txt", "anar\xC3(");
  r = RunProgram({kUyconv, "script", "-r", "--out-dir", (t / "out").string(), "--to", "uky", (t / "docs").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find((t / "docs/sub/bad.txt").string() + ": not valid UTF-8 at byte 4"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2 converted, 0 skipped, 1 failed"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(t / "out/sub/b(Cyrillic).txt"), "\xEF\xBB\xBF" "анар\r\n");

  // With --from, a file with nothing of that script is written as it was and named unchanged.
  fs::create_directories(t / "years");
  WriteFile(t / "years/y.txt", "2015 - 2016\n");
  WriteFile(t / "years/z.txt", "2015 ئانار\n");
  r = RunProgram({kUyconv, "script", "-r", "--from", "uey", "--to", "uky", (t / "years").string()});
  EXPECT_NE(r.err.find("unchanged " + (t / "years/y.txt").string()), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("1 converted, 0 skipped, 0 failed, 1 unchanged"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(t / "years/y(Cyrillic).txt"), "2015 - 2016\n");

  EXPECT_EQ(RunProgram({kUyconv, "script", "-r", "--to", "uly", "-o", "x", (t / "docs").string()}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "script", "--out-dir", "x", "--to", "uly", (t / "docs").string()}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "script", "-r", "--to", "uly", "-"}).status, 2);
}

}  // namespace
