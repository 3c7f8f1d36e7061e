// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "commands.h"
#include "core/letters.h"
#include "core/utf.h"

namespace uyconv {

int RunKeys(const Args& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << "Usage: uyconv keys STRING...\n\n"
                 "Prints each key string converted to Uyghur text (UTF-8), one per line.\n"
                 "Key strings spell Uyghur letters with Latin keys: / is the hamza carrier,\n"
                 "a-z and D F G H J K are letters, everything else stands for itself.\n";
    return 0;
  }
  if (args.empty()) return UsageError("keys: no key string given");
  for (const std::string& a : args) std::cout << uy::ToUtf8(uy::KeyStringToUyghur(a)) << '\n';
  return 0;
}

}  // namespace uyconv
