// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include <fcntl.h>
#include <unistd.h>

#include <sys/resource.h>

#include "keyboard_model.h"
#include "test_util.h"
#include "text_file.h"
#include "utf.h"

namespace {

using namespace uytest;
namespace fs = std::filesystem;

TEST(UyconvType, ArgumentAndStdin) {
  auto arg = RunProgram({kUyconv, "type", "/ekin W(e)"});
  EXPECT_EQ(arg.status, 0) << arg.err;
  EXPECT_EQ(arg.out, uy::ToUtf8(u"\u0626\u06D0\u0643\u06AD\u0646 \u06CB\u06D5 )\u0626\u06D0(") + "\n");
  auto in = RunProgram({kUyconv, "type"}, "kt\be\nLh\r\n\xC3\xA9");
  EXPECT_EQ(in.status, 0) << in.err;
  EXPECT_EQ(in.out, uy::ToUtf8(u"\u0643\u0626\u06D0\n\u0644\u0627\u0626\u0649\n\u00E9"));
  EXPECT_EQ(RunProgram({kUyconv, "type", "a", "b"}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "type", "--help"}).status, 0);
}

TEST(UyconvType, MatchesTheModelOnLongRandomKeystrokes) {
  std::mt19937 rng(42);
  const std::string keys_pool =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ,./;<>?()[]{}!\"#$%&'*+-:=@\\^_`|~\b\n\t";
  for (int round = 0; round < 5; ++round) {
    std::u16string keys;
    const std::u16string_view others[] = {u"\u0626", u"\u00E9", u"\U0001F600"};
    for (int i = 0; i < 20000; ++i) {
      if (rng() % 100 == 0) keys += others[rng() % 3];
      else keys += static_cast<char16_t>(keys_pool[rng() % keys_pool.size()]);
    }
    uytest::KeyboardModel model;
    for (char16_t k : keys) model.Char(k == u'\n' ? char16_t{0x0D} : k);
    auto r = RunProgram({kUyconv, "type"}, uy::ToUtf8(keys));
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out, uy::ToUtf8(model.text)) << "round " << round;
  }
}

