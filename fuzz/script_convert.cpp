// SPDX-License-Identifier: GPL-3.0-or-later
// The script converter on arbitrary text. The first byte chooses the direction (its low
// nibble, modulo 12: every ordered pair of the four scripts, the six through UEY first) and
// the options (0x10 the built-in word list, 0x20 no wrapping, 0x40 é); the rest is UTF-16LE
// text (an odd last byte dropped).
//
// Convert: one map entry per output unit, never decreasing, each a unit of the input; the
// output at most 16 units per input unit (plus a line's slack). Fed in pieces (their sizes
// taken from the text itself) the converter gives the same output and map as the whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "script.h"
#include "utf.h"

namespace {

using uy::script::Script;

constexpr Script kPairs[12][2] = {
    {Script::Uey, Script::Uly}, {Script::Uly, Script::Uey}, {Script::Uey, Script::Uky},
    {Script::Uky, Script::Uey}, {Script::Uey, Script::Uyy}, {Script::Uyy, Script::Uey},
    {Script::Uly, Script::Uky}, {Script::Uky, Script::Uly}, {Script::Uly, Script::Uyy},
    {Script::Uyy, Script::Uly}, {Script::Uky, Script::Uyy}, {Script::Uyy, Script::Uky},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0];
  uy::script::Options o;
  o.from = kPairs[(mode & 0x0F) % 12][0];
  o.to = kPairs[(mode & 0x0F) % 12][1];
  o.words = (mode & 0x10) ? &uy::script::WordList::BuiltIn() : nullptr;
  o.wrap = (mode & 0x20) == 0;
  o.e_acute = (mode & 0x40) != 0;
  std::u16string text((size - 1) / 2, u'\0');
  uy::DecodeUtf16Bytes({data + 1, size - 1}, false, text.data());

  std::vector<std::size_t> map;
  const std::u16string whole = uy::script::Convert(text, o, &map);
  FUZZ_CHECK(map.size() == whole.size());
  FUZZ_CHECK(whole.size() <= 16 * text.size() + 64);
  for (std::size_t k = 0; k < map.size(); ++k) {
    FUZZ_CHECK(map[k] < text.size());
    if (k > 0) FUZZ_CHECK(map[k - 1] <= map[k]);
  }

  uy::script::Converter c(o);
  std::u16string out;
  std::vector<std::size_t> piece_map;
  for (std::size_t pos = 0, i = 0; pos < text.size(); ++i) {
    const std::size_t len = std::min<std::size_t>(text.size() - pos, 1 + text[i % text.size()] % 17);
    c.Feed(std::u16string_view(text).substr(pos, len), out, &piece_map);
    pos += len;
  }
  c.Finish(out, &piece_map);
  FUZZ_CHECK(out == whole);
  FUZZ_CHECK(piece_map == map);
  // Without a map the output is the same.
  FUZZ_CHECK(uy::script::Convert(text, o) == whole);
  return 0;
}
