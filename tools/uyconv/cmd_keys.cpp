// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "commands.h"
#include "letters.h"
#include "utf.h"

namespace uyconv {

int RunKeys(const Args& args) {
  if (args.empty()) return UsageError("keys: no key string given");
  for (const std::string& a : args) std::cout << uy::ToUtf8(uy::KeyStringToUyghur(a)) << '\n';
  return 0;
}

}  // namespace uyconv
