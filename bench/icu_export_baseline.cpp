// SPDX-License-Identifier: GPL-3.0-or-later
// The export as a plain ICU program, the baseline for `uyconv export`: reads UTF-8 text
// line by line, shapes every line with u_shapeArabic, orders it as a right-to-left
// paragraph with ubidi (mirroring at odd levels) and writes UTF-8 lines.
// Usage: icu_export_baseline FILE > OUT
#include <unicode/ubidi.h>
#include <unicode/ushape.h>
#include <unicode/ustring.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icu_export_baseline FILE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  UErrorCode err = U_ZERO_ERROR;
  UBiDi* bidi = ubidi_open();
  std::string line, utf8;
  std::vector<UChar> text, shaped, visual;
  while (std::getline(in, line)) {
    int32_t n = 0;
    text.resize(line.size() + 1);
    u_strFromUTF8(text.data(), static_cast<int32_t>(text.size()), &n, line.data(),
                  static_cast<int32_t>(line.size()), &err);
    shaped.resize(static_cast<std::size_t>(n) + 1);
    const int32_t m = u_shapeArabic(text.data(), n, shaped.data(), static_cast<int32_t>(shaped.size()),
                                    U_SHAPE_LETTERS_SHAPE | U_SHAPE_LENGTH_GROW_SHRINK, &err);
    ubidi_setPara(bidi, shaped.data(), m, UBIDI_RTL, nullptr, &err);
    visual.resize(static_cast<std::size_t>(m) + 1);
    const int32_t v = ubidi_writeReordered(bidi, visual.data(), static_cast<int32_t>(visual.size()),
                                           UBIDI_DO_MIRRORING, &err);
    int32_t bytes = 0;
    utf8.resize(static_cast<std::size_t>(v) * 3 + 1);
    u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &bytes, visual.data(), v, &err);
    if (U_FAILURE(err)) {
      std::fprintf(stderr, "ICU failed: %s\n", u_errorName(err));
      return 1;
    }
    utf8.resize(static_cast<std::size_t>(bytes));
    utf8 += '\n';
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  }
  ubidi_close(bidi);
  return 0;
}
