// SPDX-License-Identifier: GPL-3.0-or-later
// The six directions as two table-driven single passes over each line: Forward (UEY to ULY,
// UKY or UYY) and Backward (ULY, UKY or UYY to UEY); a pair without UEY chains the two.
// Clauses: 3690 (Latin), 3691 (Cyrillic), 3689 (New Script); "§6" is the way out of Arabic
// script, "§7" the way back, and where the three agree one number is given for all.
#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <stdexcept>

#include "script.h"
#include "script_tables.h"

namespace uy::script {
namespace {

using namespace detail;

constexpr std::size_t kNpos = static_cast<std::size_t>(-1);
constexpr std::size_t kMaxLine = 65536;  // a longer line is cut after its next space

struct FoldEntry {
  std::uint16_t off;
  std::uint8_t len;
};
#include "fold_table.inc"

// Letter places in kLetters.
enum : int {
  kA = 0, kAe = 1, kT = 4, kJ = 5, kX = 7, kZ = 10, kS = 12, kSh = 13, kGh = 14, kG = 18,
  kNg = 19, kN = 22, kH = 23, kU = 25, kY = 31,
};

// ---- Output ----

struct Buffer {
  std::unique_ptr<char16_t[]> text;
  std::unique_ptr<std::size_t[]> map;
  std::size_t cap = 0;
  bool with_map = false;

  // Room for `need` units; the first `keep` are kept.
  void Reserve(std::size_t need, std::size_t keep, bool map_too) {
    if (need <= cap && (with_map || !map_too)) return;
    const std::size_t n = std::max(need, cap * 2);
    auto t = std::make_unique<char16_t[]>(n);
    if (keep) std::memcpy(t.get(), text.get(), keep * sizeof(char16_t));
    text = std::move(t);
    if (map_too) {
      auto m = std::make_unique<std::size_t[]>(n);
      if (keep && with_map) std::memcpy(m.get(), map.get(), keep * sizeof(std::size_t));
      map = std::move(m);
      with_map = true;
    } else {
      map.reset();
      with_map = false;
    }
    cap = n;
  }
};

// Writes one line's output; with M, the line-local source index of every unit too.
template <bool M>
struct Writer {
  Buffer* b;
  char16_t* p;
  std::size_t* m;

  Writer(Buffer& buf, std::size_t need) : b(&buf) {
    b->Reserve(need, 0, M);
    p = b->text.get();
    m = M ? b->map.get() : nullptr;
  }
  void Put(char16_t c, std::size_t src) {
    *p++ = c;
    if constexpr (M) *m++ = src;
  }
  std::size_t Pos() const { return static_cast<std::size_t>(p - b->text.get()); }
  char16_t* Begin() const { return b->text.get(); }
  void Rewind(std::size_t pos) {
    p = b->text.get() + pos;
    if constexpr (M) m = b->map.get() + pos;
  }
  void More(std::size_t extra) {
    const std::size_t pos = Pos();
    if (pos + extra + 16 <= b->cap) return;
    b->Reserve(pos + extra + 16, pos, M);
    p = b->text.get() + pos;
    if constexpr (M) m = b->map.get() + pos;
  }
};

// Capitals of the way out: what the next letter written gets.
struct LineState {
  enum Cap : std::uint8_t { kNone, kNow, kLineStart };
  Cap cap = kLineStart;     // kLineStart: capital only if the line turns out a sentence
  bool sentence = false;    // a sentence end was seen on this line
  std::uint32_t quotes = 0; // ASCII double quotes so far
  std::size_t first_pos = kNpos;
  char16_t first_upper = 0;
};

// The Roman numerals and letter names kept on the way back (3690/3691/3689 §7.8.5).
int RomanValue(char16_t c) {
  switch (c) {
    case 'I': return 1;
    case 'V': return 5;
    case 'X': return 10;
    case 'L': return 50;
    case 'C': return 100;
    case 'D': return 500;
    case 'M': return 1000;
    default: return 0;
  }
}

bool IsRomanNumeral(const char16_t* s, std::size_t n) {
  int total = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int v = RomanValue(s[i]);
    if (v == 0) return false;
    total += i + 1 < n && v < RomanValue(s[i + 1]) ? -v : v;
  }
  if (total <= 0 || total >= 4000) return false;
  static constexpr struct { int v; const char16_t* s; } kParts[] = {
      {1000, u"M"}, {900, u"CM"}, {500, u"D"}, {400, u"CD"}, {100, u"C"}, {90, u"XC"}, {50, u"L"},
      {40, u"XL"}, {10, u"X"}, {9, u"IX"}, {5, u"V"}, {4, u"IV"}, {1, u"I"}};
  std::u16string canonical;
  for (const auto& p : kParts)
    while (total >= p.v) canonical += p.s, total -= p.v;
  return std::u16string_view(s, n) == canonical;
}

bool IsLetterName(const char16_t* s, std::size_t n) {
  static constexpr std::u16string_view kNames[] = {u"WTO", u"VCD", u"DVD", u"CD", u"PC", u"TV", u"USB",
                                                   u"PDF", u"HTML", u"URL", u"SMS", u"GPS", u"OK"};
  const std::u16string_view w(s, n);
  return std::find(std::begin(kNames), std::end(kNames), w) != std::end(kNames);
}

// Lower case, apostrophe variants as U+0027: how word list spellings are compared.
inline char16_t Fold(char16_t c) {
  if (c < 0x80) return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c == u'`' ? u'\'' : c;
  if (c == 0x2019 || c == 0x2BC || c == 0x2BB) return u'\'';
  return ToLower(c);
}

// Copies a U+200B ... U+FEFF span (3690 §6.8.2/§7.8.2) when a U+FEFF follows on the line;
// returns the index after it, or kNpos. `no_close_from`: no U+FEFF at or after it.
template <bool M>
std::size_t CopySpan(const char16_t* s, std::size_t n, std::size_t i, bool keep_marks,
                     std::size_t& no_close_from, Writer<M>& w) {
  if (i + 1 >= no_close_from) return kNpos;
  std::size_t f = i + 1;
  while (f < n && s[f] != kWrapClose) ++f;
  if (f == n) {
    no_close_from = i + 1;
    return kNpos;
  }
  if (keep_marks) w.Put(kWrapOpen, i);
  for (std::size_t k = i + 1; k < f; ++k) w.Put(s[k], k);
  if (keep_marks) w.Put(kWrapClose, f);
  return f + 1;
}

// ---- UEY to ULY, UKY, UYY ----

class Forward {
 public:
  Forward(Script to, bool e_acute, bool wrap, bool keep_marks, const WordList* words)
      : to_(to), wrap_(wrap), keep_marks_(keep_marks), cls_(FwdTable()) {
    words_ = words ? words->For(to) : nullptr;
    foreign_ = to == Script::Uky ? kCyrillic : kLatin;
    for (std::size_t i = 0; i < kLetters.size(); ++i) {
      const LetterRow& r = kLetters[i];
      const std::u16string_view lo = to == Script::Uly ? r.uly : to == Script::Uky ? r.uky : r.uyy;
      const std::u16string_view up = to == Script::Uly ? r.uly_upper : to == Script::Uky ? r.uky_upper : r.uyy_upper;
      forms_[i] = MakeForm(lo, up[0]);
      vowel_[i] = r.vowel;
    }
    if (to == Script::Uly && e_acute) forms_[29] = MakeForm(u"\u00E9", u'\u00C9');
    ya_ = MakeForm(u"я", u'Я');
    yu_ = MakeForm(u"ю", u'Ю');
    tse_ = MakeForm(u"ц", u'Ц');
    // The separator apostrophe between two letters that would read as a digraph (§6.5.2).
    auto separate = [&](const auto& pairs) {
      for (const SeparatedPair& p : pairs) sep_[LetterIndex(p.first)][LetterIndex(p.second)] = true;
    };
    if (to == Script::Uly) separate(kUlySeparated);
    if (to == Script::Uyy) separate(kUyySeparated);
    lone_vowel_kept_ = to != Script::Uly;  // 3691/3689 §6.8.5
  }

