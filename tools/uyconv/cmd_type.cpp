// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>
#include <iterator>

#include "commands.h"
#include "core/utf.h"
#include "editor/keyboard.h"

namespace uyconv {

int RunType(const Args& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << "Usage: uyconv type [TEXT]\n\n"
                 "Types TEXT (or standard input) on the editor's phonetic keyboard in Uyghur\n"
                 "mode and prints the resulting text as UTF-8. Every character is one\n"
                 "keystroke: letters, punctuation and the capitals' symbols and phrases are\n"
                 "mapped, brackets are swapped, a vowel at a word start gets the hamza carrier.\n"
                 "Backspace (0x08) deletes the character before it; a newline (LF, CR or\n"
                 "CR LF) is Enter and prints as LF; other control characters insert nothing.\n"
                 "A TEXT argument is followed by a newline in the output; standard input is\n"
                 "printed exactly as typed.\n";
    return 0;
  }
  if (args.size() > 1) return UsageError("type: give the text as one argument (quote it) or on stdin");
  const bool from_arg = !args.empty();
  const std::string input =
      from_arg ? args[0] : std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  std::cout << uy::ToUtf8(uy::TypeKeys(uy::FromUtf8(input)));
  if (from_arg) std::cout << '\n';
  return std::cout.flush() ? 0 : 1;
}

}  // namespace uyconv
