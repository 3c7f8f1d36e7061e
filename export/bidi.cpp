#include "export/bidi.h"

#include <unicode/ubidi.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

namespace uy::bidi {
namespace {

// Bidi classes ordered here; kOther sends the line to ICU.
constexpr std::uint8_t kL = 0, kR = 1, kAL = 2, kEN = 3, kES = 4, kET = 5, kAN = 6, kCS = 7, kWS = 8,
                       kON = 9, kS = 10, kOther = 11;
constexpr std::uint8_t kTypeMask = 0x0F;
constexpr std::uint8_t kMirrored = 0x10;
constexpr std::uint8_t kOpen = 0x20;
constexpr std::uint8_t kClose = 0x40;

using Info = std::array<std::uint8_t, 0x10000>;

std::uint8_t TypeOf(UCharDirection d) {
  switch (d) {
    case U_LEFT_TO_RIGHT: return kL;
    case U_RIGHT_TO_LEFT: return kR;
    case U_RIGHT_TO_LEFT_ARABIC: return kAL;
    case U_EUROPEAN_NUMBER: return kEN;
    case U_EUROPEAN_NUMBER_SEPARATOR: return kES;
    case U_EUROPEAN_NUMBER_TERMINATOR: return kET;
    case U_ARABIC_NUMBER: return kAN;
    case U_COMMON_NUMBER_SEPARATOR: return kCS;
    case U_WHITE_SPACE_NEUTRAL: return kWS;
    case U_OTHER_NEUTRAL: return kON;
    case U_SEGMENT_SEPARATOR: return kS;
    default: return kOther;  // NSM, BN, B, explicit embeddings and isolates
  }
}

const Info& InfoTable() {
  static const Info table = [] {
    Info t{};
    for (UChar32 c = 0; c < 0x10000; ++c) {
      std::uint8_t v = TypeOf(u_charDirection(c));
      if ((c >= 0xD800 && c < 0xE000) || u_hasBinaryProperty(c, UCHAR_BIDI_CONTROL)) v = kOther;
      // Brackets paired by canonical equivalence are left to ICU.
      if (c == 0x2329 || c == 0x232A || c == 0x3008 || c == 0x3009) v = kOther;
      if (u_isMirrored(c)) v |= kMirrored;
      const auto bpt = u_getIntPropertyValue(c, UCHAR_BIDI_PAIRED_BRACKET_TYPE);
      if (bpt == U_BPT_OPEN) v |= kOpen;
      if (bpt == U_BPT_CLOSE) v |= kClose;
      t[static_cast<std::size_t>(c)] = v;
    }
    return t;
  }();
  return table;
}

char16_t Mirror(char16_t c, std::uint8_t info) {
  return (info & kMirrored) ? static_cast<char16_t>(u_charMirror(c)) : c;
}

// The direction a resolved type counts as for neutrals and brackets: L, R (numbers too),
// or kON for none.
std::uint8_t Strong(std::uint8_t t) {
  return t == kL ? kL : (t == kR || t == kEN || t == kAN) ? kR : kON;
}

// Paired brackets (rule N0) over the resolved types. False when the bracket stack
// overflows, which is left to ICU.
bool ResolveBrackets(std::u16string_view s, const Info& info, std::vector<std::uint8_t>& t) {
  struct Opener {
    char16_t closer;
    std::size_t pos;
  };
  std::array<Opener, 63> stack;
  std::size_t depth = 0;
  thread_local std::vector<std::pair<std::size_t, std::size_t>> pairs;
  pairs.clear();
  for (std::size_t i = 0; i < s.size(); ++i) {
    const std::uint8_t f = info[s[i]];
    if (!(f & (kOpen | kClose)) || t[i] != kON) continue;
    if (f & kOpen) {
      if (depth == stack.size()) return false;
      stack[depth++] = {static_cast<char16_t>(u_getBidiPairedBracket(s[i])), i};
    } else {
      for (std::size_t k = depth; k-- > 0;) {
        if (stack[k].closer == s[i]) {
          pairs.emplace_back(stack[k].pos, i);
          depth = k;
          break;
        }
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  for (const auto& [open, close] : pairs) {
    std::uint8_t inside = kON;
    for (std::size_t k = open + 1; k < close && inside != kR; ++k) {
      const std::uint8_t d = Strong(t[k]);
      if (d != kON) inside = d;
    }
    if (inside == kON) continue;
    if (inside == kL) {
      // Opposite to the paragraph: the brackets follow the context before them.
      std::uint8_t before = kR;
      for (std::size_t k = open; k-- > 0;) {
        if (const std::uint8_t d = Strong(t[k]); d != kON) {
          before = d;
          break;
        }
      }
      inside = before;
    }
    t[open] = t[close] = inside;
  }
  return true;
}

// Rules W1-W7, N0-N2, I1-I2 and L1 for one right-to-left paragraph without explicit
// controls; t receives the level (1 or 2) of every unit. False when left to ICU.
// `seen` has bit 1 << type for every type in the line, `brackets` tells whether it holds
// any paired bracket: rules for what is absent are skipped.
bool ResolveLevels(std::u16string_view s, const Info& info, unsigned seen, bool brackets,
                   std::vector<std::uint8_t>& t) {
  const std::size_t n = s.size();
  t.resize(n);
  std::uint8_t strong = kR;  // the start of the paragraph counts as R
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t x = info[s[i]] & kTypeMask;
    if (x == kL || x == kR) {
      strong = x;
    } else if (x == kAL) {
      strong = kAL;
      x = kR;
    } else if (x == kEN && strong == kAL) {
      x = kAN;
    }
    t[i] = x;
  }
  const bool separators = seen & ((1u << kES) | (1u << kCS));
  for (std::size_t i = 1; separators && i + 1 < n; ++i) {
    if (t[i] == kES || t[i] == kCS) {
      if (t[i - 1] == kEN && t[i + 1] == kEN) t[i] = kEN;
      else if (t[i] == kCS && t[i - 1] == kAN && t[i + 1] == kAN) t[i] = kAN;
    }
  }
  for (std::size_t i = 0; (seen & (1u << kET)) && i < n;) {
    if (t[i] != kET) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < n && t[j] == kET) ++j;
    const bool number = (i > 0 && t[i - 1] == kEN) || (j < n && t[j] == kEN);
    std::fill(t.begin() + static_cast<std::ptrdiff_t>(i), t.begin() + static_cast<std::ptrdiff_t>(j),
              static_cast<std::uint8_t>(number ? kEN : kON));
    i = j;
  }
  strong = kR;
  const bool w7 = (seen & (1u << kEN)) && (seen & (1u << kL));
  for (std::size_t i = 0; (separators || w7) && i < n; ++i) {
    std::uint8_t& x = t[i];
    if (x == kES || x == kCS) x = static_cast<std::uint8_t>(kON);
    else if (x == kL || x == kR) strong = x;
    else if (x == kEN && strong == kL) x = kL;
  }
  if (brackets && !ResolveBrackets(s, info, t)) return false;
  for (std::size_t i = 0; i < n;) {
    if (t[i] != kWS && t[i] != kON && t[i] != kS) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < n && (t[j] == kWS || t[j] == kON || t[j] == kS)) ++j;
    const std::uint8_t before = i == 0 ? kR : Strong(t[i - 1]);
    const std::uint8_t after = j == n ? kR : Strong(t[j]);
    std::fill(t.begin() + static_cast<std::ptrdiff_t>(i), t.begin() + static_cast<std::ptrdiff_t>(j),
              before == after ? before : kR);
    i = j;
  }
  bool trailing = true;  // whitespace before a tab or the end of the line
  for (std::size_t i = n; i-- > 0;) {
    const std::uint8_t original = info[s[i]] & kTypeMask;
    if (original == kS) trailing = true;
    else if (original != kWS) trailing = false;
    t[i] = (trailing || t[i] == kR) ? 1 : 2;
  }
  return true;
}

}  // namespace

void AppendRtlVisualIcu(std::u16string_view line, std::u16string& out) {
  struct Holder {
    UBiDi* bidi = ubidi_open();
    ~Holder() { ubidi_close(bidi); }
  };
  thread_local Holder holder;
  if (line.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw std::length_error("line too long to order");
  if (holder.bidi == nullptr) throw std::bad_alloc();
  const auto n = static_cast<std::int32_t>(line.size());
  UErrorCode err = U_ZERO_ERROR;
  ubidi_setPara(holder.bidi, line.data(), n, UBIDI_RTL, nullptr, &err);
  const std::size_t base = out.size();
  out.resize(base + line.size());
  const std::int32_t written = ubidi_writeReordered(holder.bidi, out.data() + base, n, UBIDI_DO_MIRRORING | UBIDI_REMOVE_BIDI_CONTROLS, &err);
  if (err == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
  if (U_FAILURE(err)) throw std::runtime_error(std::string("bidi ordering failed: ") + u_errorName(err));
  out.resize(base + static_cast<std::size_t>(written));
}

void AppendRtlVisual(std::u16string_view line, std::u16string& out) {
  const Info& info = InfoTable();
  const std::size_t n = line.size();
  unsigned seen = 0, flags = 0;
  for (char16_t c : line) {
    const std::uint8_t v = info[c];
    seen |= 1u << (v & kTypeMask);
    flags |= v;
  }
  if (seen & (1u << kOther)) return AppendRtlVisualIcu(line, out);

  const std::size_t base = out.size();
  out.resize(base + n);
  char16_t* o = out.data() + base;
  if (!(seen & ((1u << kL) | (1u << kEN) | (1u << kAN)))) {
    // Nothing left-to-right: the whole line stands at level 1, reversed and mirrored.
    for (std::size_t i = 0; i < n; ++i) o[n - 1 - i] = Mirror(line[i], info[line[i]]);
    return;
  }
  thread_local std::vector<std::uint8_t> levels;
  if (!ResolveLevels(line, info, seen, (flags & (kOpen | kClose)) != 0, levels)) {
    out.resize(base);
    return AppendRtlVisualIcu(line, out);
  }
  // Level 1 units reversed and mirrored; runs of level 2 keep their order.
  for (std::size_t i = n; i > 0;) {
    if (levels[i - 1] == 1) {
      --i;
      *o++ = Mirror(line[i], info[line[i]]);
      continue;
    }
    std::size_t j = i - 1;
    while (j > 0 && levels[j - 1] == 2) --j;
    o = std::copy(line.data() + j, line.data() + i, o);
    i = j;
  }
}

}  // namespace uy::bidi