  template <bool M>
  void Line(const char16_t* s, std::size_t n, LineState& st, Writer<M>& w) const {
    std::size_t no_close_from = n + 1;
    std::size_t i = 0;
    while (i < n) {
      const char16_t c = s[i];
      const std::uint8_t k = cls_[c];
      switch (k) {
        case kUey:
        case kArabic:
          i = Word(s, n, i, st, w);
          continue;
        case kTatweel:  // §6.8.4
          break;
        case kDigit:
          w.Put(c, i);
          st.cap = LineState::kNone;  // a sentence that starts with a number starts lower case
          break;
        case kSentEnd:
          w.Put(c, i);
          if (SentenceEnd(s, n, i)) st.sentence = true, st.cap = LineState::kNow;
          break;
        case kArabicPunct:  // §6.7
          w.Put(c == u'\u060C' ? u',' : c == u'\u061B' ? u';' : u'?', i);
          if (c == u'\u061F' && SentenceEnd(s, n, i)) st.sentence = true, st.cap = LineState::kNow;
          break;
        case kQuote:  // §5.2: the first letter inside double quotes
          w.Put(c, i);
          if ((st.quotes++ & 1) == 0) st.cap = LineState::kNow;
          break;
        case kQuoteOpen:
          w.Put(c, i);
          st.cap = LineState::kNow;
          break;
        case kZwsp:
          if (const std::size_t e = CopySpan(s, n, i, keep_marks_, no_close_from, w); e != kNpos) {
            st.cap = LineState::kNone;
            i = e;
            continue;
          }
          w.Put(c, i);
          break;
        case kLatin:
        case kCyrillic:
          if (k == foreign_) {
            i = KeptRun(s, n, i, st, w);
            continue;
          }
          w.Put(c, i);
          break;
        default:  // spaces, format controls (§6.8.3), mirrored and other characters (§6.1.3, §6.8.5)
          w.Put(c, i);
          break;
      }
      ++i;
    }
    if (st.first_pos != kNpos) {
      if (st.sentence) w.Begin()[st.first_pos] = st.first_upper;
      st.first_pos = kNpos;
    }
  }

 private:
  struct Form {
    char16_t lo[2];
    char16_t up;
    std::uint8_t len;
  };
  static Form MakeForm(std::u16string_view lo, char16_t up) {
    Form f{{lo[0], lo.size() > 1 ? lo[1] : u'\0'}, up, static_cast<std::uint8_t>(lo.size())};
    return f;
  }

  template <bool M>
  static void Emit(const Form& f, std::size_t src, LineState& st, Writer<M>& w) {
    if (st.cap == LineState::kNone) [[likely]] {
      w.Put(f.lo[0], src);
    } else {
      if (st.cap == LineState::kNow) {
        w.Put(f.up, src);
      } else {
        st.first_pos = w.Pos();
        st.first_upper = f.up;
        w.Put(f.lo[0], src);
      }
      st.cap = LineState::kNone;
    }
    if (f.len > 1) w.Put(f.lo[1], src);
  }

  bool IsLetter(char16_t c) const { return cls_[c] == kUey || cls_[c] == kArabic; }
  bool IsTransparent(char16_t c) const {
    const std::uint8_t k = cls_[c];
    return k == kTatweel || k == kMark || k == kFormat;
  }

  // . ! ? ؟ ۔ end a sentence when, after more of them and closing quotes or brackets, a space
  // or the line end follows ("3.14" and "www.x" do not).
  bool SentenceEnd(const char16_t* s, std::size_t n, std::size_t i) const {
    std::size_t j = i + 1;
    while (j < n) {
      const std::uint8_t k = cls_[s[j]];
      if (k == kSentEnd || k == kCloser || k == kQuote || s[j] == u'\u061F') ++j;
      else break;
    }
    return j == n || cls_[s[j]] == kSpace;
  }