TEST(UyconvCatSave, EndToEnd) {
  TempDir dir;
  // save: UTF-8 on stdin, the editor's bytes on disk, LF turned into CR LF.
  auto save = RunProgram({kUyconv, "save", (dir / "a.uyt").string()}, "\xD8\xA6\nb\r\n\xF0\x9F\x98\x80");
  ASSERT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(ReadFile(dir / "a.uyt"), uy::editor::EncodeTextFile(u"\u0626\r\nb\r\n\U0001F600"));
  // cat: any encoding, printed as UTF-8 with LF line breaks.
  auto cat = RunProgram({kUyconv, "cat", (dir / "a.uyt").string()});
  EXPECT_EQ(cat.status, 0);
  EXPECT_EQ(cat.out, "\xD8\xA6\nb\n\xF0\x9F\x98\x80");
  EXPECT_EQ(cat.err, "");
  WriteFile(dir / "gbk.txt", "\xD3\xA2\xCE\xC4\r\n\x80");
  EXPECT_EQ(RunProgram({kUyconv, "cat", (dir / "gbk.txt").string()}).out, "\xE8\x8B\xB1\xE6\x96\x87\n\xE2\x82\xAC");
  WriteFile(dir / "bad.txt", "\xEF\xBB\xBF" "a\xC3(");
  auto bad = RunProgram({kUyconv, "cat", (dir / "bad.txt").string()});
  EXPECT_EQ(bad.status, 0);
  EXPECT_EQ(bad.out, "a\xEF\xBF\xBD(");
  EXPECT_NE(bad.err.find("U+FFFD"), std::string::npos);
  // Lone surrogates (a high one at the end, a low one, a high one before a letter).
  WriteFile(dir / "lone.uyt", uy::editor::EncodeTextFile(u"a\xDC00" u"b\xD800" u"c\xD83D"));
  auto lone = RunProgram({kUyconv, "cat", (dir / "lone.uyt").string()});
  EXPECT_EQ(lone.status, 0);
  EXPECT_EQ(lone.out, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\xEF\xBF\xBD");
  EXPECT_NE(lone.err.find("3 lone UTF-16 surrogate(s) shown as U+FFFD"), std::string::npos) << lone.err;
  WriteFile(dir / "odd.uyt", std::string("\xFF\xFE" "a\x00" "b", 5));
  auto odd = RunProgram({kUyconv, "cat", (dir / "odd.uyt").string()});
  EXPECT_EQ(odd.out, "a");
  EXPECT_NE(odd.err.find("the last byte is half a UTF-16 unit"), std::string::npos) << odd.err;
  // Failures: exit 1, a message naming the file, the old file intact.
  auto missing = RunProgram({kUyconv, "cat", (dir / "none.uyt").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Cannot open file " + (dir / "none.uyt").string()), std::string::npos);
  const std::string nowhere = (dir / "no" / "b.uyt").string();
  auto create = RunProgram({kUyconv, "save", nowhere}, "x");
  EXPECT_EQ(create.status, 1);
  EXPECT_NE(create.err.find("Cannot create file " + nowhere), std::string::npos);
  // A full disk (a file size limit) names the file too, and keeps the old one.
  WriteFile(dir / "full.uyt", "old");
  auto full = RunProgram({kUyconv, "save", (dir / "full.uyt").string()}, std::string(5000, 'x'), [] {
    const rlimit limit{1000, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("Stream write error: " + (dir / "full.uyt").string() + ": File too large"),
            std::string::npos) << full.err;
  EXPECT_EQ(ReadFile(dir / "full.uyt"), "old");
  // Standard input that cannot be read (a folder) is a failure, not an empty text.
  const auto folder_as_stdin = [] { ::dup2(::open("/", O_RDONLY), 0); };
  for (const std::vector<std::string>& argv :
       {std::vector<std::string>{kUyconv, "save", (dir / "full.uyt").string()}, {kUyconv, "type"}}) {
    auto unread = RunProgram(argv, "", folder_as_stdin);
    EXPECT_EQ(unread.status, 1) << argv[1];
    EXPECT_NE(unread.err.find("cannot read standard input: Is a directory"), std::string::npos) << unread.err;
  }
  EXPECT_EQ(ReadFile(dir / "full.uyt"), "old");
  EXPECT_EQ(RunProgram({kUyconv, "save"}).status, 2);
  EXPECT_EQ(RunProgram({kUyconv, "cat"}).status, 2);
}

// Any file is printed in bounded memory, and the first failed write ends the run.
TEST(UyconvCatSave, LargeFilesInBoundedMemory) {
  TempDir dir;
#if defined(__SANITIZE_ADDRESS__)
  const std::size_t size = std::size_t{32} << 20;  // slow there
#else
  const std::size_t size = std::size_t{128} << 20;
#endif
  const auto to_null = [] {
    ::dup2(::open("/dev/null", O_WRONLY), 1);
    // A sanitized build keeps freed memory aside (256 MB); that is not the program's.
    const char* asan = std::getenv("ASAN_OPTIONS");
    ::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":quarantine_size_mb=1").c_str(), 1);
  };
  // NUL characters, unmarked (read twice: UTF-8 or code page 936) and UTF-16.
  for (const std::string mark : {"", "\xFF\xFE"}) {
    const fs::path big = dir / "big";
    WriteFile(big, mark);
    fs::resize_file(big, size);
    auto r = RunProgram({kUyconv, "cat", big.string()}, "", to_null);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_LT(r.max_rss_kb, 64 * 1024) << "mark of " << mark.size() << " bytes";  // a few MB
  }
  // A reader that went away (SIGPIPE ignored): the run stops at the first write and says
  // why; the lone surrogate at the end is never reached.
  const fs::path tail = dir / "tail.uyt";
  WriteFile(tail, "\xFF\xFE");
  fs::resize_file(tail, std::size_t{8} << 20);
  std::ofstream(tail, std::ios::app | std::ios::binary) << std::string("\x00\xD8", 2);
  auto closed = RunProgram({kUyconv, "cat", tail.string()}, "", [] {
    int p[2];
    if (::pipe(p) == 0) {
      ::close(p[0]);
      ::dup2(p[1], 1);
    }
  });
  EXPECT_EQ(closed.status, 1);
  EXPECT_NE(closed.err.find("write error: Broken pipe"), std::string::npos) << closed.err;
  EXPECT_EQ(closed.err.find("surrogate"), std::string::npos) << closed.err;
  // The whole file, into a pipe that is read to its end, ends with that warning.
  EXPECT_NE(RunProgram({kUyconv, "cat", tail.string()}).err.find("1 lone UTF-16 surrogate"), std::string::npos);
}

}  // namespace
