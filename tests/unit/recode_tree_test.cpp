// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include <grp.h>
#include <unistd.h>

#include "file_io.h"
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

// Runs uyconv as an unprivileged user when the tests run as root, for whom no folder is
// unreadable.
uytest::RunResult RunUnprivileged(const std::vector<std::string>& argv) {
  return RunProgram(argv, "", [] {
    if (::geteuid() != 0) return;
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
  });
}

TEST(RecodeTree, UnreadableFoldersAndOutputFolderOfTheTreeItself) {
  TempDir t;
  const std::string legacy = "\xD8\xB8\xD8\xA8 text\n";
  for (const char* d : {"docs/a", "docs/b", "docs/c/deep"}) fs::create_directories(t / d);
  for (const char* f : {"docs/a/one.txt", "docs/b/two.txt", "docs/c/deep/three.txt"}) WriteFile(t / f, legacy);
  fs::permissions(t.path(), fs::perms::all);
  for (const char* d : {"docs", "docs/a", "docs/c", "docs/c/deep"}) fs::permissions(t / d, fs::perms::all);
  fs::permissions(t / "docs/b", fs::perms::none);

  // Everything readable is recoded; the unreadable folder is named and fails the run.
  auto r = RunUnprivileged({kUyconv, "recode", "-r", (t / "docs").string()});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("cannot read " + (t / "docs/b").string() + ": Permission denied"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2 recoded, 0 skipped, 1 failed"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(t / "docs/c/deep/three(Unicode).txt"));
  fs::permissions(t / "docs/b", fs::perms::all);

  // An output folder that is the tree itself puts the outputs beside their documents.
  fs::remove(t / "docs/a/one(Unicode).txt");
  r = RunProgram({kUyconv, "recode", "-r", "--out-dir", (t / "docs").string(), (t / "docs").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("2 recoded, 1 skipped, 0 failed"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(t / "docs/a/one(Unicode).txt"));
}

// An output that appears between the check and the write (a second run over the same
// tree) is kept, and the document is reported as skipped; --overwrite replaces it.
TEST(RecodeTree, OutputMadeMeanwhileIsNeverReplaced) {
  TempDir t;
  WriteFile(t / "one.txt", std::string(2560, 'h') + "\x38\x06");
  for (const bool unnamed : {true, false}) {
    uy::detail::use_unnamed_temporary_files = unnamed;
    for (const bool overwrite : {false, true}) {
      fs::remove(t / "one(Unicode).txt");
      uy::recode::TreeOptions options;
      options.overwrite = overwrite;
      const auto results = uy::recode::RunTreeJobs(
          {{t / "one.txt", t / "one(Unicode).txt"}}, options,
          [&](const fs::path& in, const fs::path& out, int d, uy::recode::ProgressSink* p) {
            WriteFile(out, "the other run's output");
            return uy::recode::RecodeDocument(in, out, d, p);
          });
      ASSERT_EQ(results.size(), 1u);
      EXPECT_EQ(results[0].outcome, overwrite ? uy::recode::TreeOutcome::kRecoded : uy::recode::TreeOutcome::kSkipped)
          << results[0].reason;
      EXPECT_EQ(ReadFile(t / "one(Unicode).txt") == "the other run's output", !overwrite);
      EXPECT_EQ(t.List().size(), 2u);  // no temporary file left
    }
  }
  uy::detail::use_unnamed_temporary_files = true;
}

}  // namespace