  // Text already in the target script, kept and wrapped (§6.8.1): a run that starts with a
  // letter and holds letters, digits and joiners between them.
  template <bool M>
  std::size_t KeptRun(const char16_t* s, std::size_t n, std::size_t i, LineState& st, Writer<M>& w) const {
    std::size_t j = i + 1, last = i;
    while (j < n) {
      const std::uint8_t k = cls_[s[j]];
      if (k == foreign_ || k == kDigit || k == kCombining) {
        last = j++;
      } else if (j + 1 < n && IsJoiner(s[j]) && (cls_[s[j + 1]] == foreign_ || cls_[s[j + 1]] == kDigit)) {
        ++j;
      } else {
        break;
      }
    }
    if (wrap_) w.Put(kWrapOpen, i);
    for (std::size_t x = i; x <= last; ++x) w.Put(s[x], x);
    if (wrap_) w.Put(kWrapClose, last);
    st.cap = LineState::kNone;
    return last + 1;
  }

  // A word of one letter: a consonant, or the carrier and its vowel.
  bool SingleLetter(const char16_t* s, std::size_t ws, std::size_t we) const {
    if (we - ws == 1) {
      const int x = LetterIndex(s[ws]);
      return x >= 0 && x < 32 && !vowel_[x];
    }
    if (we - ws == 2 && s[ws] == kCarrier) {
      const int x = LetterIndex(s[ws + 1]);
      return x >= 0 && x < 32 && vowel_[x];
    }
    return false;
  }

  // A word: its letters converted in one pass; when the word list may hold it, or it may
  // start an acronym, the output is taken back and the word looked at first.
  template <bool M>
  std::size_t Word(const char16_t* s, std::size_t n, std::size_t ws, LineState& st, Writer<M>& w) const {
    if (ws + 1 < n && (s[ws + 1] == u' ' || (ws + 2 < n && s[ws] == kCarrier && s[ws + 2] == u' '))) {
      const std::size_t we = s[ws + 1] == u' ' ? ws + 1 : ws + 2;
      if (words_ && words_->forward.prefix[WordList::Side::PrefixKey(s[ws], we - ws > 1 ? s[ws + 1] : u'\0', we - ws)]) {
        if (const std::size_t e = ListWord(s, n, ws, we, st, w); e != kNpos) return e;
      }
      if (const std::size_t e = Acronym(s, n, ws, we, st, w); e != kNpos) return e;
    }
    const std::size_t pos = w.Pos();
    const LineState before = st;
    std::size_t we = 0;
    const std::size_t end = Letters(s, n, ws, st, w, we);
    if (words_ && words_->forward.prefix[WordList::Side::PrefixKey(s[ws], we - ws > 1 ? s[ws + 1] : u'\0', we - ws)]) {
      w.Rewind(pos);
      st = before;
      if (const std::size_t e = ListWord(s, n, ws, we, st, w); e != kNpos) return e;
      return Letters(s, n, ws, st, w, we);
    }
    return end;
  }

  // A word or phrase of the word list, written as the list spells it.
  template <bool M>
  std::size_t ListWord(const char16_t* s, std::size_t n, std::size_t ws, std::size_t we, LineState& st,
                       Writer<M>& w) const {
    const WordList::Side& side = words_->forward;
    const auto it = side.by_first_word.find(std::u16string_view(s + ws, we - ws));
    if (it == side.by_first_word.end()) return kNpos;
    for (const std::uint32_t e : it->second) {
      const WordList::Entry& entry = words_->entries[e];
      const std::size_t len = entry.uey.size();
      if (len > n - ws || std::u16string_view(s + ws, len) != entry.uey) continue;
      if (ws + len < n && IsLetter(s[ws + len])) continue;
      const std::u16string& out = entry.spelling;
      w.More(out.size());
      for (std::size_t k = 0; k < out.size(); ++k) {
        const std::size_t src = ws + k * len / out.size();
        if (k == 0 && st.cap != LineState::kNone) {
          if (st.cap == LineState::kNow) {
            w.Put(ToUpper(out[0]), src);
          } else {
            st.first_pos = w.Pos();
            st.first_upper = ToUpper(out[0]);
            w.Put(out[0], src);
          }
          st.cap = LineState::kNone;
          continue;
        }
        w.Put(out[k], src);
      }
      return ws + len;
    }
    return kNpos;
  }

  // §6.6: single letters with one space between them become one capitalised word (ShUAR).
  template <bool M>
  std::size_t Acronym(const char16_t* s, std::size_t n, std::size_t ws, std::size_t we, LineState& st,
                      Writer<M>& w) const {
    if (!SingleLetter(s, ws, we)) return kNpos;
    std::size_t end = we;
    int members = 1;
    while (end + 1 < n && s[end] == u' ') {
      std::size_t e2 = end + 1;
      while (e2 < n && IsLetter(s[e2])) ++e2;
      if (e2 == end + 1 || !SingleLetter(s, end + 1, e2)) break;
      end = e2;
      ++members;
    }
    if (members < 2) return kNpos;
    for (std::size_t p = ws; p < end;) {
      if (s[p] == u' ') {
        ++p;
        continue;
      }
      const std::size_t src = s[p] == kCarrier ? p + 1 : p;
      const Form& f = forms_[LetterIndex(s[src])];
      w.Put(f.up, src);
      if (f.len > 1) w.Put(f.lo[1], src);
      p = src + 1;
    }
    st.cap = LineState::kNone;
    return end;
  }

  bool IsWordUnit(char16_t c) const {
    const std::uint8_t k = cls_[c];
    return k == kUey || k == kArabic || k == kTatweel || k == kMark || k == kFormat;
  }

