// SPDX-License-Identifier: GPL-3.0-or-later
// A plain, slow model of the shaping and export rules, written step by step from the
// rules rather than from the engine (the ordering is ICU's), to check the engine against
// on random text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace exportmodel {

bool IsRtl(char16_t c);
// ShapeRun; brackets mirrored only when `mirror`.
std::u16string Shape(const std::u16string& run, bool mirror = true);
// The line with every RTL run shaped (brackets as they are), in logical order.
std::u16string Convert(const std::u16string& line);
// A logical line as ICU orders a right-to-left paragraph, mirrored at odd levels.
std::u16string RtlOrder(const std::u16string& logical);
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
