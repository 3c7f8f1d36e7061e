#include <gtest/gtest.h>

#include "recoder/pass.h"
#include "test_util.h"

namespace {

using uytest::ReadFile;
using uytest::RunProgram;
using uytest::TempDir;
using uytest::WriteFile;

const std::string kUyconv = UYCONV_PATH;

TEST(Uyconv, HelpVersionAndUsageErrors) {
  auto help = RunProgram({kUyconv, "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("recode"), std::string::npos);
  auto version = RunProgram({kUyconv, "--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("uyconv ", 0), 0u);
  EXPECT_EQ(RunProgram({kUyconv}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "frobnicate"}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "recode", "-d", "8", "x"}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "recode", "-d"}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "recode"}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "recode", "-o", "o", "a", "b"}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "recode", "--bogus", "a"}).status, 2);
}

TEST(Uyconv, KeysPrintsUtf8Lines) {
  auto r = RunProgram({kUyconv, "keys", "/eqhx", "abc 3.0"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "\xD8\xA6\xDB\x90\xDA\x86\xD9\x89\xD8\xB4\n\xDA\xBE\xD8\xA8\xD8\xBA 3.0\n");
}

TEST(Uyconv, RecodeListShowsEightDirections) {
  auto r = RunProgram({kUyconv, "recode", "--list"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 8);
  EXPECT_NE(r.out.find("1\t"), std::string::npos);
  EXPECT_NE(r.out.find("(Korveli)"), std::string::npos);
}

TEST(Uyconv, RecodeWritesBesideEachInputAndMatchesThePass) {
  TempDir dir;
  for (int d = 0; d < 8; ++d) {
    std::string doc = uytest::RandomBytes(5000 + static_cast<std::size_t>(d) * 333, static_cast<unsigned>(d));
    for (std::size_t i = 2561; i < doc.size(); i += 4) doc[i] = 0x06;
    WriteFile(dir / "doc.bin", doc);
    auto r = RunProgram({kUyconv, "recode", "-d", std::to_string(d), (dir / "doc.bin").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto out = dir / uy::recode::OutputFileName("doc.bin", d);
    EXPECT_EQ(r.out, out.string() + "\n");
    std::vector<std::uint8_t> want(doc.begin(), doc.end());
    uy::recode::RecodeBuffer(want, d);
    EXPECT_EQ(ReadFile(out), std::string(want.begin(), want.end())) << d;
  }
}

TEST(Uyconv, RecodeReportsFailuresAndGoesOn) {
  TempDir dir;
  WriteFile(dir / "ok.doc", "abc");
  auto r = RunProgram({kUyconv, "recode", "-d1", (dir / "missing.doc").string(), (dir / "ok.doc").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("missing.doc"), std::string::npos);
  EXPECT_NE(r.err.find("1 of 2"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "ok(Korveli).doc"), "abc");

  auto o = RunProgram({kUyconv, "recode", "-o", (dir / "chosen.out").string(), (dir / "ok.doc").string()});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(ReadFile(dir / "chosen.out"), "abc");
}

}  // namespace
