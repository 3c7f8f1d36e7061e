// SPDX-License-Identifier: GPL-3.0-or-later
// Recoding speed: a whole document on disk against cp of the same file (warm cache),
// and the in-memory pass against memcpy. Prints MB/s and ratios.
//
// Usage: bench_recode [--mib N] [--dir FOLDER] [--reps N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pass.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Office-document-like content: mostly binary noise, with runs of UTF-16 Arabic text.
void FillDocument(std::vector<std::uint8_t>& buf, std::mt19937_64& rng) {
  for (std::size_t i = 0; i + 8 <= buf.size(); i += 8) {
    const std::uint64_t r = rng();
    std::memcpy(&buf[i], &r, 8);
  }
  for (std::size_t i = 0; i + 2 <= buf.size(); i += 2) {
    if ((i / 4096) % 3 == 0) {  // a third of the blocks hold Arabic-block text
      buf[i + 1] = 0x06;
      buf[i] = static_cast<std::uint8_t>(0x21 + buf[i] % 0xAF);
    }
  }
}

void WriteTestFile(const fs::path& path, std::uint64_t bytes) {
  std::mt19937_64 rng(7);
  std::vector<std::uint8_t> block(std::size_t{8} << 20);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) { std::perror("open"); std::exit(1); }
  for (std::uint64_t done = 0; done < bytes;) {
    FillDocument(block, rng);
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), bytes - done));
    if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) { std::perror("write"); std::exit(1); }
    done += n;
  }
  ::fsync(fd);
  ::close(fd);
}

void ReadWhole(const fs::path& path) {  // warms the page cache
  std::vector<char> buf(std::size_t{8} << 20);
  const int fd = ::open(path.c_str(), O_RDONLY);
  while (::read(fd, buf.data(), buf.size()) > 0) {}
  ::close(fd);
}

void RunCp(const fs::path& from, const fs::path& to) {
  std::string a = from.string(), b = to.string();
  char cp[] = "cp";
  char* argv[] = {cp, a.data(), b.data(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0) { std::perror("cp"); std::exit(1); }
  int status = 0;
  ::waitpid(pid, &status, 0);
}

void FsyncFile(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  ::fsync(fd);
  ::close(fd);
}

// The same read-recode-write loop without the final flush to disk, to show what the
// flush costs and what the loop itself costs against cp.
void RecodeWithoutFlush(const fs::path& from, const fs::path& to) {
  const int in = ::open(from.c_str(), O_RDONLY);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::uint8_t> buf(std::size_t{1} << 20);
  bool header = true;
  for (ssize_t n; (n = ::read(in, buf.data(), header ? 2560 : buf.size())) > 0; header = false) {
    if (!header) uy::recode::RecodeUnits(std::span(buf.data(), static_cast<std::size_t>(n)), 0);
    if (::write(out, buf.data(), static_cast<std::size_t>(n)) != n) { std::perror("write"); std::exit(1); }
  }
  ::close(in);
  ::close(out);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t mib = 1024;
  fs::path dir = fs::temp_directory_path();
  int reps = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--mib") mib = std::stoull(argv[i + 1]);
    else if (a == "--dir") dir = argv[i + 1];
    else if (a == "--reps") reps = std::stoi(argv[i + 1]);
  }
  const std::uint64_t bytes = mib << 20;
  const fs::path in = dir / "uy-bench-input.doc";
  const fs::path out_cp = dir / "uy-bench-cp.doc";
  const fs::path out_rc = dir / "uy-bench-recoded.doc";
  const double mb = static_cast<double>(bytes) / 1e6;

  std::printf("recode benchmark: %llu MiB document in %s, %d runs each (median)\n",
              static_cast<unsigned long long>(mib), dir.c_str(), reps);
  WriteTestFile(in, bytes);
  ReadWhole(in);

  std::vector<double> t_cp, t_cp_sync, t_rc, t_loop;
  for (int r = 0; r < reps; ++r) {
    fs::remove(out_cp);
    auto a = Clock::now();
    RunCp(in, out_cp);
    auto b = Clock::now();
    FsyncFile(out_cp);
    auto c = Clock::now();
    t_cp.push_back(Seconds(a, b));
    t_cp_sync.push_back(Seconds(a, c));
    fs::remove(out_cp);

    fs::remove(out_rc);
    a = Clock::now();
    uy::recode::RecodeDocument(in, out_rc, 0, nullptr);  // flushes to disk before the rename
    b = Clock::now();
    t_rc.push_back(Seconds(a, b));
    fs::remove(out_rc);

    a = Clock::now();
    RecodeWithoutFlush(in, out_rc);
    b = Clock::now();
    t_loop.push_back(Seconds(a, b));
    fs::remove(out_rc);
  }
  const double cp = Median(t_cp), cps = Median(t_cp_sync), rc = Median(t_rc), loop = Median(t_loop);
  std::printf("  cp                    %8.3f s  %8.0f MB/s\n", cp, mb / cp);
  std::printf("  cp + fsync of output  %8.3f s  %8.0f MB/s\n", cps, mb / cps);
  std::printf("  recode (with fsync)   %8.3f s  %8.0f MB/s\n", rc, mb / rc);
  std::printf("  recode loop, no fsync %8.3f s  %8.0f MB/s\n", loop, mb / loop);
  std::printf("  ratio recode / cp         %.2f x\n", rc / cp);
  std::printf("  ratio recode / (cp+fsync) %.2f x   (both durable on disk)\n", rc / cps);
  std::printf("  ratio loop / cp           %.2f x   (both only in the page cache)\n", loop / cp);
  fs::remove(in);

  // In memory: the pass over a buffer against memcpy of the same buffer.
  const std::size_t mem = std::size_t{256} << 20;
  std::vector<std::uint8_t> src(mem), dst(mem);
  std::mt19937_64 rng(11);
  FillDocument(src, rng);
  std::vector<double> t_copy, t_pass;
  for (int r = 0; r < 5; ++r) {
    auto a = Clock::now();
    std::memcpy(dst.data(), src.data(), mem);
    auto b = Clock::now();
    t_copy.push_back(Seconds(a, b));
    a = Clock::now();
    uy::recode::RecodeBuffer(dst, 0);
    b = Clock::now();
    t_pass.push_back(Seconds(a, b));
  }
  const double mem_mb = static_cast<double>(mem) / 1e6;
  const double tc = Median(t_copy), tp = Median(t_pass);
  std::printf("in memory (256 MiB, a third of it Arabic-block text):\n");
  std::printf("  memcpy                %8.0f MB/s\n", mem_mb / tc);
  std::printf("  recoding pass         %8.0f MB/s\n", mem_mb / tp);
  std::printf("  ratio pass / memcpy       %.2f x\n", tp / tc);
  return 0;
}
