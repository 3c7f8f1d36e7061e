// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <csignal>
#include <sched.h>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pass.h"
#include "recoder_test_util.h"
#include "tables.h"
#include "test_util.h"

namespace {

using namespace uytest;

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
  EXPECT_NE(r.err.find("0 of 2 document(s) recoded (Korveli 5.0 -> Korveli 3.9), 1 unchanged, 1 failed"), std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(dir / "ok(Korveli).doc"), "abc");

  auto o = RunProgram({kUyconv, "recode", "-o", (dir / "chosen.out").string(), (dir / "ok.doc").string()});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(ReadFile(dir / "chosen.out"), "abc");
}

std::vector<std::string> Uyconv(std::vector<std::string> args) {
  args.insert(args.begin(), kUyconv);
  return args;
}

unsigned ModeOf(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : ~0u;
}

TEST(Uyconv, SpecialFilesAreRefusedWithoutWaiting) {
  TempDir dir;
  const std::string fifo = (dir / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& args : {Uyconv({"recode", fifo}), Uyconv({"recode", "--raw", fifo}),
                           Uyconv({"cat", fifo}), Uyconv({"export", fifo})}) {
    const auto r = RunProgram(args, "", [] { ::alarm(20); });  // a hang ends by SIGALRM
    EXPECT_EQ(r.status, 1) << args[1];
    EXPECT_NE(r.err.find(fifo + ": not a regular file"), std::string::npos) << r.err;
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"fifo"});
}

TEST(Uyconv, AFailedStandardOutputIsAWriteError) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "abc\n";  // more than any output buffer
  WriteFile(dir / "t.txt", text);
  WriteFile(dir / "d.bin", std::string("\0\1", 2));
  const auto t = (dir / "t.txt").string();
  const auto to_full = [] {
    const int fd = ::open("/dev/full", O_WRONLY);
    ::dup2(fd, 1);
    ::close(fd);
  };
  for (const auto& args : {Uyconv({"keys", "abc"}), Uyconv({"--help"}), Uyconv({"recode", "--list"}),
                           Uyconv({"type", "abc"}), Uyconv({"cat", t}), Uyconv({"export", t}),
                           Uyconv({"recode", (dir / "d.bin").string()})}) {
    const auto r = RunProgram(args, "", to_full);
    EXPECT_EQ(r.status, 1) << args[1];
    const std::string message = "uyconv: write error: No space left on device\n";
    EXPECT_NE(r.err.find(message), std::string::npos) << args[1] << ": " << r.err;
    EXPECT_EQ(r.err.find(message), r.err.rfind(message)) << "reported twice";
  }
  // A closed stdout is a failure too, and never becomes the output file.
  const auto r = RunProgram(Uyconv({"recode", "-o", (dir / "o.bin").string(), (dir / "d.bin").string()}), "",
                            [] { ::close(1); });
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("uyconv: write error: Bad file descriptor\n"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir / "o.bin"), ReadFile(dir / "d.bin"));
}

TEST(Uyconv, AFileSizeLimitIsAnOrdinaryFailureThatLeavesNothing) {
  TempDir dir;
  std::string binary = uytest::RandomBytes(64 * 1024, 7);
  binary[0] = 0;
  WriteFile(dir / "d.bin", binary);
  std::string text;
  while (text.size() < 64 * 1024) text += "\xD8\xA6\xDB\x90 abc\n";
  WriteFile(dir / "t.txt", text);
  const auto limit = [] {
    const rlimit lim{16 * 1024, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    ::signal(SIGXFSZ, SIG_DFL);  // as a shell leaves it
  };
  const auto in = [&](const char* name) { return (dir / name).string(); };
  struct Case {
    std::vector<std::string> args;
    std::string named;  // what the message names
  };
  const Case cases[] = {
      {Uyconv({"recode", "--raw", in("d.bin")}), "d(Unicode).bin"},
      {Uyconv({"recode", in("d.bin")}), "d(Unicode).bin"},
      {Uyconv({"recode", "--force", in("t.txt")}), "t(Unicode).txt"},
      {Uyconv({"save", in("saved.uyt")}), ""},
  };
  for (const Case& c : cases) {
    const auto r = RunProgram(c.args, text, limit);
    EXPECT_EQ(r.status, 1) << c.args[2] << " killed by " << r.signal;
    EXPECT_NE(r.err.find(c.named + ": File too large"), std::string::npos) << r.err;
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"d.bin", "t.txt"}));
  }
}

// Starts uyconv on a large document and sends `sig` while its output is being written.
// Returns the wait status, or -1 when the run ended before the signal could stop it.
int InterruptMidRun(const std::vector<std::string>& args, const std::filesystem::path& dir,
                    const std::filesystem::path& input, int sig) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(sig, SIG_DFL);  // a background shell job may have SIGINT ignored
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  // The output is open when the process holds a file in the folder other than the input.
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  int status = 0;
  for (bool caught = false; !caught; ::sched_yield()) {
    if (::waitpid(pid, &status, WNOHANG) == pid) return -1;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(fds, ec)) {
      const auto target = std::filesystem::read_symlink(e.path(), ec).string();
      if (!ec && target.rfind(dir.string() + "/", 0) == 0 && target != input.string()) caught = true;
    }
  }
  ::kill(pid, sig);
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? -1 : status;
}

