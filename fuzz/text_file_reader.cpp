// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a text file: decoding never fails, and saving the decoded text
// and loading it again gives back the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const uy::editor::DecodedText first = uy::editor::DecodeTextFile(bytes);
  const std::string saved = uy::editor::EncodeTextFile(first.text);
  if (saved.size() != 2 + 2 * first.text.size()) std::abort();
  const uy::editor::DecodedText again = uy::editor::DecodeTextFile(saved);
  if (again.charset != uy::editor::CharacterSet::csUnicode || again.replaced != 0 || again.text != first.text)
    std::abort();
  return 0;
}
