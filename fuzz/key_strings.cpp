// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a key string: one unit per byte; the 33 keys '/', 'a' to 'z', 'D',
// 'F', 'G', 'H', 'J', 'K' give their letter of the inventory, any other ASCII byte gives
// itself, and a byte of 0x80 or above gives U+FFFD.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "letters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::string_view kKeys = "/abcdefghijklmnopqrstuvwxyzDFGHJK";
  const std::string_view keys(reinterpret_cast<const char*>(data), size);
  const std::u16string out = uy::KeyStringToUyghur(keys);
  FUZZ_CHECK(out.size() == size);
  for (std::size_t i = 0; i < size; ++i) {
    const char16_t c = data[i];
    if (c >= 0x80) {
      FUZZ_CHECK(out[i] == u'\uFFFD');
    } else if (kKeys.find(static_cast<char>(c)) != kKeys.npos) {
      const auto letter = uy::KeyToLetter(static_cast<char>(c));
      FUZZ_CHECK(letter && out[i] == *letter && out[i] >= 0x0600 && out[i] <= 0x06FF);
    } else {
      FUZZ_CHECK(out[i] == c && !uy::KeyToLetter(static_cast<char>(c)));
    }
  }
  return 0;
}