TEST(Uyconv, AnInterruptedRecodeLeavesNothingAndEndsByItsSignal) {
  TempDir dir;
  const auto doc = dir / "big.bin";
  std::string bytes(16 << 20, '\x06');  // one unit to recode after another
  bytes[0] = 0;
  WriteFile(doc, bytes);
  const auto out = dir / uy::recode::OutputFileName("big.bin", 0);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    int status = -1;
    for (int attempt = 0; attempt < 5 && status == -1; ++attempt) {
      std::filesystem::remove(out);
      status = InterruptMidRun(Uyconv({"recode", doc.string()}), dir.path(), doc, sig);
    }
    ASSERT_NE(status, -1) << "the run always ended before it was caught";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "signal " << sig << ", status " << status;
    // Nothing but the document, or (stopped in the last instant) the complete output too.
    if (std::filesystem::exists(out)) {
      EXPECT_EQ(std::filesystem::file_size(out), bytes.size());
    }
    std::filesystem::remove(out);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"big.bin"}) << "signal " << sig;
  }
}

TEST(Uyconv, OutputsKeepTheDocumentsPermissionsAndGoThroughLinks) {
  TempDir dir;
  WriteFile(dir / "d.bin", std::string("\0\1\2", 3));
  WriteFile(dir / "t.txt", "abc\n");
  for (const char* name : {"d.bin", "t.txt"}) ::chmod((dir / name).c_str(), 0600);
  std::filesystem::create_directory(dir / "real");
  WriteFile(dir / "real" / "target", "old");
  ::chmod((dir / "real" / "target").c_str(), 0640);
  std::filesystem::create_symlink("real/target", dir / "link");
  const auto path = [&](const char* name) { return (dir / name).string(); };
  for (const auto& args : {Uyconv({"recode", "--raw", path("d.bin")}), Uyconv({"recode", path("t.txt")})}) {
    const auto r = RunProgram(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ModeOf(r.out.substr(0, r.out.size() - 1)), 0600u) << r.out;
  }
  for (const auto& args : {Uyconv({"recode", "-o", path("link"), path("t.txt")}), Uyconv({"save", path("link")})}) {
    const auto r = RunProgram(args, "abc\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(ReadFile(dir / "real" / "target"), ReadFile(dir / "link"));
    EXPECT_NE(ReadFile(dir / "link"), "old");
    EXPECT_EQ(ModeOf(dir / "real" / "target"), 0640u);
  }
  EXPECT_EQ(ModeOf(dir / "t(Unicode).txt"), 0600u);
}

TEST(Uyconv, RecodeShowsProgressOnlyOnATerminal) {
  TempDir dir;
  std::string doc = uytest::RandomBytes(1 << 20, 5);
  doc[0] = 0;
  WriteFile(dir / "d.bin", doc);
  const auto args = Uyconv({"recode", (dir / "d.bin").string()});
  EXPECT_EQ(RunProgram(args).err.find('%'), std::string::npos);

  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  std::string shown;
  std::thread reader([&] {
    char buf[4096];
    for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) shown.append(buf, static_cast<std::size_t>(n));
  });
  const auto r = RunProgram(args, "", [&] {
    const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ::dup2(fd, 2);
    ::close(fd);
  });
  reader.join();  // ends when the terminal's last user is gone
  ::close(master);
  EXPECT_EQ(r.status, 0);
  // Every figure shown once, rising to 100.
  std::vector<int> figures;
  for (std::size_t at = 0; (at = shown.find('%', at)) != std::string::npos; ++at)
    figures.push_back(std::stoi(shown.substr(shown.rfind(' ', at - 1) + 1)));
  ASSERT_FALSE(figures.empty()) << shown;
  EXPECT_EQ(figures.back(), 100);
  EXPECT_TRUE(std::is_sorted(figures.begin(), figures.end()));
  EXPECT_EQ(std::adjacent_find(figures.begin(), figures.end()), figures.end());
}

}  // namespace

namespace {

// Text documents at their edges: "recoded" only when the output holds the recoded text,
// anything kept as it was said so.
TEST(Uyconv, TextEdgesAreRecodedOrReported) {
  TempDir t;
  const std::string zeros = "<p>&#000001592; &#x000000638; &#X0000000000000000000000000000638;</p>";
  const std::string malformed = "abc \xD8\xB8 " + std::string(3000, '\0') + "\xFF x \xD8\xB8\n";
  const struct {
    const char* name;
    std::string in;  // empty: the file named is read as it is
    std::string want_out;
    const char* want_err;
  } cases[] = {
      {"zeros.html", zeros, "<p>&#000001574; &#x000000626; &#X0000000000000000000000000000626;</p>", "1 of 1 document(s) recoded"},
      {"nuls.txt", malformed, "abc \xD8\xA6 " + std::string(3000, '\0') + "\xFF x \xD8\xA6\n",
       "1 malformed UTF-8 byte(s) kept as they were, the first at offset 3007"},
      {"latin.txt", "plain latin\n", "plain latin\n", "unchanged " },
      {"/proc/self/mounts", "", "", "0 of 1 document(s) recoded (Korveli 3.9 -> Korveli 5.0), 1 unchanged"},
  };
  for (const auto& c : cases) {
    const bool real = c.in.empty();
    const std::string in = real ? std::string(c.name) : (t / c.name).string();
    if (!real) WriteFile(in, c.in);
    const auto r = RunProgram({kUyconv, "recode", "-o", (t / "out").string(), in});
    EXPECT_EQ(r.status, 0) << c.name << r.err;
    EXPECT_NE(r.err.find(c.want_err), std::string::npos) << c.name << ": " << r.err;
    const std::string out = ReadFile(t / "out");
    if (real) EXPECT_GT(out.size(), 0u) << c.name;  // the system says it is empty
    else EXPECT_EQ(out, c.want_out) << c.name;
  }
}

}  // namespace
