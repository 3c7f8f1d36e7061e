// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_walk.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <string>

#include <unicode/ucnv.h>

#include "document_error.h"

namespace uy::docscript {

std::u16string RtfParagraph::Text() const {
  std::u16string t;
  for (const RtfSlot& s : slots) t += s.text;
  return t;
}

namespace {

using formats::DocumentError;
constexpr std::size_t npos = std::string::npos;

struct Token {
  enum Kind { kOpen, kClose, kWord, kSymbol, kHex, kBytes, kNewline, kEnd } kind = kEnd;
  Range range;
  std::string_view word;  // control word without its backslash
  bool has_param = false;
  int param = 0;
  char symbol = 0;        // control symbol's character
  bool delimited = false; // a control word's space delimiter was consumed
};

bool Letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool Digit(char c) { return c >= '0' && c <= '9'; }
int Hex(char c) {
  if (Digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Lexer {
 public:
  explicit Lexer(std::string_view doc) : doc_(doc) {}
  std::size_t pos() const { return pos_; }
  bool AtEnd() const { return pos_ >= doc_.size(); }
  char Peek() const { return doc_[pos_]; }
  void Skip() { ++pos_; }
  Token Next();

 private:
  Token Word(std::size_t begin);
  std::string_view doc_;
  std::size_t pos_ = 0;
};

Token Lexer::Next() {
  Token t;
  const std::size_t begin = pos_;
  if (AtEnd()) return t;
  const char c = doc_[pos_];
  if (c == '{' || c == '}' || c == '\r' || c == '\n') {
    ++pos_;
    t.kind = c == '{' ? Token::kOpen : c == '}' ? Token::kClose : Token::kNewline;
  } else if (c != '\\') {
    while (pos_ < doc_.size() && doc_[pos_] != '\\' && doc_[pos_] != '{' && doc_[pos_] != '}' && doc_[pos_] != '\r' &&
           doc_[pos_] != '\n')
      ++pos_;
    t.kind = Token::kBytes;
  } else {
    return Word(begin);
  }
  t.range = {begin, pos_};
  return t;
}

Token Lexer::Word(std::size_t begin) {
  Token t;
  if (++pos_ >= doc_.size()) throw DocumentError("the document ends inside a control word");
  const char c = doc_[pos_];
  if (!Letter(c)) {
    ++pos_;
    t.kind = Token::kSymbol;
    t.symbol = c;
    if (c == '\'') {
      if (pos_ + 1 >= doc_.size() || Hex(doc_[pos_]) < 0 || Hex(doc_[pos_ + 1]) < 0)
        throw DocumentError("a \\' escape without two hex digits");
      t.kind = Token::kHex;
      t.param = Hex(doc_[pos_]) * 16 + Hex(doc_[pos_ + 1]);
      pos_ += 2;
    }
    t.range = {begin, pos_};
    return t;
  }
  const std::size_t name = pos_;
  while (pos_ < doc_.size() && Letter(doc_[pos_])) ++pos_;
  t.kind = Token::kWord;
  t.word = doc_.substr(name, pos_ - name);
  const bool minus = pos_ + 1 < doc_.size() && doc_[pos_] == '-' && Digit(doc_[pos_ + 1]);
  if (minus) ++pos_;
  long long v = 0;
  for (; pos_ < doc_.size() && Digit(doc_[pos_]); ++pos_) {
    t.has_param = true;
    v = std::min<long long>(v * 10 + (doc_[pos_] - '0'), 0x7FFFFFFF);
  }
  t.param = static_cast<int>(minus ? -v : v);
  t.range = {begin, pos_};
  if (pos_ < doc_.size() && doc_[pos_] == ' ') {
    ++pos_;
    t.delimited = true;
  }
  if (t.word == "bin" && t.param > 0) {
    if (static_cast<std::size_t>(t.param) > doc_.size() - pos_) throw DocumentError("a \\bin's data runs past the end");
    pos_ += static_cast<std::size_t>(t.param);
    t.range.end = pos_;
  }
  return t;
}

// Destinations whose content is no text of the document.
constexpr std::string_view kSkipped[] = {
    "colortbl", "info", "pict", "object", "fldinst", "listtext", "pntext", "pntxta", "pntxtb", "pn", "xe", "tc",
    "template", "nonshppict", "shprslt", "themedata", "colorschememapping", "datastore", "latentstyles",
    "listtable", "listoverridetable", "revtbl", "rsidtbl", "generator", "userprops", "private", "bkmkstart",
    "bkmkend", "ftnsep", "ftnsepc", "aftnsep", "aftnsepc", "ftncn", "aftncn", "filetbl", "xmlnstbl", "falt",
    "panose", "fname", "leveltext", "levelnumbers", "objdata", "result", "atnid", "atnauthor", "atndate",
    "atnref", "atrfstart", "atrfend", "atnparent", "mmathPr", "docvar", "listpicture"};
// Destinations of their own paragraphs.
constexpr std::string_view kTextDestinations[] = {"footnote", "annotation", "header", "headerl", "headerr",
                                                  "headerf", "footer", "footerl", "footerr", "footerf"};
// Control words standing for one character, kept as they are.
constexpr std::pair<std::string_view, char16_t> kSpecials[] = {
    {"tab", u'\t'},       {"line", u'\n'},       {"emdash", u'\u2014'}, {"endash", u'\u2013'},
    {"emspace", u'\u2003'}, {"enspace", u'\u2002'}, {"qmspace", u'\u2005'}, {"bullet", u'\u2022'},
    {"lquote", u'\u2018'}, {"rquote", u'\u2019'}, {"ldblquote", u'\u201C'}, {"rdblquote", u'\u201D'},
    {"zwj", u'\u200D'},   {"zwnj", u'\u200C'},   {"ltrmark", u'\u200E'}, {"rtlmark", u'\u200F'},
    {"zwbo", u'\u200B'}};
constexpr std::pair<char, char16_t> kSpecialSymbols[] = {{'~', u'\u00A0'}, {'_', u'\u2011'}, {'-', u'\u00AD'}};
constexpr std::string_view kParagraphEnds[] = {"par", "cell", "nestcell", "row", "nestrow", "sect", "page"};
constexpr std::string_view kDirectionWords[] = {"rtlpar", "ltrpar", "rtlsect", "ltrsect", "rtlrow", "ltrrow",
                                                "taprtl", "rtldoc", "ltrdoc", "sectd", "trowd"};
// Font character sets and their code pages.
constexpr std::pair<int, int> kCharsets[] = {{0, 1252},   {2, 1252},   {77, 10000}, {128, 932}, {129, 949},
                                             {134, 936},  {136, 950},  {161, 1253}, {162, 1254}, {163, 1258},
                                             {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251}, {222, 874},
                                             {238, 1250}, {255, 437}};

// What the walk does with a control word (one look-up per word: documents hold millions).
enum class WordKind { kChar, kParagraph, kSpecial, kEnd, kCodePage };
struct WordInfo {
  WordKind kind;
  char16_t c = 0;  // a special's character, a code page word's code page
};

const std::unordered_map<std::string_view, WordInfo>& Words() {
  static const auto words = [] {
    std::unordered_map<std::string_view, WordInfo> words;
    auto* m = &words;
    for (const std::string_view w : {"plain", "rtlch", "ltrch", "uc", "ab", "b", "ai", "i", "afs", "fs", "alang",
                                     "lang", "af", "f"})
      m->emplace(w, WordInfo{WordKind::kChar});
    for (const std::string_view w : {"pard", "qr", "ql", "qc", "qj", "qd", "qt", "qk"})
      m->emplace(w, WordInfo{WordKind::kParagraph});
    for (const std::string_view w : kDirectionWords) m->emplace(w, WordInfo{WordKind::kParagraph});
    for (const auto& [w, c] : kSpecials) m->emplace(w, WordInfo{WordKind::kSpecial, c});
    for (const std::string_view w : kParagraphEnds) m->emplace(w, WordInfo{WordKind::kEnd});
    for (const auto& [w, cp] : {std::pair<std::string_view, char16_t>{"ansicpg", 0}, {"mac", 10000}, {"pc", 437},
                                {"pca", 850}})
      m->emplace(w, WordInfo{WordKind::kCodePage, cp});
    return words;
  }();
  return words;
}

template <typename Table>
bool In(const Table& table, std::string_view word) {
  return std::find(std::begin(table), std::end(table), word) != std::end(table);
}

struct ConverterClose {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

// Converted text is written in ASCII: code pages that read it otherwise (EBCDIC) are not taken.
bool AsciiCompatible(UConverter* c) {
  char ascii[0x5F];
  UChar back[0x60];
  for (int i = 0; i < 0x5F; ++i) ascii[i] = static_cast<char>(0x20 + i);
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(c, back, 0x60, ascii, 0x5F, &status);
  ucnv_resetToUnicode(c);
  if (U_FAILURE(status) || n != 0x5F) return false;
  for (int i = 0; i < 0x5F; ++i)
    if (back[i] != 0x20 + i) return false;
  return true;
}

// Bytes of a code page to UTF-16 through ICU; unknown code pages are read as windows-1252.
class Decoder {
 public:
  void Append(int cp, std::string_view bytes, std::u16string& out) {
    UConverter* c = Get(cp);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetToUnicode(c);
    const std::size_t at = out.size();
    out.resize(at + bytes.size() * 2 + 4);
    const auto room = static_cast<int32_t>(bytes.size() * 2 + 4);
    const int32_t n = ucnv_toUChars(c, reinterpret_cast<UChar*>(out.data() + at), room, bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &status);
    out.resize(at + (U_FAILURE(status) ? 0 : static_cast<std::size_t>(n)));
  }

 private:
  UConverter* Get(int cp) {
    auto& c = converters_[cp];
    if (c) return c.get();
    for (const std::string& name : {cp == 10000 ? std::string("macintosh") : "windows-" + std::to_string(cp),
                                    "ibm-" + std::to_string(cp), std::string("windows-1252")}) {
      UErrorCode status = U_ZERO_ERROR;
      c.reset(ucnv_open(name.c_str(), &status));
      if (U_SUCCESS(status) && c && AsciiCompatible(c.get())) return c.get();
    }
    throw DocumentError("no code page converter available");
  }
  std::map<int, std::unique_ptr<UConverter, ConverterClose>> converters_;
};

enum class Mode { kText, kSkip, kFonts, kStyles };

struct ParaState {
  bool rtl = false;
  char align = 'l';            // l r c j d t k: the q word in force
  Range said{npos, npos};      // that word, if the paragraph says one
};

struct Group {
  RtfCharState ch;
  ParaState para;
  Mode mode = Mode::kText;
  bool fresh = true;      // no token seen yet: a destination word may follow
  bool star = false;      // \* seen first
  bool text_dest = false; // opened a paragraph of its own
  bool style = false;     // an entry of the stylesheet
  int font = -1;          // the font being described (font table)
};

class Walker {
 public:
  Walker(std::string_view doc, RtfSink& sink, std::size_t max_depth)
      : doc_(doc), lex_(doc), sink_(sink), max_depth_(max_depth) {}
  void Run();

 private:
  Group& top() { return stack_.back(); }
  void Open(const Token& t);
  void Close(const Token& t);
  void Destination(const Token& t);
  void Control(const Token& t);
  bool CharControl(const Token& t);
  bool ParaControl(const Token& t);
  void Text(const Token& t);
  void Unicode(const Token& t);
  void Special(const Token& t, char16_t c);
  void StartSlot(std::size_t at);
  void CloseSlot();
  void EndParagraph(std::size_t at, bool marked);
  void ReportAlignment(const ParaState& p);
  int CodePage() const;

  std::string_view doc_;
  Lexer lex_;
  RtfSink& sink_;
  std::size_t max_depth_;
  std::vector<Group> stack_;
  std::vector<RtfParagraph> open_;  // the body's paragraph and that of every open note, header ...
  bool slot_open_ = false;
  std::string pending_;             // code-page bytes of the open slot not yet decoded
  int pending_cp_ = 1252;
  bool after_word_ = false;  // the last token was a control word with no space delimiter
  bool prev_word_ = false;   // the one before the current token was
  int doc_cp_ = 1252;
  std::map<int, int> font_cp_;
  std::size_t last_q_ = npos;
  std::set<std::size_t> reported_q_;  // an alignment word in force over several paragraphs is told once
  Decoder decoder_;
};

void Walker::Run() {
  if (!doc_.starts_with("{\\rtf")) throw DocumentError("not rich text: it does not start with {\\rtf");
  open_.emplace_back();
  bool started = false;
  for (;;) {
    if (started && stack_.empty()) break;
    const Token t = lex_.Next();
    if (t.kind == Token::kEnd) throw DocumentError("the document's groups are not closed");
    started = true;
    prev_word_ = after_word_;
    after_word_ = t.kind == Token::kWord && !t.delimited && !(t.word == "bin" && t.param > 0);
    switch (t.kind) {
      case Token::kOpen: Open(t); break;
      case Token::kClose: Close(t); break;
      case Token::kNewline: break;
      case Token::kBytes:
      case Token::kHex:
        // An ignorable destination without its word is passed over as a whole.
        if (top().fresh && top().star) top().mode = Mode::kSkip;
        if (top().mode == Mode::kText) {
          if (!slot_open_) StartSlot(t.range.begin);
          Text(t);
        }
        top().fresh = false;
        break;
      default: Control(t); break;
    }
  }
}

void Walker::Open(const Token&) {
  CloseSlot();
  if (stack_.size() >= max_depth_) throw DocumentError("groups are nested deeper than " + std::to_string(max_depth_));
  if (stack_.empty()) {
    stack_.emplace_back();
    return;
  }
  stack_.back().fresh = false;  // a group first: no destination word to come
  Group g = stack_.back();
  g.fresh = true;
  g.star = g.text_dest = g.style = false;
  if (g.mode == Mode::kStyles) {
    g.style = true;
    g.para = {};
  }
  stack_.push_back(g);
}

void Walker::Close(const Token& t) {
  CloseSlot();
  const Group g = stack_.back();
  if (g.style) ReportAlignment(g.para);
  if (g.text_dest) {
    if (!open_.back().slots.empty()) EndParagraph(t.range.begin, false);
    open_.pop_back();
  }
  if (stack_.size() == 1 && !open_.back().slots.empty()) EndParagraph(t.range.begin, false);
  stack_.pop_back();
}

void Walker::Destination(const Token& t) {
  Group& g = top();
  if (t.word == "stylesheet" || t.word == "pgdsctbl") {
    // Page styles hold headers and footers: their text is the document's, not their names.
    g.mode = Mode::kStyles;
  } else if ((g.star && !In(kTextDestinations, t.word)) || In(kSkipped, t.word)) {
    g.mode = Mode::kSkip;
  } else if (t.word == "fonttbl") {
    g.mode = Mode::kFonts;
  } else if (In(kTextDestinations, t.word) && g.mode != Mode::kSkip) {
    g.mode = Mode::kText;
    g.text_dest = true;
    open_.emplace_back();
  }
}

void Walker::Control(const Token& t) {
  Group& g = top();
  const bool fresh = g.fresh;
  g.fresh = false;
  if (t.kind == Token::kSymbol && t.symbol == '*' && fresh) {
    g.fresh = true;
    g.star = true;
    return;
  }
  if (t.kind == Token::kWord && fresh) Destination(t);
  else if (fresh && g.star) g.mode = Mode::kSkip;
  if (g.mode == Mode::kSkip) return;
  if (g.mode == Mode::kFonts) {
    if (t.word == "f") g.font = t.param;
    else if (t.word == "fcharset" || t.word == "cpg") {
      int cp = t.param;
      if (t.word == "fcharset") {
        const auto* it =
            std::find_if(std::begin(kCharsets), std::end(kCharsets), [&](auto& p) { return p.first == cp; });
        cp = it == std::end(kCharsets) ? -1 : it->second;
      }
      if (cp > 0 && g.font >= 0 && font_cp_.size() < 4096) font_cp_[g.font] = cp;
    }
    return;
  }
  if (t.kind == Token::kWord && t.word == "u" && g.mode == Mode::kText) return Unicode(t);
  if (t.kind == Token::kSymbol) {
    if (g.mode != Mode::kText) return;
    if (t.symbol == '\\' || t.symbol == '{' || t.symbol == '}') {
      if (!slot_open_) StartSlot(t.range.begin);
      return Text(t);
    }
    if (t.symbol == '\r' || t.symbol == '\n') return EndParagraph(t.range.begin, true);
    for (const auto& [s, c] : kSpecialSymbols)
      if (t.symbol == s) return Special(t, c);
    return CloseSlot();
  }
  CloseSlot();
  const auto it = Words().find(t.word);
  if (it == Words().end()) return;
  const WordInfo& w = it->second;
  if (w.kind == WordKind::kChar) return static_cast<void>(CharControl(t));
  if (w.kind == WordKind::kParagraph) return static_cast<void>(ParaControl(t));
  if (g.mode != Mode::kText) return;
  if (w.kind == WordKind::kSpecial) return Special(t, w.c);
  if (w.kind == WordKind::kEnd)
    return EndParagraph(t.range.begin, t.word == "par" || t.word == "sect" || t.word.ends_with("cell"));
  if (w.kind == WordKind::kCodePage) doc_cp_ = t.word == "ansicpg" ? (t.param > 0 ? t.param : doc_cp_) : w.c;
}

bool Walker::CharControl(const Token& t) {
  RtfCharState& c = top().ch;
  const std::string_view w = t.word;
  const bool on = !t.has_param || t.param != 0;
  if (w == "plain") {
    const int uc = c.uc;
    c = {};
    c.uc = uc;
  } else if (w == "rtlch" || w == "ltrch") {
    c.rtl = w == "rtlch";
  } else if (w == "uc") {
    c.uc = std::clamp(t.param, 0, 0xFFFF);
  } else if (w == "ab" || (w == "b" && c.rtl)) {
    c.ab = on;
  } else if (w == "ai" || (w == "i" && c.rtl)) {
    c.ai = on;
  } else if (w == "afs" || (w == "fs" && c.rtl)) {
    c.afs = t.has_param ? t.param : 24;
  } else if (w == "alang" || (w == "lang" && c.rtl)) {
    c.alang = t.param;
  } else if (w == "af" || (w == "f" && c.rtl)) {
    c.af = t.param;
  } else if (w == "b") {
    c.b = on;
  } else if (w == "i") {
    c.i = on;
  } else if (w == "fs") {
    c.fs = t.has_param ? t.param : 24;
  } else if (w == "lang") {
    c.lang = t.param;
  } else if (w == "f") {
    c.f = t.param;
  } else {
    return false;
  }
  return true;
}

bool Walker::ParaControl(const Token& t) {
  ParaState& p = top().para;
  const std::string_view w = t.word;
  if (In(kDirectionWords, w) && top().mode != Mode::kSkip) sink_.OnDirectionWord(w, t.range);
  if (w == "pard") p = {};
  else if (w == "rtlpar" || w == "ltrpar") p.rtl = w == "rtlpar";
  else if (w.size() == 2 && w[0] == 'q') p.align = w[1], p.said = t.range;
  return true;
}

int Walker::CodePage() const {
  const RtfCharState& c = stack_.back().ch;
  const auto it = font_cp_.find(c.rtl ? c.af : c.f);
  return it == font_cp_.end() ? doc_cp_ : it->second;
}

void Walker::StartSlot(std::size_t at) {
  RtfSlot s;
  s.range = {at, at};
  s.state = top().ch;
  s.after_word = prev_word_;
  open_.back().slots.push_back(std::move(s));
  slot_open_ = true;
}

void Walker::CloseSlot() {
  if (!slot_open_) return;
  if (!pending_.empty()) decoder_.Append(pending_cp_, pending_, open_.back().slots.back().text);
  pending_.clear();
  slot_open_ = false;
}

void Walker::Text(const Token& t) {
  const int cp = CodePage();
  RtfSlot& s = open_.back().slots.back();
  if (cp != pending_cp_ && !pending_.empty()) {
    decoder_.Append(pending_cp_, pending_, s.text);
    pending_.clear();
  }
  pending_cp_ = cp;
  if (t.kind == Token::kHex) pending_ += static_cast<char>(t.param);
  else if (t.kind == Token::kSymbol) pending_ += t.symbol;
  else pending_.append(doc_.substr(t.range.begin, t.range.end - t.range.begin));
  s.range.end = t.range.end;
}

// \uN and the fallback after it: as many characters as \uc says (a control word or an escaped
// byte counts as one), stopping at a brace.
void Walker::Unicode(const Token& t) {
  if (!slot_open_) StartSlot(t.range.begin);
  RtfSlot& s = open_.back().slots.back();
  if (!pending_.empty()) decoder_.Append(pending_cp_, pending_, s.text);
  pending_.clear();
  s.text += static_cast<char16_t>(static_cast<unsigned>(t.param) & 0xFFFF);
  std::size_t end = lex_.pos();
  for (int left = top().ch.uc; left > 0 && !lex_.AtEnd();) {
    const char c = lex_.Peek();
    if (c == '{' || c == '}') break;
    if (c == '\r' || c == '\n') {
      lex_.Skip();
      continue;
    }
    if (c == '\\') lex_.Next();
    else lex_.Skip();
    end = lex_.pos();
    --left;
  }
  s.range.end = end;
}

void Walker::Special(const Token& t, char16_t c) {
  CloseSlot();
  RtfSlot s;
  s.range = t.range;
  s.text = std::u16string(1, c);
  s.state = top().ch;
  s.special = true;
  open_.back().slots.push_back(std::move(s));
}

void Walker::ReportAlignment(const ParaState& p) {
  if (p.said.begin == npos || p.said.begin == last_q_ || !reported_q_.insert(p.said.begin).second) return;
  last_q_ = p.said.begin;
  sink_.OnAlignment(p.said, p.align, p.rtl);
}

void Walker::EndParagraph(std::size_t at, bool marked) {
  CloseSlot();
  RtfParagraph& p = open_.back();
  p.rtl = top().para.rtl;
  p.end = at;
  p.marked_end = marked;
  p.aligned = top().para.said.begin != npos;
  ReportAlignment(top().para);
  sink_.OnParagraph(p);
  p.slots.clear();
}

}  // namespace

void WalkRtf(std::string_view doc, RtfSink& sink, std::size_t max_depth) {
  Walker(doc, sink, max_depth).Run();
}

}  // namespace uy::docscript
