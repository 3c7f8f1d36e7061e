// SPDX-License-Identifier: GPL-3.0-or-later
// The script converter on a few MB of text made of real Uyghur words (the held-out sample of
// the tesseract word list) in sentences with punctuation, numbers and Latin words: MB/s of
// each direction (MB of the source text as UTF-8) beside a plain UTF-8 decode and encode of
// the same text (uy::FromUtf8 + uy::ToUtf8) in the same run, and the ratio. Then the whole
// `uyconv script` process against `uyconv cat` on one generated file. Library times are the
// thread's CPU time, process times wall time.
// Usage: bench_script [MB] [CLI_MB]   (defaults 8 and 100; CLI_MB 0 skips the processes)
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "script.h"
#include "utf.h"

namespace {

using uy::script::Script;
using Clock = std::chrono::steady_clock;

std::u16string MakeCorpus(double megabytes) {
  std::ifstream in(UY_WORDS, std::ios::binary);
  std::vector<std::u16string> words;
  for (std::string w; std::getline(in, w);)
    if (!w.empty()) words.push_back(uy::FromUtf8(w));
  if (words.empty()) {
    std::fprintf(stderr, "no words in %s\n", UY_WORDS);
    std::exit(1);
  }
  std::mt19937 rng(3690);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const char16_t* latin[] = {u"Unicode", u"PDF", u"Windows", u"Qt6", u"www.example.com"};
  std::u16string text;
  std::size_t bytes = 0;
  while (bytes < megabytes * 1e6) {
    std::u16string line;
    for (int sentence = 0, n = 1 + static_cast<int>(pick(4)); sentence < n; ++sentence) {
      for (std::size_t w = 0, len = 4 + pick(10); w < len; ++w) {
        const std::size_t kind = pick(100);
        if (kind < 92) line += words[pick(words.size())];
        else if (kind < 96) line += uy::FromUtf8(std::to_string(pick(3000)));
        else line += latin[pick(std::size(latin))];
        line += w + 1 == len ? u"" : pick(12) == 0 ? u"\u060C " : u" ";
      }
      line += u".\u061F!"[pick(3)];
      line += u' ';
    }
    line.back() = u'\n';
    bytes += uy::ToUtf8(line).size();
    text += line;
  }
  return text;
}

// The best of `reps` runs, in the thread's CPU time (a machine busy with other work slows
// the wall clock, not this).
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

template <typename F>
double Best(F&& f, int reps = 7) {
  double best = 1e9;
  for (int r = 0; r < reps; ++r) {
    const double t0 = CpuSeconds();
    f();
    best = std::min(best, CpuSeconds() - t0);
  }
  return best;
}

struct Run {
  double seconds;
  long max_rss_kb;
};

Run Process(const std::vector<std::string>& args) {
  Run best{1e9, 0};
  for (int rep = 0; rep < 3; ++rep) {
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      std::vector<char*> argv;
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "%s failed\n", args[1].c_str());
      std::exit(1);
    }
    best.seconds = std::min(best.seconds, s);
    best.max_rss_kb = std::max(best.max_rss_kb, usage.ru_maxrss);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const double mb = argc > 1 ? std::atof(argv[1]) : 8.0;
  const double cli_mb = argc > 2 ? std::atof(argv[2]) : 100.0;
  const std::u16string uey = MakeCorpus(mb);
  const std::string uey8 = uy::ToUtf8(uey);
  std::printf("corpus: %.1f MB of UTF-8 (%zu units)\n", uey8.size() / 1e6, uey.size());

  // The baseline: decode the source's UTF-8 and encode it again.
  volatile std::size_t sink = 0;
  auto baseline = [&](const std::string& bytes) {
    return Best([&] { sink = sink + uy::ToUtf8(uy::FromUtf8(bytes)).size(); });
  };

  uy::script::Options o;
  o.words = &uy::script::WordList::BuiltIn();
  std::printf("%-12s %10s %14s %8s\n", "direction", "MB/s", "decode+encode", "ratio");
  const Script others[] = {Script::Uly, Script::Uky, Script::Uyy};
  double worst = 1e9;
  for (const Script s : others) {
    for (const bool back : {false, true}) {
      o.from = back ? s : Script::Uey;
      o.to = back ? Script::Uey : s;
      uy::script::Options there = o;
      there.from = Script::Uey;
      there.to = s;
      const std::u16string source = back ? uy::script::Convert(uey, there) : uey;
      const std::string source8 = uy::ToUtf8(source);
      std::u16string out;
      out.reserve(source.size() * 2);
      const double t = Best([&] {
        out.clear();
        uy::script::Converter c(o);
        c.Feed(source, out);
        c.Finish(out);
        sink = sink + out.size();
      });
      const double base = baseline(source8);
      const double rate = source8.size() / 1e6 / t;
      worst = std::min(worst, rate);
      std::printf("%s -> %s   %10.1f %14.1f %8.2f\n", std::string(uy::script::Code(o.from)).c_str(),
                  std::string(uy::script::Code(o.to)).c_str(), rate, source8.size() / 1e6 / base, base / t);
    }
  }
  {
    o.from = Script::Uey;
    o.to = Script::Uly;
    std::vector<std::size_t> map;
    std::u16string out;
    const double t = Best([&] {
      out.clear();
      map.clear();
      out = uy::script::Convert(uey, o, &map);
    });
    std::printf("uey -> uly with the offset map: %.1f MB/s\n", uey8.size() / 1e6 / t);
  }
  std::printf("slowest direction: %.1f MB/s (goal: 200)\n", worst);

  if (cli_mb > 0) {
    const std::string dir = std::filesystem::temp_directory_path() / ("uy_script_bench." + std::to_string(getpid()));
    std::filesystem::create_directory(dir);
    const std::string file = dir + "/corpus.txt";
    {
      std::ofstream f(file, std::ios::binary);
      for (double written = 0; written < cli_mb * 1e6; written += uey8.size()) f << uey8;
    }
    std::printf("file: %.1f MB\n", std::filesystem::file_size(file) / 1e6);
    const Run cat = Process({UY_UYCONV, "cat", file});
    const Run conv = Process({UY_UYCONV, "script", "--from", "uey", "--to", "uly", file});
    const Run detect = Process({UY_UYCONV, "script", "--to", "uly", file});
    std::printf("uyconv cat                       %7.3f s  peak RSS %7ld KB\n", cat.seconds, cat.max_rss_kb);
    std::printf("uyconv script --from uey --to uly %6.3f s  peak RSS %7ld KB  (%.2f x cat)\n", conv.seconds,
                conv.max_rss_kb, conv.seconds / cat.seconds);
    std::printf("uyconv script --to uly            %6.3f s  peak RSS %7ld KB  (%.2f x cat)\n", detect.seconds,
                detect.max_rss_kb, detect.seconds / cat.seconds);
    std::filesystem::remove_all(dir);
  }
  return 0;
}
