// SPDX-License-Identifier: GPL-3.0-or-later
// uymimgen METHOD OUTPUT: writes an input method for the m17n library (METHOD: phonetic,
// the editor's keyboard; latin, Latin spelling written in the Arabic script).
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "latin_mim.h"
#include "phonetic_mim.h"

int main(int argc, char** argv) {
  const std::string_view method = argc == 3 ? argv[1] : "";
  if (method != "phonetic" && method != "latin") {
    std::fprintf(stderr, "usage: uymimgen phonetic|latin OUTPUT.mim\n");
    return 2;
  }
  const std::string text = method == "phonetic" ? uy::mimgen::PhoneticMim() : uy::mimgen::LatinMim();
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "uymimgen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
