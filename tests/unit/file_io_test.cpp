// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_io.h"
#include "signals.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;
using uy::AtomicFileWriter;
using uy::FileError;
using uytest::ReadFile;
using uytest::TempDir;
using uytest::WriteFile;

// Every writer test runs twice: with the unnamed temporary file, and with the named one
// that file systems without unnamed files get.
class AtomicFileWriterTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { uy::detail::use_unnamed_temporary_files = GetParam(); }
  void TearDown() override { uy::detail::use_unnamed_temporary_files = true; }
};
INSTANTIATE_TEST_SUITE_P(Temporary, AtomicFileWriterTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Unnamed" : "Named"; });

unsigned ModeOf(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : ~0u;
}

std::vector<std::string> ListOf(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void WriteThrough(const fs::path& target, const std::string& bytes, unsigned new_mode = 0666) {
  AtomicFileWriter w(target, new_mode);
  w.Write(bytes.data(), bytes.size());
  EXPECT_EQ(uy::ReadWholeFile(w.temp_path()), bytes);  // callers read the result back
  w.Commit();
}

TEST_P(AtomicFileWriterTest, CommitReplacesTargetAndKeepsItsMode) {
  TempDir dir;
  const fs::path target = dir / "doc.txt";
  WriteFile(target, "old");
  ::chmod(target.c_str(), 0640);
  {
    AtomicFileWriter w(target);
    w.Write("new ", 4);
    w.Write("text", 4);
    EXPECT_EQ(ReadFile(target), "old");  // nothing visible before the commit
    w.Commit();
  }
  EXPECT_EQ(ReadFile(target), "new text");
  struct stat st {};
  ::stat(target.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"doc.txt"});
}

TEST_P(AtomicFileWriterTest, WithoutCommitNothingChangesAndNoTemporaryFileRemains) {
  TempDir dir;
  WriteFile(dir / "keep.txt", "precious");
  {
    AtomicFileWriter w(dir / "keep.txt");
    w.Write("partial", 7);
  }
  {
    AtomicFileWriter w(dir / "new.txt");
    w.Write("partial", 7);
  }
  EXPECT_EQ(ReadFile(dir / "keep.txt"), "precious");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"keep.txt"});
}

TEST_P(AtomicFileWriterTest, FailuresNameTheFileAndTheReason) {
  TempDir dir;
  try {
    AtomicFileWriter w(dir / "missing" / "out.txt");
    FAIL() << "created a file in a missing folder";
  } catch (const FileError& e) {
    EXPECT_EQ(e.kind(), FileError::Kind::Create);
    EXPECT_NE(std::string(e.what()).find("missing/out.txt"), std::string::npos);
    EXPECT_NE(e.reason().find("No such file"), std::string::npos);
  }
  fs::create_directory(dir / "folder");
  EXPECT_THROW(AtomicFileWriter(dir / "folder"), FileError);
  EXPECT_THROW(AtomicFileWriter("/dev/null"), FileError);  // never replace a device
  EXPECT_EQ(dir.List(), std::vector<std::string>{"folder"});
}

TEST(AtomicFileWriter, AKilledWriterLeavesNoName) {
  TempDir dir;
  AtomicFileWriter w(dir / "new.txt");
  w.Write("partial", 7);
  EXPECT_TRUE(dir.List().empty());  // nothing to leave behind before Commit
  w.Commit();
  EXPECT_EQ(dir.List(), std::vector<std::string>{"new.txt"});
}

TEST_P(AtomicFileWriterTest, NamesOfAnyAllowedLengthAndTheirPermissions) {
  TempDir dir;
  const mode_t old_umask = ::umask(022);
  std::string uyghur, chinese;
  for (int i = 0; i < 127; ++i) uyghur += "\xD8\xA6";  // 254 bytes
  for (int i = 0; i < 85; ++i) chinese += "\xE4\xB8\xAD";  // 255 bytes
  struct Case {
    std::string name;
    int existing_mode;  // -1: a new file
    unsigned new_mode;
    unsigned expected;
  };
  const Case cases[] = {
      {std::string(255, 'a'), -1, 0666, 0644},
      {uyghur + "x", -1, 0600, 0600},
      {chinese, 0640, 0600, 0640},  // a replaced file keeps its own bits
      {"short", -1, 0751, 0751},
      {"readonly", 0400, 0666, 0400},
      {"mine", -1, 0200, 0200},     // written and read back by its owner all the same
  };
  for (const Case& c : cases) {
    const fs::path target = dir / c.name;
    if (c.existing_mode >= 0) {
      WriteFile(target, "old");
      ::chmod(target.c_str(), static_cast<mode_t>(c.existing_mode));
    }
    WriteThrough(target, "new " + c.name, c.new_mode);
    EXPECT_EQ(ReadFile(target), "new " + c.name);
    EXPECT_EQ(ModeOf(target), c.expected) << c.name;
    fs::remove(target);
  }
  EXPECT_TRUE(dir.List().empty());
  ::umask(old_umask);
}

