// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "pass.h"
#include "test_util.h"
#include "tree.h"

namespace {

namespace fs = std::filesystem;
using uytest::ReadFile;
using uytest::RunProgram;
using uytest::TempDir;
using uytest::WriteFile;
using uytest::kUyconv;

TEST(RecodeTree, TellsEarlierOutputsFromDocuments) {
  for (const char* name : {"report.doc", "report.docx", "ab.x", "notes.md", "a", "x.html", "دوكلات.doc"})
    for (int d = 0; d < 8; ++d) {
      EXPECT_FALSE(uy::recode::IsOutputName(name)) << name;
      EXPECT_TRUE(uy::recode::IsOutputName(uy::recode::OutputFileName(name, d))) << name << ' ' << d;
    }
  // The suffix somewhere else in a name is the user's own text.
  for (const char* name : {"(Unicode)report.doc", "my(Korveli)notes.txt", "report.doc(Unicode)"})
    EXPECT_FALSE(uy::recode::IsOutputName(name)) << name;
}

TEST(RecodeTree, WalksMirrorsSkipsAndReportsFailures) {
  TempDir t;
  const std::string legacy = "\xD8\xB8\xD8\xA8 text\n";  // U+0638 U+0628: changed by direction 0
  fs::create_directories(t / "docs/sub/deeper");
  fs::create_directories(t / "docs/.cache");
  WriteFile(t / "docs/one.txt", legacy);
  WriteFile(t / "docs/sub/two.txt", legacy);
  WriteFile(t / "docs/sub/deeper/three.txt", legacy);
  WriteFile(t / "docs/.hidden.txt", legacy);
  WriteFile(t / "docs/.cache/four.txt", legacy);
  WriteFile(t / "docs/one(Unicode).txt", "earlier output, kept as it is");

  // Beside each document: one's output exists already, so it is skipped and kept.
  auto r = RunProgram({kUyconv, "recode", "-r", "-d", "0", (t / "docs").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("2 recoded, 1 skipped, 0 failed"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(t / "docs/one(Unicode).txt"), "earlier output, kept as it is");
  const std::string recoded = ReadFile(t / "docs/sub/two(Unicode).txt");
  EXPECT_NE(recoded, legacy);
  EXPECT_EQ(ReadFile(t / "docs/sub/deeper/three(Unicode).txt"), recoded);
  EXPECT_FALSE(fs::exists(t / "docs/.cache/four(Unicode).txt"));

  // A second run takes no output of the first as a document and skips everything.
  r = RunProgram({kUyconv, "recode", "-r", "-d", "0", "--jobs", "2", (t / "docs").string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("0 recoded, 3 skipped, 0 failed"), std::string::npos) << r.err;

  // Under an output folder the tree is mirrored; --overwrite replaces, a folder in the
  // way is one failed document and the run goes on.
  fs::create_directories(t / "out/sub/two(Unicode).txt");
  WriteFile(t / "out/one(Unicode).txt", "old");
  r = RunProgram({kUyconv, "recode", "-r", "-d", "0", "--jobs", "3", "--overwrite", "--out-dir",
                  (t / "out").string(), (t / "docs").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("2 recoded, 0 skipped, 1 failed"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("two(Unicode).txt"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(t / "out/one(Unicode).txt"), recoded);
  EXPECT_EQ(ReadFile(t / "out/sub/deeper/three(Unicode).txt"), recoded);
  EXPECT_EQ(ReadFile(t / "docs/one.txt"), legacy);

  EXPECT_EQ(RunProgram({kUyconv, "recode", "-r", "-o", "x", (t / "docs").string()}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "recode", "--out-dir", "x", (t / "docs").string()}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "recode", "-r", "--jobs", "0", (t / "docs").string()}).status, 2);
}

}  // namespace