  // Converts the word that starts at ws (a letter); returns where the main loop goes on
  // (marks and controls after the last letter are written too) and sets `we` after the
  // word's last letter.
  template <bool M>
  std::size_t Letters(const char16_t* s, std::size_t n, std::size_t ws, LineState& st, Writer<M>& out,
                      std::size_t& we) const {
    Writer<M> w = out;  // kept in registers
    const std::size_t end = LettersIn(s, n, ws, st, w, we);
    out = w;
    return end;
  }

  template <bool M>
  std::size_t LettersIn(const char16_t* s, std::size_t n, std::size_t ws, LineState& st, Writer<M>& w,
                        std::size_t& we) const {
    bool first = true;
    std::size_t j = ws;
    we = ws + 1;
    while (j < n) {
      const char16_t c = s[j];
      int x = LetterIndex(c);
      if (x < 0) {
        const std::uint8_t k = cls_[c];
        if (k == kArabic) {  // another Arabic letter: kept
          w.Put(c, j);
          first = false;
          st.cap = LineState::kNone;
          we = ++j;
          continue;
        }
        if (k != kTatweel && k != kMark && k != kFormat) break;
        if (k != kTatweel) w.Put(c, j);  // marks and format controls kept, tatweel dropped
        ++j;
        continue;
      }
      we = j + 1;
      std::size_t nj;
      bool more;  // a letter follows in the word
      const int nx = NextLetter(s, n, j, nj, more);
      if (x == kHehIndex) x = more ? kH : kAe;
      if (x == kCarrierIndex) {
        // §6.4: dropped at a word start; §6.5.1: the apostrophe inside a word. A carrier not
        // before a vowel is an apostrophe too (Table A.1, row 33).
        const bool before_vowel = nx >= 0 && nx < 32 && vowel_[nx];
        if (!(before_vowel && first)) w.Put(kApostrophe, j);
        first = false;
        ++j;
        continue;
      }
      if (to_ == Script::Uky && nj == j + 1) {
        // 3691 §6.3.4: يا → я, يۇ → ю, and تس inside a word → ц (§6.4.4).
        const Form* pair = x == kY && nx == kA ? &ya_ : x == kY && nx == kU ? &yu_
                           : x == kT && nx == kS && !first ? &tse_ : nullptr;
        if (pair) {
          Emit(*pair, j, st, w);
          first = false;
          we = j + 2;
          j += 2;
          continue;
        }
      }
      if (first && !more && lone_vowel_kept_ && vowel_[x]) {
        // 3691/3689 §6.8.5: a vowel letter standing alone without its carrier is kept.
        if (wrap_) w.Put(kWrapOpen, j);
        w.Put(c, j);
        if (wrap_) w.Put(kWrapClose, j);
        st.cap = LineState::kNone;
        return j + 1;
      }
      Emit(forms_[x], j, st, w);
      if (nx >= 0 && nx < 32 && sep_[x][nx]) w.Put(kApostrophe, j);  // §6.5.2: z'h s'h g'h n'g
      first = false;
      ++j;
    }
    return j;
  }

  // The letter index of the word's next letter after j (past marks and controls), ه
  // resolved, or -1; nj is where it stands, `more` whether it is a letter at all.
  int NextLetter(const char16_t* s, std::size_t n, std::size_t j, std::size_t& nj, bool& more) const {
    nj = j + 1;
    more = false;
    if (nj >= n) return -1;
    int nx = LetterIndex(s[nj]);
    if (nx < 0 && IsTransparent(s[nj])) {
      while (nj < n && IsTransparent(s[nj])) ++nj;
      nx = nj < n ? LetterIndex(s[nj]) : -1;
    }
    more = nx >= 0 || (nj < n && cls_[s[nj]] == kArabic);
    return nx == kHehIndex ? HehAt(s, n, nj) : nx;
  }

  // ه at j: ھ when a letter follows in the word, else ە.
  int HehAt(const char16_t* s, std::size_t n, std::size_t j) const {
    for (std::size_t k = j + 1; k < n && IsWordUnit(s[k]); ++k)
      if (!IsTransparent(s[k])) return kH;
    return kAe;
  }

  Script to_;
  bool wrap_, keep_marks_, lone_vowel_kept_ = false;
  std::uint8_t foreign_;
  const std::uint8_t* cls_;
  const WordList::PerScript* words_;
  Form forms_[32];
  Form ya_, yu_, tse_;
  bool vowel_[32] = {};
  bool sep_[32][32] = {};
};

// ---- ULY, UKY, UYY to UEY ----

class Backward {
 public:
  Backward(Script from, bool wrap, bool keep_marks, const WordList* words)
      : wrap_(wrap), keep_marks_(keep_marks), t_(BwdTable(from)) {
    words_ = words ? words->For(from) : nullptr;
    const std::u16string_view alphabet = SourceLetters(from);
    auto id = [&](char16_t c) { return static_cast<int>(alphabet.find(c)); };
    for (auto& d : dg_second_) d = -1;
    // Letters and digraphs from the public tables (§7.2-§7.4).
    auto add = [&](std::u16string_view spelled, std::u16string_view uey, bool vowel) {
      if (spelled.size() == 1) {
        Letter& l = letters_[id(spelled[0])];
        l.len = static_cast<std::uint8_t>(uey.size());
        for (std::size_t k = 0; k < uey.size(); ++k) l.uey[k] = uey[k];
        l.vowel = vowel;
        l.known = true;
      } else {
        const int first = id(spelled[0]);
        dg_second_[first] = static_cast<std::int8_t>(id(spelled[1]));
        dg_uey_[first] = uey[0];
      }
    };
    for (const LetterRow& r : kLetters) {
      const std::u16string_view sp = from == Script::Uly ? r.uly : from == Script::Uky ? r.uky : r.uyy;
      add(sp, std::u16string_view(&r.uey, 1), r.vowel);
    }
    for (const ExtraSpelling& e : kExtraSpellings)
      if (e.script == from) add(e.spelled, e.uey, e.uey.size() == 1 && IsVowel(e.uey[0]));
    if (from == Script::Uky) tse_ = id(u'ц');
    // §7.5: the apostrophe between these is dropped and the two letters stay apart.
    auto drop = [&](const auto& pairs) {
      for (const SeparatedPair& p : pairs) drop_[id(p.spelled[0])][id(p.spelled[2])] = true;
    };
    if (from == Script::Uly) drop(kUlySeparated);
    if (from == Script::Uyy) drop(kUyySeparated), drop_[id(u'c')][id(u'h')] = true;
    // The common case in one load: a lower-case ASCII letter of one UEY unit, no digraph's first.
    for (char16_t c = 0; c < 0x80; ++c) {
      const std::uint8_t v = t_[c];
      if (v < kLetterBase || (v & kUpperBit)) continue;
      const int i = Id(v);
      const Letter& l = letters_[i];
      if (!l.known || l.len != 1 || i == tse_) continue;
      fast_[c] = l.uey[0] | kFast | (l.vowel ? kFastVowel : 0u) | static_cast<std::uint32_t>(i) << 24;
      if (dg_second_[i] >= 0) fast_second_[c] = SourceLetters(from)[static_cast<std::size_t>(dg_second_[i])];
    }
    for (char16_t c = 0; c < 0x80; ++c) {
      if (fast_second_[c] >= 0x80) fast_[c] = 0;  // a digraph with a non-ASCII second: the long way
    }
  }

