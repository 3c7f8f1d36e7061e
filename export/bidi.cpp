// SPDX-License-Identifier: GPL-3.0-or-later
#include "bidi.h"

#include <unicode/ubidi.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

namespace uy::exporter {
namespace {

// Bidi classes ordered here; kOther sends the line to ICU.
constexpr std::uint8_t kL = 0, kR = 1, kAL = 2, kEN = 3, kES = 4, kET = 5, kAN = 6, kCS = 7, kWS = 8,
                       kON = 9, kS = 10, kOther = 11;
constexpr std::uint8_t kTypeMask = 0x0F;
constexpr std::uint8_t kMirrored = 0x10;
constexpr std::uint8_t kOpen = 0x20;
constexpr std::uint8_t kClose = 0x40;

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

// U+2029, U+FDD0 and U+FDD1 stand inside an editor line as boxes (the text area takes
// them for paragraph breaks, so it holds stand-ins), which lay out as left-to-right
// characters: so they are ordered here, and a U+2029 never splits the line's paragraph.
bool ShownAsBox(UChar32 c) { return c == 0x2029 || c == 0xFDD0 || c == 0xFDD1; }

extern "C" UCharDirection ClassShownAsBox(const void*, UChar32 c) {
  return ShownAsBox(c) ? U_LEFT_TO_RIGHT : static_cast<UCharDirection>(U_BIDI_CLASS_DEFAULT);
}

UCharDirection DirectionOf(UChar32 c) { return ShownAsBox(c) ? U_LEFT_TO_RIGHT : u_charDirection(c); }

std::uint8_t InfoOf(char16_t c) {
  std::uint8_t v = TypeOf(DirectionOf(c));
  if ((c >= 0xD800 && c < 0xE000) || u_hasBinaryProperty(c, UCHAR_BIDI_CONTROL)) v = kOther;
  // Brackets paired by canonical equivalence are left to ICU.
  if (c == 0x2329 || c == 0x232A || c == 0x3008 || c == 0x3009) v = kOther;
  if (u_isMirrored(c)) v |= kMirrored;
  const auto bpt = u_getIntPropertyValue(c, UCHAR_BIDI_PAIRED_BRACKET_TYPE);
  if (bpt == U_BPT_OPEN) v |= kOpen;
  if (bpt == U_BPT_CLOSE) v |= kClose;
  return v;
}

// The class and flags of every BMP unit, asked of ICU a block of 256 units at a time when
// a unit of the block is first met: the whole table would cost some ten million
// instructions, more than exporting a few megabytes of Uyghur text, which uses a handful
// of blocks. One table per thread, as it fills while in use.
class Info {
 public:
  Info() { table_.fill(kUnfilled); }
  std::uint8_t operator[](char16_t c) {
    const std::uint8_t v = table_[c];
    return v != kUnfilled ? v : Fill(c);
  }
  // The entry as it stands: kUnfilled when its block has not been asked for yet.
  std::uint8_t Entry(char16_t c) const { return table_[c]; }

