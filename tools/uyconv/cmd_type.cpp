// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "commands.h"
#include "keyboard.h"
#include "utf.h"

namespace uyconv {

int RunType(const Args& args) {
  if (args.size() > 1) return UsageError("type: give the text as one argument (quote it) or on stdin");
  const bool from_arg = !args.empty();
  const std::string input =
      from_arg ? args[0] : ReadStandardInput();
  std::cout << uy::ToUtf8(uy::editor::TypeKeys(uy::FromUtf8(input)));
  if (from_arg) std::cout << '\n';
  return std::cout.flush() ? 0 : 1;
}

}  // namespace uyconv
