// SPDX-License-Identifier: GPL-3.0-or-later
// FUZZ_CHECK(condition): a property of a harness. A broken one names itself and aborts,
// which libFuzzer reports as a finding (and the corpus replay as a failed test).
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define FUZZ_CHECK(condition)                                                         \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

// UTF-16 whose surrogates all stand in well-formed pairs.
inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
inline bool WellFormed(std::u16string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (IsHighSurrogate(s[i]) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) ++i;
    else if (IsHighSurrogate(s[i]) || IsLowSurrogate(s[i])) return false;
  }
  return true;
}
