// SPDX-License-Identifier: GPL-3.0-or-later
#include "letters.h"

namespace uy {
namespace {

constexpr std::array<char16_t, 128> MakeKeyTable() {
  std::array<char16_t, 128> table{};
  for (const Letter& l : kLetters) table[static_cast<unsigned char>(l.key)] = l.code;
  return table;
}

constexpr std::array<char16_t, 128> kKeyTable = MakeKeyTable();

}  // namespace

std::optional<char16_t> KeyToLetter(char key) {
  const auto k = static_cast<unsigned char>(key);
  if (k >= kKeyTable.size() || kKeyTable[k] == 0) return std::nullopt;
  return kKeyTable[k];
}

std::u16string KeyStringToUyghur(std::string_view keys) {
  std::u16string out;
  out.reserve(keys.size());
  for (char c : keys) {
    const auto k = static_cast<unsigned char>(c);
    if (k >= 0x80) {
      out.push_back(u'\uFFFD');
    } else {
      out.push_back(kKeyTable[k] != 0 ? kKeyTable[k] : static_cast<char16_t>(k));
    }
  }
  return out;
}

}  // namespace uy
