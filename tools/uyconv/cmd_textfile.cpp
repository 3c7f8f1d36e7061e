// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>
#include <iterator>

#include "commands.h"
#include "core/utf.h"
#include "editor/text_file.h"

namespace uyconv {
namespace {

bool WantsHelp(const Args& args) { return !args.empty() && (args[0] == "--help" || args[0] == "-h"); }

int FileFailure(const uy::TextFileError& e) {
  Error(std::string(e.what()) + (e.reason().empty() ? "" : ": " + e.reason()));
  return 1;
}

}  // namespace

int RunCat(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << "Usage: uyconv cat FILE\n\n"
                 "Prints a text file as UTF-8, reading it as the editor opens it: UTF-16\n"
                 "with either byte-order mark, UTF-8 with its mark, or unmarked text (UTF-8\n"
                 "when valid, else code page 936). Line breaks print as LF. Malformed or\n"
                 "unmappable bytes, and UTF-16 surrogates without their other half, print as\n"
                 "U+FFFD and are counted in a warning on stderr.\n";
    return 0;
  }
  if (args.size() != 1) return UsageError("cat: give exactly one FILE");
  try {
    const uy::DecodedText loaded = uy::LoadFromFile(args[0]);
    std::u16string text;
    text.reserve(loaded.text.size());
    for (std::size_t i = 0; i < loaded.text.size(); ++i) {
      if (loaded.text[i] == u'\r' && i + 1 < loaded.text.size() && loaded.text[i + 1] == u'\n') continue;
      text += loaded.text[i];
    }
    std::cout << uy::ToUtf8(text);
    if (loaded.replaced > 0)
      Error("warning: " + args[0] + ": " + std::to_string(loaded.replaced) +
            " malformed or unmappable sequence(s) shown as U+FFFD");
    if (loaded.lone_surrogates > 0)
      Error("warning: " + args[0] + ": " + std::to_string(loaded.lone_surrogates) +
            " lone UTF-16 surrogate(s) shown as U+FFFD");
  } catch (const uy::TextFileError& e) {
    return FileFailure(e);
  }
  return std::cout.flush() ? 0 : 1;
}

int RunSave(const Args& args) {
  if (WantsHelp(args)) {
    std::cout << "Usage: uyconv save FILE\n\n"
                 "Writes UTF-8 text from standard input to FILE as the editor saves it:\n"
                 "byte-order mark FF FE, then little-endian UTF-16 with CR LF line breaks.\n"
                 "An existing FILE is replaced only once everything was written; on a\n"
                 "failure it stays as it was.\n";
    return 0;
  }
  if (args.size() != 1) return UsageError("save: give exactly one FILE");
  const std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  std::size_t replaced = 0;
  const std::u16string text = uy::NormaliseLineBreaks(uy::FromUtf8(input, &replaced));
  if (replaced > 0)
    Error("warning: standard input: " + std::to_string(replaced) +
          " malformed UTF-8 sequence(s) saved as U+FFFD");
  try {
    uy::SaveToFile(args[0], text);
  } catch (const uy::TextFileError& e) {
    return FileFailure(e);
  }
  return 0;
}

}  // namespace uyconv
