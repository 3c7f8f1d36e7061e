// SPDX-License-Identifier: GPL-3.0-or-later
// Whole processes over one generated corpus file: `uyconv export FILE` against the ICU
// baseline program, output to /dev/null. Prints the best of five wall times, the ratio
// and the peak RSS of each. Usage: bench_export_cli [MB] (default 20).
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "letters.h"
#include "utf.h"

namespace {

// Uyghur words (lam-alef pairs frequent), numbers, Latin words, brackets, punctuation.
void WriteCorpus(const std::string& path, double megabytes) {
  std::mt19937 rng(20111);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const char16_t* latin[] = {u"Unicode", u"PDF", u"Windows", u"Qt", u"km", u"OK", u"email"};
  std::ofstream out(path, std::ios::binary);
  std::size_t bytes = 0;
  std::u16string line;
  while (bytes < megabytes * 1e6) {
    line.clear();
    while (line.size() < 55 + pick(10)) {
      if (!line.empty()) line += u' ';
      const std::size_t kind = pick(100);
      if (kind < 80) {
        for (std::size_t i = 0, len = 2 + pick(8); i < len; ++i) {
          const std::size_t r = pick(100);
          line += r < 10 ? u'\u0627' : r < 16 ? u'\u0644' : uy::kLetters[pick(uy::kLetters.size())].code;
        }
      } else if (kind < 88) {
        line += std::u16string(u"0123456789").substr(pick(10), 1 + pick(3));
      } else if (kind < 92) {
        line += latin[pick(std::size(latin))];
      } else {
        line += u'(';
        for (std::size_t i = 0, n = 2 + pick(6); i < n; ++i) line += uy::kLetters[pick(33)].code;
        line += u')';
      }
      if (pick(100) < 8) line += u"\u060C.:!"[pick(4)];
    }
    const std::string utf8 = uy::ToUtf8(line) + "\n";
    out << utf8;
    bytes += utf8.size();
  }
}

struct Run {
  double seconds;
  long max_rss_kb;
};

Run Measure(const std::string& program, const std::vector<std::string>& args) {
  Run best{1e9, 0};
  for (int rep = 0; rep < 5; ++rep) {
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "%s failed\n", program.c_str());
      std::exit(1);
    }
    best.seconds = std::min(best.seconds, s);
    best.max_rss_kb = std::max(best.max_rss_kb, usage.ru_maxrss);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const double mb = argc > 1 ? std::atof(argv[1]) : 20.0;
  const std::string dir = std::filesystem::temp_directory_path() / ("uy_export_bench." + std::to_string(getpid()));
  std::filesystem::create_directory(dir);
  const std::string corpus = dir + "/corpus.txt";
  WriteCorpus(corpus, mb);
  std::printf("corpus: %.1f MB of UTF-8\n", static_cast<double>(std::filesystem::file_size(corpus)) / 1e6);
  const Run ours = Measure(UY_UYCONV, {"export", corpus});
  const Run icu = Measure(UY_ICU_BASELINE, {corpus});
  std::printf("uyconv export  %7.3f s  peak RSS %6ld KB\n", ours.seconds, ours.max_rss_kb);
  std::printf("ICU baseline   %7.3f s  peak RSS %6ld KB\n", icu.seconds, icu.max_rss_kb);
  std::printf("uyconv / ICU   %7.2f x faster\n", icu.seconds / ours.seconds);
  std::filesystem::remove_all(dir);
  return 0;
}
