// SPDX-License-Identifier: GPL-3.0-or-later
// File reading and crash-safe file writing shared by the recoder and the editor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace uy {

// A failure on a named file, with the system's reason. what() reads
// "cannot read /path/name: No such file or directory" and the like.
class FileError : public std::runtime_error {
 public:
  enum class Kind { Read, Create, Write, Exists };  // Exists: a target that must not be replaced
  FileError(Kind kind, std::filesystem::path path, std::string reason);
  Kind kind() const { return kind_; }
  const std::filesystem::path& path() const { return path_; }
  const std::string& reason() const { return reason_; }

 private:
  Kind kind_;
  std::filesystem::path path_;
  std::string reason_;
};

// The system's text for an errno value.
std::string ErrnoText(int err);

// A regular file opened read-only. Folders, devices, pipes and sockets are refused,
// without waiting for a writer on a pipe.
class InputFile {
 public:
  explicit InputFile(const std::filesystem::path& path);  // throws FileError(Read)
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::uint64_t size() const { return size_; }
  // The permission bits (rwx for owner, group and others).
  unsigned permissions() const { return permissions_; }
  // Reads up to n bytes; returns fewer only at the end of the file.
  std::size_t Read(void* buf, std::size_t n);  // throws FileError(Read)
  int fd() const { return fd_; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  unsigned permissions_ = 0;
};

// Reads a whole regular file into memory.
std::string ReadWholeFile(const std::filesystem::path& path);  // throws FileError(Read)

// Writes a file so that the target is either left as it was or replaced whole.
// The bytes go to an unnamed temporary file in the target's folder (a named hidden one,
// ".NAME.xxxxxxxx.tmp" with NAME cut short, where the file system has no unnamed files),
// which Commit() flushes to disk, names and renames over the target. Without Commit()
// (a failure, an exception, a signal) nothing remains and the target is untouched.
// A write that stores fewer bytes than asked is a failure.
// A symbolic link as target is followed: the file it points to is replaced (a missing
// one created) and the link stays. A replaced file keeps its permission bits; a new one
// gets `new_file_mode` less the umask (give a copy its original's permissions).
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::filesystem::path target,
                            unsigned new_file_mode = 0666);  // throws FileError(Create)
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(const void* data, std::size_t n);  // throws FileError(Write)
  void Commit();                                // throws FileError(Write or Create)
  void Discard() noexcept;

  // The target as given, for messages.
  const std::filesystem::path& target() const { return target_; }
  // A path that reads the bytes written so far, until Commit() or Discard().
  const std::filesystem::path& temp_path() const { return temp_; }
  int fd() const { return fd_; }

 private:
  void NameTemporary(const std::filesystem::path& dir, bool create);
  void ForgetName(bool remove) noexcept;
  void NameTemporaryLink(const std::filesystem::path& dir);
  void PlaceNamed();
  void PlaceUnnamedNoReplace();

  std::filesystem::path target_;
  std::filesystem::path final_;    // the file that is replaced: the target, links followed
  std::filesystem::path temp_;
  std::filesystem::path named_;    // the temporary file's name while it has one
  int fd_ = -1;
  int signal_slot_ = -1;
  unsigned mode_ = 0;              // the permission bits the result gets
  bool unnamed_ = false;
  bool no_replace_ = false;
  bool done_ = false;
};

// While one lives on a thread, every AtomicFileWriter created on that thread commits
// only where nothing has the target's name yet, in one step with the naming itself (two
// runs writing one output cannot replace each other's): Commit() then throws
// FileError(Exists) and leaves the existing file alone.
class NoReplaceScope {
 public:
  NoReplaceScope();
  ~NoReplaceScope();
  NoReplaceScope(const NoReplaceScope&) = delete;
  NoReplaceScope& operator=(const NoReplaceScope&) = delete;

 private:
  bool outer_;
};

namespace detail {
// Off: always the named temporary file, as on file systems without unnamed files (tests).
extern bool use_unnamed_temporary_files;
}  // namespace detail

// The permission bits of an existing file; 0666 when it cannot be read.
unsigned PermissionsOf(const std::filesystem::path& path);

// True when both paths name the same existing file (hard or symbolic links included).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace uy
