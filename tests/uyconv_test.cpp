#include <gtest/gtest.h>

#include "recoder/pass.h"
#include "recoder/tables.h"
#include "test_util.h"
#include "recoder_test_util.h"

namespace {

using uytest::ReadFile;
using uytest::RunProgram;
using uytest::TempDir;
using uytest::WriteFile;
using uytest::kUyconv;

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
    for (std::size_t size : {0, 1, 2560, 2561, 5000 + d * 333, (1 << 20) + 2560 + 3}) {
      std::string doc = uytest::RandomBytes(size, static_cast<unsigned>(size + d));
      for (std::size_t i = 2561; i < doc.size(); i += 4) doc[i] = 0x06;
      if (!doc.empty()) doc[0] = 0;  // binary, so that the default handling is the pass too
      WriteFile(dir / "doc.bin", doc);
      const auto out = dir / uy::recode::OutputFileName("doc.bin", d);
      for (const char* mode : {"--raw", "-d"}) {
        std::vector<std::string> args = {kUyconv, "recode", "-d", std::to_string(d), (dir / "doc.bin").string()};
        if (std::string(mode) == "--raw") args.insert(args.begin() + 2, mode);
        auto r = RunProgram(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, out.string() + "\n");
        ASSERT_EQ(ReadFile(out), uytest::UnitByUnitPass(doc, d)) << "direction " << d << " size " << size << " " << mode;
      }
    }
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