  template <bool M>
  void Line(const char16_t* s, std::size_t n, Writer<M>& w) {
    std::size_t no_close_from = n + 1;
    std::size_t i = 0;
    while (i < n) {
      const char16_t c = s[i];
      const std::uint8_t v = t_[c];
      if (v >= kLetterBase || v == kBForeign) {
        i = Word(s, n, i, w);
        continue;
      }
      switch (v) {
        case kBComma:  // §7.7; a comma between digits is a digit separator (our decision)
          w.Put(i > 0 && i + 1 < n && t_[s[i - 1]] == kBDigit && t_[s[i + 1]] == kBDigit ? u',' : u'\u060C', i);
          break;
        case kBQuestion:
          w.Put(u'\u061F', i);
          break;
        case kBSemicolon:
          w.Put(u'\u061B', i);
          break;
        case kBZwsp:
          if (const std::size_t e = CopySpan(s, n, i, keep_marks_, no_close_from, w); e != kNpos) {
            i = e;
            continue;
          }
          w.Put(c, i);
          break;
        case kBArabic:
          i = ArabicRun(s, n, i, w);
          continue;
        default:
          w.Put(c, i);
          break;
      }
      ++i;
    }
  }

 private:
  struct Letter {
    char16_t uey[2] = {};
    std::uint8_t len = 0;
    bool vowel = false;
    bool known = false;  // false: only part of a digraph (ULY c)
  };

  static bool IsVowel(char16_t c) {
    for (const LetterRow& r : kLetters)
      if (r.uey == c) return r.vowel;
    return false;
  }
  static int Id(std::uint8_t v) { return (v & 0x7F) - kLetterBase; }
  bool IsWordUnit(std::uint8_t v) const { return v >= kLetterBase || v == kBForeign; }

  // §7.8.1: Arabic text inside is kept and wrapped.
  template <bool M>
  std::size_t ArabicRun(const char16_t* s, std::size_t n, std::size_t i, Writer<M>& w) const {
    std::size_t j = i + 1, last = i;
    while (j < n) {
      const std::uint8_t v = t_[s[j]];
      if (v == kBArabic || v == kBArabicMark || v == kBDigit) {
        last = j++;
      } else if (j + 1 < n && (IsJoiner(s[j]) || v == kBFormat) &&
                 (t_[s[j + 1]] == kBArabic || t_[s[j + 1]] == kBDigit)) {
        ++j;
      } else {
        break;
      }
    }
    if (wrap_) w.Put(kWrapOpen, i);
    for (std::size_t x = i; x <= last; ++x) w.Put(s[x], x);
    if (wrap_) w.Put(kWrapClose, last);
    return last + 1;
  }

  // What a word turned out to be while its letters were converted.
  struct Seen {
    bool foreign = false;  // a letter outside the alphabet (or ULY c without its h)
    bool lower = false;    // a lower-case letter (not the second of a capital digraph: Sh)
    int caps = 0;          // capital letters
  };

  // A word: converted in one pass; when it turns out foreign, all capitals, or possibly in
  // the word list, the output is taken back and it is done again the way it needs.
  template <bool M>
  std::size_t Word(const char16_t* s, std::size_t n, std::size_t ws, Writer<M>& w) {
    const std::size_t pos = w.Pos();
    Seen seen;
    const std::size_t we = Letters(s, n, ws, w, seen);
    const bool capitals = !seen.lower && seen.caps >= 2;
    const bool listed = words_ && words_->backward.prefix[WordList::Side::PrefixKey(
                                      Fold(s[ws]), we - ws > 1 ? Fold(s[ws + 1]) : u'\0', we - ws)];
    if (!seen.foreign && !capitals && !listed) return we;
    w.Rewind(pos);
    // Letters outside the alphabet: a foreign word, kept as it is (§7.8.4); Roman numerals
    // and letter names kept (§7.8.5).
    if (seen.foreign || (capitals && (IsRomanNumeral(s + ws, we - ws) || IsLetterName(s + ws, we - ws)))) {
      for (std::size_t x = ws; x < we; ++x) w.Put(s[x], x);
      return we;
    }
    if (listed) {
      if (const std::size_t e = ListWord(s, n, ws, we, w); e != kNpos) return e;
    }
    if (capitals) {
      Acronym(s, ws, we, w);
      return we;
    }
    return Letters(s, n, ws, w, seen);
  }

