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
  enum class Kind { Read, Create, Write };
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

// A regular file opened read-only. Folders, devices and pipes are refused.
class InputFile {
 public:
  explicit InputFile(const std::filesystem::path& path);  // throws FileError(Read)
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::uint64_t size() const { return size_; }
  // Reads up to n bytes; returns fewer only at the end of the file.
  std::size_t Read(void* buf, std::size_t n);  // throws FileError(Read)
  int fd() const { return fd_; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Reads a whole regular file into memory.
std::string ReadWholeFile(const std::filesystem::path& path);  // throws FileError(Read)

// Writes a file so that the target is either left as it was or replaced whole:
// the bytes go to a temporary file in the target's folder, which Commit() flushes
// to disk and renames over the target. Without Commit() (a failure, an exception)
// the temporary file is removed and the target is untouched. A write that stores
// fewer bytes than asked is a failure.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::filesystem::path target);  // throws FileError(Create)
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(const void* data, std::size_t n);  // throws FileError(Write)
  void Commit();                                // throws FileError(Write or Create)
  void Discard() noexcept;

  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& temp_path() const { return temp_; }
  int fd() const { return fd_; }

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  int fd_ = -1;
  bool done_ = false;
};

// True when both paths name the same existing file (hard or symbolic links included).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace uy
