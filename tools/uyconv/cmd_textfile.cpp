// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "text_file.h"
#include "utf.h"

namespace uyconv {
namespace {

int FileFailure(const uy::editor::TextFileError& e) {
  Error(e.Describe());
  return 1;
}

}  // namespace

int RunCat(const Args& args) {
  if (args.size() != 1) return UsageError("cat: give exactly one FILE");
  // A piece at a time: memory stays bounded whatever the file's size, and a failed
  // write (a reader that went away) ends the run at once.
  std::size_t lone_surrogates = 0;
  std::optional<uy::editor::TextFileReader> reader;
  try {
    reader.emplace(args[0]);
    std::u16string piece;
    while (reader->Next(piece)) {
      std::erase(piece, u'\r');  // a CR only comes before an LF here
      lone_surrogates += uy::editor::CountLoneSurrogates(piece);
      const std::string bytes = uy::ToUtf8(piece);
      if (!std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return 1;
    }
  } catch (const uy::editor::TextFileError& e) {
    return FileFailure(e);
  }
  if (reader->replaced() > 0)
    Error("warning: " + args[0] + ": " + std::to_string(reader->replaced()) +
          " malformed or unmappable sequence(s) shown as U+FFFD");
  if (reader->odd_last_byte())
    Error("warning: " + args[0] + ": the last byte is half a UTF-16 unit; it is left out");
  if (lone_surrogates > 0)
    Error("warning: " + args[0] + ": " + std::to_string(lone_surrogates) +
          " lone UTF-16 surrogate(s) shown as U+FFFD");
  return std::cout.flush() ? 0 : 1;
}

int RunSave(const Args& args) {
  if (args.size() != 1) return UsageError("save: give exactly one FILE");
  const std::string input = ReadStandardInput();
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