  template <bool M>
  std::size_t ListWord(const char16_t* s, std::size_t n, std::size_t ws, std::size_t we, Writer<M>& w) {
    const WordList::Side& side = words_->backward;
    key_.clear();
    for (std::size_t x = ws; x < we; ++x) key_ += Fold(s[x]);
    const auto it = side.by_first_word.find(std::u16string_view(key_));
    if (it == side.by_first_word.end()) return kNpos;
    for (const std::uint32_t e : it->second) {
      const WordList::Entry& entry = words_->entries[e];
      const std::size_t len = entry.folded.size();
      if (len > n - ws) continue;
      bool same = true;
      for (std::size_t x = we - ws; x < len && same; ++x) same = Fold(s[ws + x]) == entry.folded[x];
      if (!same || (ws + len < n && IsWordUnit(t_[s[ws + len]]))) continue;
      const std::u16string& out = entry.uey;
      w.More(out.size());
      for (std::size_t k = 0; k < out.size(); ++k) w.Put(out[k], ws + k * len / out.size());
      return ws + len;
    }
    return kNpos;
  }

  // §7.6: capitals in a row are letters spaced out (ShUAR → ش ئۇ ئا ر); a digraph counts as
  // a capital when its first character is one (Ng, 3689 §7.6).
  template <bool M>
  void Acronym(const char16_t* s, std::size_t ws, std::size_t we, Writer<M>& w) const {
    bool first = true;
    for (std::size_t j = ws; j < we;) {
      const std::uint8_t v = t_[s[j]];
      if (v < kLetterBase) {
        w.Put(s[j], j);
        ++j;
        continue;
      }
      const int id = Id(v);
      char16_t uey[2];
      std::size_t len = 1, step = 1;
      bool vowel = false;
      if (dg_second_[id] >= 0 && j + 1 < we && t_[s[j + 1]] >= kLetterBase && !(t_[s[j + 1]] & kUpperBit) &&
          Id(t_[s[j + 1]]) == dg_second_[id]) {
        uey[0] = dg_uey_[id];
        step = 2;
      } else if (id == tse_) {
        uey[0] = u'\u0633';
      } else {
        const Letter& l = letters_[id];
        len = l.len;
        uey[0] = l.uey[0];
        uey[1] = l.uey[1];
        vowel = l.vowel;
      }
      if (len > 0) {
        if (!first) w.Put(u' ', j);
        if (vowel) w.Put(kCarrier, j);
        for (std::size_t k = 0; k < len; ++k) w.Put(uey[k], j);
        first = false;
      }
      j += step;
    }
  }

  // §7.5, an apostrophe inside a word: dropped between the letters of a would-be digraph, the
  // carrier before a vowel (returns true), kept anywhere else.
  template <bool M>
  bool Apostrophe(const char16_t* s, std::size_t j, int prev, Writer<M>& w) const {
    const std::uint8_t nv = t_[s[j + 1]];
    const int next = nv >= kLetterBase ? Id(nv) : -1;
    if (prev >= 0 && next >= 0 && drop_[prev][next]) return false;
    if (next >= 0 && letters_[next].vowel) {
      w.Put(kCarrier, j);
      return true;
    }
    w.Put(s[j], j);
    return false;
  }

  // Converts the word that starts at ws; returns its end.
  template <bool M>
  std::size_t Letters(const char16_t* s, std::size_t n, std::size_t ws, Writer<M>& out, Seen& seen) const {
    Writer<M> w = out;  // kept in registers
    const std::size_t end = LettersIn(s, n, ws, w, seen);
    out = w;
    return end;
  }

  template <bool M>
  std::size_t LettersIn(const char16_t* s, std::size_t n, std::size_t ws, Writer<M>& w, Seen& seen) const {
    bool first = true, carried = false, foreign = false, lower = false;
    int caps = 0;
    int prev = -1;
    std::size_t j = ws;
    while (j < n) {
      const char16_t c = s[j];
      if (c < 0x80 && (fast_[c] & kFast) &&
          (fast_second_[c] == 0 || j + 1 == n || (s[j + 1] | 0x20) != fast_second_[c])) {
        const std::uint32_t e = fast_[c];
        if ((e & kFastVowel) && first && !carried) w.Put(kCarrier, j);  // §7.3
        w.Put(static_cast<char16_t>(e), j);
        lower = true;
        prev = static_cast<int>(e >> 24);
        first = carried = false;
        ++j;
        continue;
      }
      const std::uint8_t v = t_[c];
      if (v < kLetterBase) {
        if (v == kBForeign || v == kBCombining) {
          foreign = true;
          prev = -1;
          ++j;
          continue;
        }
        if (v != kBApostrophe || j == ws || j + 1 == n || !IsWordUnit(t_[s[j + 1]])) break;
        carried = Apostrophe(s, j, prev, w);
        prev = -1;
        ++j;
        continue;
      }
      const int id = Id(v);
      const bool up = (v & kUpperBit) != 0;
      if (dg_second_[id] >= 0 && j + 1 < n && t_[s[j + 1]] >= kLetterBase && Id(t_[s[j + 1]]) == dg_second_[id]) {
        // §7.4: digraphs read first. "Sh" is one capital, "SH" two, "sh" lower case.
        const bool up2 = (t_[s[j + 1]] & kUpperBit) != 0;
        if (up) caps += up2 ? 2 : 1;
        else lower = true;
        w.Put(dg_uey_[id], j);
        prev = dg_second_[id];
        first = carried = false;
        j += 2;
        continue;
      }
      if (up) ++caps;
      else lower = true;
      if (id == tse_) {
        // 3691 §7.3.4: ц is س at a word start, تس elsewhere.
        if (!first) w.Put(u'\u062A', j);
        w.Put(u'\u0633', j);
      } else {
        const Letter& l = letters_[id];
        if (!l.known) foreign = true;  // ULY c without its h
        if (l.vowel && first && !carried) w.Put(kCarrier, j);  // §7.3: the carrier at a word start
        w.Put(l.uey[0], j);
        if (l.len > 1) w.Put(l.uey[1], j);
        else if (l.len == 0) w.Rewind(w.Pos() - 1);  // ъ ь: nothing
      }
      prev = id;
      first = carried = false;
      ++j;
    }
    seen.foreign |= foreign;
    seen.lower |= lower;
    seen.caps += caps;
    return j;
  }

