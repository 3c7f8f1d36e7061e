#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/file_io.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;
using uy::AtomicFileWriter;
using uy::FileError;
using uytest::ReadFile;
using uytest::TempDir;
using uytest::WriteFile;

TEST(AtomicFileWriter, CommitReplacesTargetAndKeepsItsMode) {
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

TEST(AtomicFileWriter, WithoutCommitNothingChangesAndNoTemporaryFileRemains) {
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

TEST(AtomicFileWriter, FailuresNameTheFileAndTheReason) {
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
