// A plain, slow model of the shaping and export rules, written step by step from the
// rules rather than from the engine, to check the engine against on random text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace exportmodel {

bool IsRtl(char16_t c);
std::u16string Shape(const std::u16string& run);
std::u16string Convert(const std::u16string& line);
std::u16string Visual(const std::u16string& line);

// Random text built to hit the rules often: letters with rows (lam and alef favoured),
// RTL punctuation, brackets, digits, Latin, ASCII punctuation, presentation forms, U+0000,
// surrogate pairs and other units. Line breaks (CR, LF, U+2028) are never produced;
// lone surrogates only when `lone_surrogates`.
class RandomText {
 public:
  explicit RandomText(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  std::u16string Line(std::size_t length, bool lone_surrogates);
  std::uint32_t Next();

 private:
  std::uint64_t state_;
};

}  // namespace exportmodel