  bool wrap_, keep_marks_;
  const std::uint8_t* t_;
  const WordList::PerScript* words_;
  Letter letters_[64];
  std::int8_t dg_second_[64];
  char16_t dg_uey_[64] = {};
  bool drop_[64][64] = {};
  int tse_ = -1;
  std::u16string key_;
  static constexpr std::uint32_t kFast = 1u << 16, kFastVowel = 1u << 17;
  std::uint32_t fast_[128] = {};  // UEY unit | kFast | kFastVowel | id << 24
  char16_t fast_second_[128] = {};  // the second of a digraph this letter starts
};

// Finds where the line that starts at `start` ends (one past its break, or one past the
// space it is cut at), scanning from `from`; kNpos when that is not before `end`. Units that
// may matter (controls up to CR, U+0085, U+2028 and above: breaks and presentation forms)
// are looked for eight at a time.
std::size_t LineEnd(const char16_t* s, std::size_t start, std::size_t from, std::size_t end, bool& forms,
                    bool& cut) {
  std::size_t i = from;
  for (;;) {
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi16(0x0D), ls = _mm_set1_epi16(0x2027), nel = _mm_set1_epi16(0x85);
    const __m128i zero = _mm_setzero_si128();
    const std::size_t fast_end = std::min(end, start + kMaxLine);  // past it every space counts
    while (i + 8 <= fast_end) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(v, cr), zero);            // v <= 0x0D
      const __m128i high = _mm_xor_si128(_mm_cmpeq_epi16(_mm_subs_epu16(v, ls), zero),
                                         _mm_cmpeq_epi16(zero, zero));              // v >= 0x2028
      const __m128i hit = _mm_or_si128(_mm_or_si128(low, high), _mm_cmpeq_epi16(v, nel));
      if (_mm_movemask_epi8(hit) != 0) break;
      i += 8;
    }
#endif
    if (i >= end) return kNpos;
    const std::size_t stop = std::min(end, i + 8);
    for (; i < stop; ++i) {
      const char16_t c = s[i];
      if (c > 0x20 && c < 0x2028 && c != 0x85) continue;
      if (c <= 0x0D) {
        if (c >= 0x0A) return cut = false, i + 1;
      } else if (c == 0x20) {
        if (i - start >= kMaxLine) return cut = true, i + 1;
      } else if (c == 0x85 || c == 0x2028 || c == 0x2029) {
        return cut = false, i + 1;
      } else if (c >= 0xFB50 && c <= 0xFEFE) {
        forms = true;
      }
    }
    // Past the longest line: the next space cuts it.
    if (i - start >= kMaxLine) {
      for (; i < end; ++i) {
        const char16_t c = s[i];
        if (c == 0x20) return cut = true, i + 1;
        if ((c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029) return cut = false, i + 1;
        if (c >= 0xFB50 && c <= 0xFEFE) forms = true;
      }
      return kNpos;
    }
  }
}

}  // namespace

struct Converter::Impl {
  Options options;
  std::unique_ptr<Forward> forward;
  std::unique_ptr<Backward> backward;
  std::u16string pending;
  std::size_t pending_base = 0, scanned = 0, consumed = 0;
  bool pending_forms = false;
  LineState state;
  bool carry = false;  // the last line was cut: its state goes on
  Buffer first, second;
  std::u16string folded;
  std::vector<std::size_t> fold_map;

  explicit Impl(const Options& o) : options(o) {
    if (o.from == o.to) throw std::invalid_argument("the text is in that script already");
    const bool chain = o.from != Script::Uey && o.to != Script::Uey;
    if (o.from != Script::Uey) backward = std::make_unique<Backward>(o.from, o.wrap, chain, o.words);
    if (o.to != Script::Uey) forward = std::make_unique<Forward>(o.to, o.e_acute, o.wrap, chain, o.words);
  }

  // §6.1.1: presentation forms folded to the letters they show.
  void Fold(const char16_t* s, std::size_t n) {
    folded.clear();
    fold_map.clear();
    for (std::size_t j = 0; j < n; ++j) {
      const char16_t c = s[j];
      const FoldEntry* e = c >= 0xFB50 && c <= 0xFDFF ? &kFoldA[c - 0xFB50]
                           : c >= 0xFE70 && c <= 0xFEFE ? &kFoldB[c - 0xFE70] : nullptr;
      if (e && e->len > 0) {
        for (std::size_t k = 0; k < e->len; ++k) folded += kFoldPool[e->off + k], fold_map.push_back(j);
      } else {
        folded += c;
        fold_map.push_back(j);
      }
    }
  }

  template <bool M>
  void Append(const Writer<M>& w, std::u16string& out, std::vector<std::size_t>* map, std::size_t base,
              const std::size_t* through) {
    const std::size_t count = w.Pos();
    out.append(w.Begin(), count);
    if constexpr (M) {
      const std::size_t old = map->size();
      map->resize(old + count);
      std::size_t* dst = map->data() + old;
      const std::size_t* src = w.b->map.get();
      if (through) for (std::size_t k = 0; k < count; ++k) dst[k] = base + through[src[k]];
      else for (std::size_t k = 0; k < count; ++k) dst[k] = base + src[k];
    }
  }