TEST_P(AtomicFileWriterTest, WritesThroughSymbolicLinks) {
  TempDir dir;
  fs::create_directory(dir / "links");
  fs::create_directory(dir / "files");
  WriteFile(dir / "files" / "doc", "old");
  ::chmod((dir / "files" / "doc").c_str(), 0640);
  fs::create_symlink("../files/doc", dir / "links" / "relative");
  fs::create_symlink(dir / "links" / "relative", dir / "links" / "chain");
  fs::create_symlink("../files/new", dir / "links" / "dangling");
  for (const char* link : {"relative", "chain", "dangling"}) {
    WriteThrough(dir / "links" / link, link);
    EXPECT_TRUE(fs::is_symlink(dir / "links" / link)) << link;
    EXPECT_EQ(ReadFile(dir / "links" / link), link);
  }
  EXPECT_EQ(ModeOf(dir / "files" / "doc"), 0640u);
  EXPECT_EQ(ReadFile(dir / "files" / "new"), "dangling");
  EXPECT_EQ(ListOf(dir / "files"), (std::vector<std::string>{"doc", "new"}));
  EXPECT_EQ(ListOf(dir / "links"), (std::vector<std::string>{"chain", "dangling", "relative"}));
}

TEST(InputFile, RefusesWhatIsNotARegularFileWithoutWaiting) {
  TempDir dir;
  ::mkfifo((dir / "fifo").c_str(), 0600);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string sock_path = (dir / "sock").string();
  sock_path.copy(addr.sun_path, sizeof addr.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::alarm(20);  // a wait for a writer ends the test instead of hanging it
  for (const fs::path& p : {dir / "fifo", dir / "sock", fs::path("/dev/null"), fs::path("/dev/tty")}) {
    try {
      uy::InputFile in(p);
      ADD_FAILURE() << p << " was opened";
    } catch (const FileError& e) {
      EXPECT_EQ(e.kind(), FileError::Kind::Read);
      EXPECT_NE(std::string(e.what()).find(p.string()), std::string::npos) << e.what();
    }
  }
  ::alarm(0);
  ::close(sock);
}

// A writer with a named temporary file (as where unnamed ones are unavailable) gets a
// signal: nothing is left behind, whether the signal ends the process or not.
TEST(Signals, AFatalSignalRemovesRegisteredFilesAndEndsTheProcessBySignal) {
  TempDir dir;
  enum Outcome { kDies, kLivesOn };  // lives on: inherited as ignored (nohup), or SIGXFSZ
  struct Case {
    int sig;
    bool inherited_ignored;
    Outcome outcome;
  };
  const Case cases[] = {{SIGINT, false, kDies},   {SIGTERM, false, kDies},   {SIGHUP, false, kDies},
                        {SIGQUIT, false, kDies},  {SIGXCPU, false, kDies},   {SIGPIPE, false, kDies},
                        {SIGALRM, false, kDies},  {SIGUSR1, false, kDies},   {SIGUSR2, false, kDies},
                        {SIGVTALRM, false, kDies}, {SIGPROF, false, kDies},  {SIGABRT, false, kDies},
                        {SIGRTMIN, false, kDies}, {SIGRTMAX, false, kDies},  {SIGHUP, true, kLivesOn},
                        {SIGPIPE, true, kLivesOn}, {SIGXFSZ, false, kLivesOn}};
  for (const Case c : cases) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const rlimit no_core{0, 0};
      ::setrlimit(RLIMIT_CORE, &no_core);  // SIGQUIT, SIGXCPU and SIGABRT dump core
      ::signal(c.sig, c.inherited_ignored ? SIG_IGN : SIG_DFL);
      uy::InstallSignalHandlers();
      uy::detail::use_unnamed_temporary_files = false;
      uy::RegisterTemporaryFile("/elsewhere/not-there");
      {
        AtomicFileWriter w(dir / "out.txt");
        w.Write("partial", 7);
        ::raise(c.sig);
      }  // only where the signal is ignored: the writer discards its file
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (c.outcome == kLivesOn)
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.sig;
    else
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << c.sig;
    EXPECT_TRUE(dir.List().empty()) << c.sig;
  }
}

TEST(InputFile, RefusesFoldersAndMissingFiles) {
  TempDir dir;
  EXPECT_THROW(uy::InputFile(dir.path()), FileError);
  EXPECT_THROW(uy::InputFile(dir / "nope"), FileError);
  WriteFile(dir / "a", std::string("x\0y", 3));
  EXPECT_EQ(uy::ReadWholeFile(dir / "a"), std::string("x\0y", 3));
}

TEST(SameFile, SeesThroughLinks) {
  TempDir dir;
  WriteFile(dir / "a", "1");
  WriteFile(dir / "b", "1");
  fs::create_hard_link(dir / "a", dir / "hard");
  fs::create_symlink(dir / "a", dir / "soft");
  EXPECT_TRUE(uy::SameFile(dir / "a", dir / "hard"));
  EXPECT_TRUE(uy::SameFile(dir / "a", dir / "soft"));
  EXPECT_FALSE(uy::SameFile(dir / "a", dir / "b"));
  EXPECT_FALSE(uy::SameFile(dir / "a", dir / "missing"));
}

}  // namespace
