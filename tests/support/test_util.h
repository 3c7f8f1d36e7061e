// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the tests: temporary folders, files, running programs.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace uytest {

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // Names of the entries in the folder, sorted.
  std::vector<std::string> List() const;

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

struct RunResult {
  int status = -1;  // exit status, or -1 when killed
  int signal = 0;   // the signal that killed it
  long max_rss_kb = 0;  // its peak resident memory
  std::string out;
  std::string err;
};

// Runs a program with arguments (no shell), feeding `input` to its stdin. `in_child`
// runs in the child just before the program starts (limits, redirections, alarms).
RunResult RunProgram(const std::vector<std::string>& argv, const std::string& input = "",
                     const std::function<void()>& in_child = {});

// Deterministic pseudo-random bytes.
std::string RandomBytes(std::size_t n, unsigned seed);

// UTF-16LE bytes of `s`, no mark.
std::string Utf16Le(std::u16string_view s);

#ifdef UYCONV_PATH
// The built command-line tool.
inline const std::string kUyconv = UYCONV_PATH;
#endif

// Limits the size of files this process may write, with SIGXFSZ ignored, so that a write
// past the limit fails as on a full disk (a chmod does not stop root). Restores both.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(unsigned long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  unsigned long long old_cur_;
  void (*old_handler_)(int);
};

}  // namespace uytest
