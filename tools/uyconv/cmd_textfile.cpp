// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>
#include <iterator>

#include "commands.h"
#include "text_file.h"
#include "utf.h"

namespace uyconv {
namespace {

int FileFailure(const uy::editor::TextFileError& e) {
  Error(std::string(e.what()) + (e.reason().empty() ? "" : ": " + e.reason()));
  return 1;
}

}  // namespace

int RunCat(const Args& args) {
  if (args.size() != 1) return UsageError("cat: give exactly one FILE");
  try {
    const uy::editor::DecodedText loaded = uy::editor::LoadFromFile(args[0]);
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
  } catch (const uy::editor::TextFileError& e) {
    return FileFailure(e);
  }
  return std::cout.flush() ? 0 : 1;
}

int RunSave(const Args& args) {
  if (args.size() != 1) return UsageError("save: give exactly one FILE");
  const std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  std::size_t replaced = 0;
  const std::u16string text = uy::editor::NormaliseLineBreaks(uy::FromUtf8(input, &replaced));
  if (replaced > 0)
    Error("warning: standard input: " + std::to_string(replaced) +
          " malformed UTF-8 sequence(s) saved as U+FFFD");
  try {
    uy::editor::SaveToFile(args[0], text);
  } catch (const uy::editor::TextFileError& e) {
    return FileFailure(e);
  }
  return 0;
}

}  // namespace uyconv
