// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory text recoders over arbitrary bytes. The first byte chooses the direction
// (bits 0-2), the recoder (bits 3-4: UTF-8, UTF-16, character references, rich-text
// escapes) and, for UTF-16, big-endian units (bit 5); the rest is the text.
//
// Properties (the length is kept by the in-place interface):
// - only the bytes of recoded sequences change, and into the same kind of sequence: a
//   two-byte UTF-8 character of U+0600..U+06FF, a UTF-16 unit of that block, the digits
//   of a reference &#N; / &#xH; (the ';' may be missing: then any other byte that is not
//   a digit, or the end, ends it) or of an escape \uN whose value is in that block; so every
//   other byte (all ASCII outside them among others) keeps its value, and valid UTF-8
//   stays valid;
// - the count returned is the number of such sequences that changed;
// - the recoder of whole documents, handed the text in three pieces cut where the input
//   says, gives the result of the whole text at once;
// - for the directions that have a reverse (0/1, 2/3), recoding forth, back and forth
//   again gives what the first recoding gave (the structure survives recoding; for
//   references up to the case of hex digits, which recoding normalises).
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "formats.h"
#include "text_recode.h"
#include "utf.h"

namespace {

namespace rc = uy::recode;
namespace fm = uy::formats;
using Bytes = std::vector<std::uint8_t>;

enum Mode { kUtf8, kUtf16, kReferences, kRtf };

std::size_t Recode(Bytes& b, Mode mode, bool big_endian, int direction) {
  switch (mode) {
    case kUtf8: return fm::RecodeUtf8(b, direction);
    case kUtf16: return fm::RecodeUtf16(b, big_endian, direction);
    case kReferences: return fm::RecodeCharacterReferences(b, direction);
    case kRtf: return fm::RecodeRtfEscapes(b, direction);
  }
  return 0;
}

bool InBlock(std::uint32_t v) { return v >= 0x0600 && v <= 0x06FF; }
bool Lead(std::uint8_t c) { return c >= 0xD8 && c <= 0xDB; }
bool Continuation(std::uint8_t c) { return (c & 0xC0) == 0x80; }
bool Digit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// The digits [first, last) around `at` in `b`, read in `base`.
std::uint32_t Value(const Bytes& b, std::size_t first, std::size_t last, unsigned base) {
  std::uint32_t v = 0;
  for (std::size_t k = first; k < last && v <= 0xFFFF; ++k)
    v = v * base + static_cast<std::uint32_t>(Digit(b[k]) ? b[k] - '0' : (b[k] | 0x20) - 'a' + 10);
  return v;
}

// The start of the recoded sequence that holds the changed byte `at`; aborts when the
// byte lies in none.
std::size_t SequenceStart(const Bytes& in, const Bytes& out, std::size_t at, Mode mode, bool big_endian) {
  switch (mode) {
    case kUtf8: {
      const std::size_t s = Lead(in[at]) ? at : at - 1;
      FUZZ_CHECK(at > 0 || Lead(in[at]));
      FUZZ_CHECK(s + 1 < in.size() && Lead(in[s]) && Lead(out[s]));
      FUZZ_CHECK(Continuation(in[s + 1]) && Continuation(out[s + 1]));
      return s;
    }
    case kUtf16: {
      const std::size_t s = at & ~std::size_t{1};
      const std::size_t hi = s + (big_endian ? 0 : 1);
      FUZZ_CHECK(s + 1 < in.size() && in[hi] == 0x06 && out[hi] == 0x06);
      return s;
    }
    case kReferences:
    case kRtf: {
      const bool refs = mode == kReferences;
      auto digit = [&](std::uint8_t c) { return refs ? std::isxdigit(c) != 0 : Digit(c); };
      std::size_t first = at, last = at;
      while (first > 0 && digit(in[first - 1])) --first;
      while (last < in.size() && digit(in[last])) ++last;
      bool hex = false;
      if (refs) {
        hex = first >= 3 && (in[first - 1] | 0x20) == 'x' && in[first - 2] == '#' && in[first - 3] == '&';
        FUZZ_CHECK(hex || (first >= 2 && in[first - 1] == '#' && in[first - 2] == '&'));
        // A decimal reference ends at the first byte that is not a decimal digit.
        if (!hex)
          for (last = at; last < in.size() && Digit(in[last]);) ++last;
        FUZZ_CHECK(last - first <= 32);  // leading zeros included
      } else {
        FUZZ_CHECK(first >= 2 && in[first - 1] == 'u' && in[first - 2] == '\\');
      }
      for (std::size_t k = first; k < last; ++k)
        FUZZ_CHECK(hex ? std::isxdigit(out[k]) != 0 : (Digit(in[k]) && Digit(out[k])));
      const unsigned base = hex ? 16 : 10;
      FUZZ_CHECK(InBlock(Value(in, first, last, base)) && InBlock(Value(out, first, last, base)));
      return first;
    }
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int direction = data[0] & 7;
  const Mode mode = static_cast<Mode>((data[0] >> 3) & 3);
  const bool big_endian = data[0] & 0x20;
  const Bytes in(data + 1, data + size);

  Bytes out = in;
  const std::size_t count = Recode(out, mode, big_endian, direction);
  FUZZ_CHECK(out.size() == in.size());
  std::set<std::size_t> changed;
  for (std::size_t k = 0; k < in.size(); ++k)
    if (in[k] != out[k]) changed.insert(SequenceStart(in, out, k, mode, big_endian));
  FUZZ_CHECK(changed.size() == count);
  if (mode == kUtf8) {
    const std::string_view a(reinterpret_cast<const char*>(in.data()), in.size());
    const std::string_view b(reinterpret_cast<const char*>(out.data()), out.size());
    FUZZ_CHECK(uy::IsValidUtf8(a) == uy::IsValidUtf8(b));
  }

  // Pieces: the text as a whole document of the matching kind, cut twice.
  const fm::DocumentKind kind = mode == kUtf16 ? fm::DocumentKind::kUtf16Text
                                : mode == kRtf ? fm::DocumentKind::kRtf
                                               : fm::DocumentKind::kUtf8Text;
  const std::size_t n = in.size();
  const std::size_t cut1 = n ? in[n - 1] % (n + 1) : 0;
  const std::size_t cut2 = n > 1 ? std::max(cut1, (in[n - 2] * 251u + cut1) % (n + 1)) : cut1;
  std::string whole, pieces;
  fm::TextRecoder one(kind, direction), three(kind, direction);
  one.Feed(in, whole);
  one.Finish(whole);
  const std::span<const std::uint8_t> all(in);
  three.Feed(all.subspan(0, cut1), pieces);
  three.Feed(all.subspan(cut1, cut2 - cut1), pieces);
  three.Feed(all.subspan(cut2), pieces);
  three.Finish(pieces);
  FUZZ_CHECK(whole == pieces && one.changed() == three.changed() && whole.size() == n);

  if (direction > 3) return 0;
  Bytes again = out;
  Recode(again, mode, big_endian, direction ^ 1);
  Recode(again, mode, big_endian, direction);
  if (mode == kReferences) {
    auto fold = [](Bytes& b) { for (auto& c : b) c = static_cast<std::uint8_t>(std::tolower(c)); };
    fold(again);
    fold(out);
  }
  FUZZ_CHECK(again == out);
  return 0;
}