 private:
  static constexpr std::uint8_t kUnfilled = 0x80;  // no class has this bit
  [[gnu::noinline]] std::uint8_t Fill(char16_t c) {
    const std::size_t first = c & 0xFF00u;
    for (std::size_t k = first; k < first + 0x100; ++k) table_[k] = InfoOf(static_cast<char16_t>(k));
    return table_[c];
  }
  std::array<std::uint8_t, 0x10000> table_;
};

Info& InfoTable() {
  thread_local Info table;
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

// A maximal stretch of units of one bidi class (a paired bracket always stands alone).
// The rules below resolve whole runs, since units of one class are always resolved alike.
struct Run {
  std::uint32_t start;
  std::uint32_t end;
  std::uint8_t original;  // the class
  std::uint8_t type;      // the resolved type, then the level (1 or 2)
  std::uint8_t flags;     // kMirrored when any unit is mirrored, kOpen/kClose for a bracket
};

// The runs of a line or a paragraph. The storage only grows: BuildRuns makes room for one
// run per unit once, then fills it without a check per run.
class Runs {
 public:
  Run* Prepare(std::size_t n) {
    if (store_.size() < n) store_.resize(std::max(n, 2 * store_.size()));
    size_ = 0;
    return store_.data();
  }
  void SetSize(std::size_t m) { size_ = m; }
  void clear() { size_ = 0; }
  void push_back(const Run& r) {
    if (size_ == store_.size()) store_.resize(std::max<std::size_t>(16, 2 * size_));
    store_[size_++] = r;
  }
  std::size_t size() const { return size_; }
  Run* data() { return store_.data(); }
  Run* begin() { return store_.data(); }
  Run* end() { return store_.data() + size_; }
  Run& operator[](std::size_t i) { return store_[i]; }

 private:
  std::vector<Run> store_;
  std::size_t size_ = 0;
};

bool IsNeutral(std::uint8_t t) { return t == kWS || t == kON || t == kS; }

// Paired brackets (rule N0). False when the bracket stack overflows, which is left to ICU.
bool ResolveBrackets(std::u16string_view s, Runs& runs) {
  struct Opener {
    char16_t closer;
    std::size_t run;
  };
  std::array<Opener, 63> stack;
  std::size_t depth = 0;
  thread_local std::vector<std::pair<std::size_t, std::size_t>> pairs;
  pairs.clear();
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const Run& run = runs[r];
    if (!(run.flags & (kOpen | kClose)) || run.type != kON) continue;
    const char16_t c = s[run.start];
    if (run.flags & kOpen) {
      if (depth == stack.size()) return false;
      stack[depth++] = {static_cast<char16_t>(u_getBidiPairedBracket(c)), r};
    } else {
      for (std::size_t k = depth; k-- > 0;) {
        if (stack[k].closer == c) {
          pairs.emplace_back(stack[k].run, r);
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
      const std::uint8_t d = Strong(runs[k].type);
      if (d != kON) inside = d;
    }
    if (inside == kON) continue;
    if (inside == kL) {
      // Opposite to the paragraph: the brackets follow the context before them.
      std::uint8_t before = kR;
      for (std::size_t k = open; k-- > 0;) {
        if (const std::uint8_t d = Strong(runs[k].type); d != kON) {
          before = d;
          break;
        }
      }
      inside = before;
    }
    runs[open].type = runs[close].type = inside;
  }
  return true;
}

// Rules W4-W7, N0-N2 and I1-I2 for one right-to-left paragraph without explicit controls
// (W2 and W3 were applied as the runs were built), and L1 when the paragraph is shown as
// `one_line`; every run's type becomes its level (1 or 2). `seen` has bit 1 << class for
// every class in the line: rules for what is absent are skipped. False when left to ICU.
bool ResolveLevels(std::u16string_view s, unsigned seen, bool brackets, bool one_line, Runs& runs) {
  const std::size_t m = runs.size();
  const bool separators = seen & ((1u << kES) | (1u << kCS));
  for (std::size_t i = 1; separators && i + 1 < m; ++i) {
    Run& r = runs[i];
    if ((r.type == kES || r.type == kCS) && r.end - r.start == 1) {
      const std::uint8_t before = runs[i - 1].type, after = runs[i + 1].type;
      if (before == kEN && after == kEN) r.type = kEN;
      else if (r.type == kCS && before == kAN && after == kAN) r.type = kAN;
    }
  }
  for (std::size_t i = 0; (seen & (1u << kET)) && i < m; ++i) {
    if (runs[i].type != kET) continue;
    const bool number = (i > 0 && runs[i - 1].type == kEN) || (i + 1 < m && runs[i + 1].type == kEN);
    runs[i].type = number ? kEN : kON;
  }
  std::uint8_t strong = kR;
  const bool w7 = (seen & (1u << kEN)) && (seen & (1u << kL));
  for (std::size_t i = 0; (separators || w7) && i < m; ++i) {
    std::uint8_t& x = runs[i].type;
    if (x == kES || x == kCS) x = kON;
    else if (x == kL || x == kR) strong = x;
    else if (x == kEN && strong == kL) x = kL;
  }
  if (brackets && !ResolveBrackets(s, runs)) return false;
  for (std::size_t i = 0; i < m;) {
    if (!IsNeutral(runs[i].type)) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < m && IsNeutral(runs[j].type)) ++j;
    const std::uint8_t before = i == 0 ? kR : Strong(runs[i - 1].type);
    const std::uint8_t after = j == m ? kR : Strong(runs[j].type);
    const std::uint8_t type = before == after ? before : kR;
    for (std::size_t k = i; k < j; ++k) runs[k].type = type;
    i = j;
  }
  if (!one_line) {
    for (Run& r : runs) r.type = r.type == kR ? 1 : 2;
    return true;
  }
  bool trailing = true;  // rule L1, as in ResetTrailing
  for (std::size_t i = m; i-- > 0;) {
    Run& r = runs[i];
    if (r.original == kS) trailing = true;
    else if (r.original != kWS) trailing = false;
    r.type = (trailing || r.type == kR) ? 1 : 2;
  }
  return true;
}

// Rule L1 for one line: white space before a tab or the end of the line, and the tab,
// back to the paragraph level.
void ResetTrailing(Run* runs, std::size_t m) {
  bool trailing = true;
  for (std::size_t i = m; i-- > 0;) {
    Run& r = runs[i];
    if (r.original == kS) trailing = true;
    else if (r.original != kWS) trailing = false;
    if (trailing) r.type = 1;
  }
}

// Gathers the runs of a line unit by unit, with W2 and W3 applied.
class RunBuilder {
 public:
  RunBuilder(Runs& runs, std::size_t n) : runs_(runs), first_(runs.Prepare(n)), out_(first_) {}

  // The unit at `pos` (one past the last one added), of class and flags `v`.
  [[gnu::always_inline]] void Add(std::size_t pos, std::uint8_t v) {
    const std::uint8_t key = v & (kTypeMask | kOpen | kClose);
    if (key == key_ && !(key & (kOpen | kClose))) {
      run_.flags |= v;
      return;
    }
    if (key_ != kNone) Close(pos);
    key_ = key;
    const std::uint8_t type = v & kTypeMask;
    // W2 (numbers after Arabic letters are Arabic numbers) and W3 (AL is R).
    std::uint8_t resolved = type;
    if (type <= kAL) {
      strong_ = type;
      if (type == kAL) resolved = kR;
    } else if (type == kEN && strong_ == kAL) {
      resolved = kAN;
    }
    run_ = Run{static_cast<std::uint32_t>(pos), 0, type, resolved, static_cast<std::uint8_t>(v & ~kTypeMask)};
  }

  // Ends the line at `n` units; returns the classes seen (bit 1 << class) and the flags of
  // all units.
  std::pair<unsigned, unsigned> Finish(std::size_t n) {
    if (key_ != kNone) Close(n);
    runs_.SetSize(static_cast<std::size_t>(out_ - first_));
    return {seen_, flags_};
  }

 private:
  static constexpr std::uint8_t kNone = 0xFF;

  void Close(std::size_t end) {
    Run& run = run_;
    run.end = static_cast<std::uint32_t>(end);
    if (!(run.flags & (kOpen | kClose))) run.flags &= kMirrored;
    seen_ |= 1u << run.original;
    flags_ |= run.flags;
    // Words of Arabic letters with white space between them make one run: the space
    // between two R runs resolves to R (N1) and is not trailing (L1), and no other rule
    // looks at it, so only fewer runs are resolved and reordered.
    if (run.original == kAL && out_ - first_ >= 2 && out_[-1].original == kWS && out_[-2].original == kAL) {
      out_[-2].end = run.end;
      out_[-2].flags |= run.flags;
      --out_;
      return;
    }
    *out_++ = run;
  }

  Runs& runs_;
  Run* const first_;
  Run* out_;
  Run run_{};
  std::uint8_t key_ = kNone;  // the class and bracket flags of run_
  std::uint8_t strong_ = kR;  // for W2: the start of the paragraph counts as R
  unsigned seen_ = 0, flags_ = 0;
};

// Builds the runs of `line` with W2 and W3 applied; returns the classes seen (bit
// 1 << class) and the flags of all units.
[[gnu::always_inline]] inline std::pair<unsigned, unsigned> BuildRuns(Info& info, std::u16string_view line, Runs& runs) {
  const std::size_t n = line.size();
  RunBuilder builder(runs, n);
  for (std::size_t i = 0; i < n;) {
    const std::uint8_t v = info[line[i]];
    builder.Add(i, v);
    ++i;
    // Units just like the last (the letters of a word) only lengthen its run; a bracket
    // stands alone. A unit of a block not yet filled differs and is looked up above.
    if (!(v & (kOpen | kClose))) {
      while (i < n && info.Entry(line[i]) == v) ++i;
    }
  }
  return builder.Finish(n);
}

// No left-to-right class among `seen`: every unit stands at level 1.
bool AllRtl(unsigned seen) { return !(seen & ((1u << kL) | (1u << kEN) | (1u << kAN))); }

// Writes text[start, end) reversed, mirrored when `mirror`.
[[gnu::always_inline]] inline char16_t* Reversed(Info& info, const char16_t* text, std::size_t start, std::size_t end, bool mirror,
                   char16_t* o) {
  if (!mirror) return std::reverse_copy(text + start, text + end, o);
  for (std::size_t i = end; i-- > start;) *o++ = Mirror(text[i], info[text[i]]);
  return o;
}

// Rule L2 for one line whose runs carry their final levels (1 or 2): runs at level 1
// reversed and mirrored; neighbouring runs at level 2 keep their order.
[[gnu::always_inline]] inline char16_t* Reorder(Info& info, const char16_t* text, const Run* runs, std::size_t m, char16_t* o) {
  for (std::size_t r = m; r > 0;) {
    const Run& run = runs[r - 1];
    if (run.type == 1) {
      --r;
      o = Reversed(info, text, run.start, run.end, run.flags & kMirrored, o);
      continue;
    }
    std::size_t first = r - 1;
    while (first > 0 && runs[first - 1].type == 2) --first;
    o = std::copy(text + runs[first].start, text + run.end, o);
    r = first;
  }
  return o;
}

struct IcuHolder {
  UBiDi* bidi = ubidi_open();
  IcuHolder() {
    UErrorCode err = U_ZERO_ERROR;
    if (bidi) ubidi_setClassCallback(bidi, ClassShownAsBox, nullptr, nullptr, nullptr, &err);
  }
  IcuHolder(const IcuHolder&) = delete;
  IcuHolder& operator=(const IcuHolder&) = delete;
  ~IcuHolder() { ubidi_close(bidi); }
};

void ThrowIfFailed(UErrorCode err) {
  if (err == U_MEMORY_ALLOCATION_ERROR) throw std::bad_alloc();
  if (U_FAILURE(err)) throw std::runtime_error(std::string("bidi ordering failed: ") + u_errorName(err));
}

// Appends what `bidi` (a paragraph or a line) shows, `n` units at most.
void AppendWritten(UBiDi* bidi, std::size_t n, std::u16string& out) {
  UErrorCode err = U_ZERO_ERROR;
  const std::size_t base = out.size();
  out.resize(base + n);
  const std::int32_t written = ubidi_writeReordered(bidi, out.data() + base, static_cast<std::int32_t>(n),
                                                    UBIDI_DO_MIRRORING | UBIDI_REMOVE_BIDI_CONTROLS, &err);
  if (U_FAILURE(err)) out.resize(base);
  ThrowIfFailed(err);
  out.resize(base + static_cast<std::size_t>(written));
}

}  // namespace

void AppendRtlVisualIcu(std::u16string_view line, std::u16string& out) {
  thread_local IcuHolder holder;
  if (line.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw std::length_error("line too long to order");
  if (holder.bidi == nullptr) throw std::bad_alloc();
  UErrorCode err = U_ZERO_ERROR;
  ubidi_setPara(holder.bidi, line.data(), static_cast<std::int32_t>(line.size()), UBIDI_RTL, nullptr, &err);
  ThrowIfFailed(err);
  AppendWritten(holder.bidi, line.size(), out);
}

void AppendRtlVisual(std::u16string_view line, std::u16string& out) {
  Info& info = InfoTable();
  const std::size_t n = line.size();
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return AppendRtlVisualIcu(line, out);
  thread_local Runs runs;
  const auto [seen, flags] = BuildRuns(info, line, runs);
  if (seen & (1u << kOther)) return AppendRtlVisualIcu(line, out);
  if (!AllRtl(seen) && !ResolveLevels(line, seen, (flags & (kOpen | kClose)) != 0, true, runs))
    return AppendRtlVisualIcu(line, out);
  const std::size_t base = out.size();
  out.resize(base + n);
  char16_t* o = out.data() + base;
  if (AllRtl(seen)) {
    // Nothing left-to-right: the whole line stands at level 1, reversed and mirrored.
    Reversed(info, line.data(), 0, n, flags & kMirrored, o);
    return;
  }
  Reorder(info, line.data(), runs.data(), runs.size(), o);
}

struct RtlParagraph::State {
  enum class Mode { kAllRtl, kRuns, kIcu } mode = Mode::kRuns;
  Runs runs;
  Runs line_runs;
  bool mirrored = true;
  std::optional<IcuHolder> paragraph, line;  // only for text left to ICU
};

RtlParagraph::RtlParagraph(std::u16string_view paragraph) : text_(paragraph), state_(std::make_unique<State>()) {
  State& st = *state_;
  using Mode = State::Mode;
  const std::size_t n = paragraph.size();
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw std::length_error("line too long to order");
  const auto [seen, flags] = BuildRuns(InfoTable(), paragraph, st.runs);
  st.mirrored = flags & kMirrored;
  if (AllRtl(seen) && !(seen & (1u << kOther))) st.mode = Mode::kAllRtl;
  else if (seen & (1u << kOther) || !ResolveLevels(paragraph, seen, (flags & (kOpen | kClose)) != 0, false, st.runs))
    st.mode = Mode::kIcu;
  if (st.mode != Mode::kIcu) return;
  st.paragraph.emplace();
  st.line.emplace();
  if (st.paragraph->bidi == nullptr || st.line->bidi == nullptr) throw std::bad_alloc();
  UErrorCode err = U_ZERO_ERROR;
  ubidi_setPara(st.paragraph->bidi, paragraph.data(), static_cast<std::int32_t>(n), UBIDI_RTL, nullptr, &err);
  ThrowIfFailed(err);
}

RtlParagraph::~RtlParagraph() = default;

void RtlParagraph::AppendLine(std::size_t start, std::size_t end, std::u16string& out) {
  State& st = *state_;
  end = std::min(end, text_.size());
  if (start >= end) return;
  using Mode = State::Mode;
  if (st.mode == Mode::kIcu) {
    UErrorCode err = U_ZERO_ERROR;
    ubidi_setLine(st.paragraph->bidi, static_cast<std::int32_t>(start), static_cast<std::int32_t>(end), st.line->bidi,
                  &err);
    // A line that reaches across a paragraph separator is ordered on its own.
    if (U_FAILURE(err)) return AppendRtlVisualIcu(text_.substr(start, end - start), out);
    return AppendWritten(st.line->bidi, end - start, out);
  }
  const std::size_t base = out.size();
  out.resize(base + end - start);
  char16_t* o = out.data() + base;
  if (st.mode == Mode::kAllRtl) {
    Reversed(InfoTable(), text_.data(), start, end, st.mirrored, o);
    return;
  }
  // The runs of the line, cut at its ends, with their levels from the whole paragraph.
  const auto first = std::upper_bound(st.runs.begin(), st.runs.end(), start,
                                      [](std::size_t pos, const Run& r) { return pos < r.end; });
  st.line_runs.clear();
  for (auto r = first; r != st.runs.end() && r->start < end; ++r) {
    Run piece = *r;
    piece.start = std::max<std::uint32_t>(piece.start, static_cast<std::uint32_t>(start));
    piece.end = std::min<std::uint32_t>(piece.end, static_cast<std::uint32_t>(end));
    st.line_runs.push_back(piece);
  }
  ResetTrailing(st.line_runs.data(), st.line_runs.size());
  Reorder(InfoTable(), text_.data(), st.line_runs.data(), st.line_runs.size(), o);
}

}  // namespace uy::exporter