  template <bool M>
  void Line(const char16_t* s, std::size_t n, std::size_t base, bool forms, bool cut, std::u16string& out,
            std::vector<std::size_t>* map) {
    if (!carry) state = LineState{};
    carry = cut;
    if (!backward) {
      const std::size_t* through = nullptr;
      if (forms) {
        Fold(s, n);
        s = folded.data();
        n = folded.size();
        through = fold_map.data();
      }
      Writer<M> w(first, 4 * n + 16);
      forward->Line(s, n, state, w);
      Append(w, out, map, base, through);
    } else if (!forward) {
      Writer<M> w(first, 4 * n + 16);
      backward->Line(s, n, w);
      Append(w, out, map, base, nullptr);
    } else {
      Writer<M> w1(first, 4 * n + 16);
      backward->Line(s, n, w1);
      Writer<M> w2(second, 4 * w1.Pos() + 16);
      forward->Line(w1.Begin(), w1.Pos(), state, w2);
      Append(w2, out, map, base, M ? first.map.get() : nullptr);
    }
  }

  void Run(const char16_t* s, std::size_t n, std::size_t base, std::size_t scan, bool forms, std::u16string& out,
           std::vector<std::size_t>* map, std::size_t& done) {
    std::size_t pos = 0;
    bool cut = false;
    for (;;) {
      const std::size_t e = LineEnd(s, pos, scan, n, forms, cut);
      if (e == kNpos) break;
      if (map) Line<true>(s + pos, e - pos, base + pos, forms, cut, out, map);
      else Line<false>(s + pos, e - pos, base + pos, forms, cut, out, map);
      pos = scan = e;
      forms = false;
    }
    done = pos;
    pending_forms = forms;
  }

  void Feed(std::u16string_view piece, std::u16string& out, std::vector<std::size_t>* map) {
    std::size_t done = 0;
    if (pending.empty()) {
      Run(piece.data(), piece.size(), consumed, 0, false, out, map, done);
      pending.assign(piece.substr(done));
      pending_base = consumed + done;
    } else {
      pending.append(piece);
      Run(pending.data(), pending.size(), pending_base, scanned, pending_forms, out, map, done);
      pending.erase(0, done);
      pending_base += done;
    }
    scanned = pending.size();
    consumed += piece.size();
  }

  void Finish(std::u16string& out, std::vector<std::size_t>* map) {
    if (!pending.empty()) {
      if (map) Line<true>(pending.data(), pending.size(), pending_base, pending_forms, false, out, map);
      else Line<false>(pending.data(), pending.size(), pending_base, pending_forms, false, out, map);
    }
    Reset();
  }

  void Reset() {
    pending.clear();
    pending_base = scanned = consumed = 0;
    pending_forms = carry = false;
    state = LineState{};
  }
};

Converter::Converter(const Options& options) : impl_(std::make_unique<Impl>(options)) {}
Converter::~Converter() = default;

void Converter::Feed(std::u16string_view piece, std::u16string& out, std::vector<std::size_t>* map) {
  impl_->Feed(piece, out, map);
}
void Converter::Finish(std::u16string& out, std::vector<std::size_t>* map) { impl_->Finish(out, map); }
void Converter::Reset() { impl_->Reset(); }

std::u16string Convert(std::u16string_view text, const Options& options, std::vector<std::size_t>* map) {
  Converter converter(options);
  std::u16string out;
  out.reserve(text.size() + text.size() / 4);
  converter.Feed(text, out, map);
  converter.Finish(out, map);
  return out;
}

std::string_view Code(Script script) {
  switch (script) {
    case Script::Uey: return "uey";
    case Script::Uly: return "uly";
    case Script::Uky: return "uky";
    case Script::Uyy: return "uyy";
  }
  return "";
}

std::string_view Name(Script script) {
  switch (script) {
    case Script::Uey: return "Arabic script";
    case Script::Uly: return "Latin";
    case Script::Uky: return "Cyrillic";
    case Script::Uyy: return "New Script";
  }
  return "";
}

std::optional<Script> ParseScript(std::string_view code) {
  std::string lower(code);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  for (Script s : {Script::Uey, Script::Uly, Script::Uky, Script::Uyy})
    if (lower == Code(s)) return s;
  return std::nullopt;
}

void CountLetters(std::u16string_view text, Detection& d) {
  const std::uint8_t* cls = FwdTable();
  char16_t prev = 0;
  for (const char16_t c : text) {
    switch (cls[c]) {
      case kUey:
      case kArabic:
      case kForm:
        ++d.arabic;
        break;
      case kLatin:
        ++d.latin;
        switch (c) {
          case 0xEB: case 0xCB: case 0xE9: case 0xC9: case 0xF6: case 0xD6:
            ++d.uly_only;
            break;
          case 0x259: case 0x18F: case 0x275: case 0x19F: case 0x2C6A: case 0x2C69:
          case 0x2C68: case 0x2C67: case 0x2C6C: case 0x2C6B: case 0x1A3: case 0x1A2:
            ++d.uyy_only;
            break;
          case u'h': case u'H':
            if (prev == u'g' || prev == u'G') ++d.uly_only;
            break;
          default:
            break;
        }
        break;
      case kCyrillic:
        ++d.cyrillic;
        break;
      default:
        break;
    }
    prev = c;
  }
}

void Decide(Detection& d) {
  d.script.reset();
  d.assumed = false;
  const std::size_t counts[3] = {d.arabic, d.latin, d.cyrillic};
  const std::size_t lead = static_cast<std::size_t>(std::max_element(counts, counts + 3) - counts);
  if (counts[lead] == 0) return;
  for (std::size_t k = 0; k < 3; ++k)
    if (k != lead && counts[k] * 2 > counts[lead]) return;
  if (lead == 0) d.script = Script::Uey;
  else if (lead == 2) d.script = Script::Uky;
  else if (d.uyy_only > d.uly_only) d.script = Script::Uyy;
  else d.script = Script::Uly, d.assumed = d.uly_only == 0;
}

Detection DetectScript(std::u16string_view text) {
  Detection d;
  CountLetters(text, d);
  Decide(d);
  return d;
}

}  // namespace uy::script
