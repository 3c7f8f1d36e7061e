// SPDX-License-Identifier: GPL-3.0-or-later
// uymimgen METHOD OUTPUT: writes an input method for the m17n library.
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "phonetic_mim.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::string_view(argv[1]) != "phonetic") {
    std::fprintf(stderr, "usage: uymimgen phonetic OUTPUT.mim\n");
    return 2;
  }
  const std::string text = uy::mimgen::PhoneticMim();
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "uymimgen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
