// SPDX-License-Identifier: GPL-3.0-or-later
// Text documents recoded by content: a UTF-8 legacy text and an HTML page of the same
// size, each recoded in a child process (time and peak memory), against cp + fsync of
// the same file and against the in-memory recoders over the file held whole.
//
// Usage: bench_text [--mb N] [--dir FOLDER]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "file_io.h"
#include "formats.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
namespace rc = uy::recode;
namespace fm = uy::formats;

struct Run {
  double seconds;
  long peak_kb;  // of the child process
};

// Runs `work` in a child process and measures it.
template <class F>
Run InChild(F work) {
  const auto a = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    work();
    ::_exit(0);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  return {std::chrono::duration<double>(Clock::now() - a).count(), usage.ru_maxrss};
}

void Write(const fs::path& path, const std::string& head, const std::string& line, std::uint64_t bytes) {
  std::ofstream f(path, std::ios::binary);
  f << head;
  std::string block;
  while (block.size() < (1u << 20)) block += line;
  for (std::uint64_t n = head.size(); n < bytes; n += block.size()) f << block;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t mb = 70;
  fs::path dir = fs::temp_directory_path();
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--mb") mb = std::stoull(argv[i + 1]);
    else if (a == "--dir") dir = argv[i + 1];
  }
  const std::uint64_t bytes = mb * 1000 * 1000;
  struct Doc {
    const char* name;
    fs::path path;
  } docs[] = {{"UTF-8 legacy text", dir / "uy-bench-legacy.txt"}, {"HTML", dir / "uy-bench-page.html"}};
  Write(docs[0].path, "", "\u0626\u06C7\u064A\u063A\u06C7\u0631 \u0638\u0626\u0639\u0649 text 123\n", bytes);
  Write(docs[1].path, "<html><body>\n", "<p>\u0638\u0626 &#1592;&#x638; &#1574 text \u0639\u0649</p>\n", bytes);
  const fs::path out = dir / "uy-bench-out";

  std::printf("text benchmark: %llu MB documents in %s\n", static_cast<unsigned long long>(mb), dir.c_str());
  std::printf("%-18s %28s %28s %28s\n", "", "recode by content", "cp + fsync", "held whole, in memory");
  for (const Doc& d : docs) {
    const Run cp = InChild([&] {
      execlp("sh", "sh", "-c", ("cp '" + d.path.string() + "' '" + out.string() + "' && sync '" + out.string() + "'").c_str(),
             static_cast<char*>(nullptr));
    });
    fs::remove(out);
    const Run recode = InChild([&] { fm::RecodeByContent(d.path, out, 0, nullptr); });
    fs::remove(out);
    const Run whole = InChild([&] {
      std::string data = uy::ReadWholeFile(d.path);
      std::span<std::uint8_t> b(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
      fm::RecodeUtf8(b, 0);
      fm::RecodeCharacterReferences(b, 0);
    });
    std::printf("%-18s %10.2f s %10ld KB      %10.2f s %10ld KB      %10.2f s %10ld KB\n", d.name,
                recode.seconds, recode.peak_kb, cp.seconds, cp.peak_kb, whole.seconds, whole.peak_kb);
    std::printf("%-18s time %.2fx cp, peak memory %.3fx the document\n", "", recode.seconds / cp.seconds,
                static_cast<double>(recode.peak_kb) * 1024.0 / static_cast<double>(bytes));
    fs::remove(d.path);
  }
  return 0;
}
