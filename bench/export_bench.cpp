// SPDX-License-Identifier: GPL-3.0-or-later
// Shaping and visual ordering of a ~20 MB Uyghur-like corpus: our export engine against
// ICU (u_shapeArabic + ubidi), FriBidi (fribidi_log2vis with Arabic shaping) and a plain
// per-line reverse copy as the floor. Prints MB/s of UTF-16 input and ratios, then where
// the libraries' output differs from ours: the order is the same right-to-left paragraph
// order, so what differs are the shaping table's own forms (U+06D5, U+06AD, U+06BE...).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unicode/ubidi.h>
#include <unicode/ushape.h>
#ifdef UY_HAVE_FRIBIDI
#include <fribidi.h>
#endif

#include "letters.h"
#include "visual.h"

namespace {

using Lines = std::vector<std::u16string>;

Lines MakeCorpus(std::size_t target_bytes) {
  std::mt19937 rng(20111);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const std::u16string arabic_punct = u"\u060C\u061B\u061F";
  const std::u16string ascii_punct = u".,!:-;?";
  const char16_t* latin[] = {u"Unicode", u"PDF", u"Windows", u"Qt", u"km", u"OK", u"email"};
  Lines lines;
  std::size_t bytes = 0;
  while (bytes < target_bytes) {
    std::u16string line;
    while (line.size() < 55 + pick(10)) {
      if (!line.empty()) line += u' ';
      const std::size_t kind = pick(100);
      if (kind < 78) {
        const std::size_t len = 2 + pick(8);
        // Alef and lam appear often in the language, so lam-alef pairs come up.
        for (std::size_t i = 0; i < len; ++i) {
          const std::size_t r = pick(100);
          line += r < 10 ? u'\u0627' : r < 16 ? u'\u0644' : uy::kLetters[pick(uy::kLetters.size())].code;
        }
      } else if (kind < 86) {
        line += std::u16string(u"0123456789").substr(pick(10), 1 + pick(3));
      } else if (kind < 91) {
        line += latin[pick(std::size(latin))];
      } else if (kind < 96) {
        const std::u16string open = u"([{\u00AB", close = u")]}\u00BB";
        const std::size_t b = pick(open.size());
        line += open[b];
        for (std::size_t i = 0, n = 2 + pick(6); i < n; ++i) line += uy::kLetters[pick(33)].code;
        line += close[b];
      } else {
        line += uy::kLetters[pick(33)].code;
      }
      const std::size_t p = pick(100);
      if (p < 6) line += arabic_punct[pick(arabic_punct.size())];
      else if (p < 10) line += ascii_punct[pick(ascii_punct.size())];
    }
    bytes += line.size() * 2;
    lines.push_back(std::move(line));
  }
  return lines;
}

// Each engine turns one logical line into its visual line in `out`.
struct Engine {
  const char* name;
  void (*convert)(const std::u16string& line, std::u16string& out);
};

void Ours(const std::u16string& line, std::u16string& out) {
  out.clear();
  uy::exporter::AppendVisualLine(line, out);
}

void Floor(const std::u16string& line, std::u16string& out) {
  out.resize(line.size());
  std::reverse_copy(line.begin(), line.end(), out.begin());
}

UBiDi* Bidi() {
  static UBiDi* bidi = [] {
    UErrorCode err = U_ZERO_ERROR;
    return ubidi_openSized(4096, 0, &err);
  }();
  return bidi;
}

void Icu(const std::u16string& line, std::u16string& out) {
  thread_local std::u16string shaped;
  UErrorCode err = U_ZERO_ERROR;
  shaped.resize(line.size() + 16);
  const int32_t n = u_shapeArabic(line.data(), static_cast<int32_t>(line.size()), shaped.data(),
                                  static_cast<int32_t>(shaped.size()),
                                  U_SHAPE_LETTERS_SHAPE | U_SHAPE_LENGTH_GROW_SHRINK, &err);
  ubidi_setPara(Bidi(), shaped.data(), n, UBIDI_RTL, nullptr, &err);
  out.resize(static_cast<std::size_t>(n) + 16);
  const int32_t m = ubidi_writeReordered(Bidi(), out.data(), static_cast<int32_t>(out.size()),
                                         UBIDI_DO_MIRRORING, &err);
  if (U_FAILURE(err)) {
    std::fprintf(stderr, "ICU failed: %s\n", u_errorName(err));
    std::exit(1);
  }
  out.resize(static_cast<std::size_t>(m));
}

#ifdef UY_HAVE_FRIBIDI
// UTF-16 to UTF-32 and back counts as part of the work: the corpus has no surrogates.
// The ligature leaves U+FEFF in the alef's place; it is dropped.
void FriBidi(const std::u16string& line, std::u16string& out) {
  thread_local std::vector<FriBidiChar> in32, out32;
  in32.assign(line.begin(), line.end());
  out32.resize(line.size() + 1);
  FriBidiParType dir = FRIBIDI_PAR_RTL;
  fribidi_log2vis(in32.data(), static_cast<FriBidiStrIndex>(in32.size()), &dir, out32.data(),
                  nullptr, nullptr, nullptr);
  out.clear();
  for (std::size_t i = 0; i < line.size(); ++i)
    if (out32[i] != FRIBIDI_CHAR_FILL) out += static_cast<char16_t>(out32[i]);
}
#endif

double Seconds(const Engine& e, const Lines& lines, std::uint64_t* sum) {
  std::u16string out;
  out.reserve(4096);
  double best = 1e9;
  for (int rep = 0; rep < 3; ++rep) {
    std::uint64_t h = 1469598103934665603ull;
    const auto t0 = std::chrono::steady_clock::now();
    for (const auto& l : lines) {
      e.convert(l, out);
      h = (h ^ out.size()) * 1099511628211ull ^ (out.empty() ? 0 : out[0]);
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    best = std::min(best, s);
    *sum = h;
  }
  return best;
}

std::string Hex(const std::u16string& s) {
  std::string r;
  char buf[8];
  for (char16_t c : s) {
    std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(c));
    r += buf;
  }
  return r;
}

// Compares an engine's lines with ours and tallies the first differing unit pair.
void Compare(const Engine& e, const Lines& lines, std::size_t sample) {
  std::map<std::pair<char16_t, char16_t>, std::size_t> first_diff;
  std::size_t same = 0, differ = 0, length_differs = 0, shown = 0, shown_ascii = 0;
  std::u16string a, b;
  for (std::size_t i = 0; i < std::min(sample, lines.size()); ++i) {
    Ours(lines[i], a);
    e.convert(lines[i], b);
    if (a == b) {
      ++same;
      continue;
    }
    ++differ;
    if (a.size() != b.size()) ++length_differs;
    const auto mm = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    if (mm.first != a.end() && mm.second != b.end()) ++first_diff[{*mm.first, *mm.second}];
    // Differences of order rather than of forms show first at an ASCII unit.
    if (shown_ascii < 2 && mm.first != a.end() && *mm.first < 0x80) {
      std::printf("    order: line   %s\n           ours   %s\n           %-6s %s\n",
                  Hex(lines[i]).c_str(), Hex(a).c_str(), e.name, Hex(b).c_str());
      ++shown_ascii;
    }
    if (shown < 2 && lines[i].size() < 70) {
      std::printf("    line   %s\n    ours   %s\n    %-6s %s\n", Hex(lines[i]).c_str(), Hex(a).c_str(),
                  e.name, Hex(b).c_str());
      ++shown;
    }
  }
  std::printf("  %s: %zu of %zu lines identical, %zu differ (%zu in length)\n", e.name, same,
              same + differ, differ, length_differs);
  std::vector<std::pair<std::size_t, std::pair<char16_t, char16_t>>> top;
  for (const auto& [k, v] : first_diff) top.push_back({v, k});
  std::sort(top.rbegin(), top.rend());
  std::printf("  first differing unit (ours -> %s), most frequent:\n", e.name);
  for (std::size_t i = 0; i < std::min<std::size_t>(12, top.size()); ++i)
    std::printf("    U+%04X -> U+%04X  %zu lines\n", static_cast<unsigned>(top[i].second.first),
                static_cast<unsigned>(top[i].second.second), top[i].first);
}

// Short lines that show one difference each.
void Probe(const std::vector<Engine>& engines) {
  const std::u16string probes[] = {
      u"\u0626\u0627",            // hamza carrier before alef
      u"\u0628 \u0626",            // hamza carrier alone after a word
      u"\u0628\u06BE\u0628",      // heh doachashmee medial
      u"\u0628\u06BE",            // heh doachashmee final
      u"\u06D5\u0628\u06D5",      // ae
      u"\u0628\u06C9",            // yu-like letter final
      u"\u062A\u0649\u0644\u0649",  // alef maksura initial/medial
      u"\u0628 12 34",            // numbers around a space
      u"\u0628 1-2",              // numbers around a hyphen
      u"\u0628 3.14",             // decimal number
      u"\u0628 12:30",            // time
      u"1-2 \u0628",               // hyphen with no Arabic letter before the numbers
      u"(\u0628\u0627\u0644\u0627)",
      u"\u0628\u06AD\u0628",      // ng
      u"AB \u0628\u0628, C",       // ASCII comma after an Arabic word
      u"\u0628 Unicode.",          // Latin word and a period
  };
  for (const auto& p : probes) {
    std::printf("  line   %s\n", Hex(p).c_str());
    for (const auto& e : engines) {
      std::u16string out;
      e.convert(p, out);
      std::printf("    %-7s %s\n", e.name, Hex(out).c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const double mb = argc > 1 ? std::atof(argv[1]) : 20.0;
  const Lines lines = MakeCorpus(static_cast<std::size_t>(mb * 1e6));
  std::size_t units = 0;
  for (const auto& l : lines) units += l.size();
  const double megabytes = static_cast<double>(units) * 2 / 1e6;
  std::printf("corpus: %zu lines, %.1f MB of UTF-16 (%zu units)\n\n", lines.size(), megabytes, units);

  std::vector<Engine> engines{{"ours", Ours}, {"floor", Floor}, {"ICU", Icu}};
#ifdef UY_HAVE_FRIBIDI
  engines.push_back({"FriBidi", FriBidi});
#endif
  std::vector<double> speed;
  for (const auto& e : engines) {
    std::uint64_t sum = 0;
    const double s = Seconds(e, lines, &sum);
    speed.push_back(megabytes / s);
    std::printf("%-8s %8.3f s  %8.1f MB/s  (checksum %016llx)\n", e.name, s, speed.back(),
                static_cast<unsigned long long>(sum));
  }
  std::printf("\nours / floor   %6.2f\n", speed[0] / speed[1]);
  std::printf("ours / ICU     %6.2f\n", speed[0] / speed[2]);
  if (speed.size() > 3) std::printf("ours / FriBidi %6.2f\n", speed[0] / speed[3]);

  std::printf("\nDifferences on the corpus:\n");
  for (std::size_t i = 2; i < engines.size(); ++i) Compare(engines[i], lines, 20000);
  std::printf("\nProbes (ours, floor, ICU, FriBidi):\n");
  Probe(engines);
  return 0;
}
