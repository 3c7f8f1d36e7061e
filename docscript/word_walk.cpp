// SPDX-License-Identifier: GPL-3.0-or-later
#include "word_walk.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <stdexcept>

#include <expat.h>

#include "document_error.h"
#include "odf_walk.h"
#include "utf.h"

namespace uy::docscript {

using formats::DocumentError;

std::string ApplyEdits(std::string_view part, Edits edits) {
  std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
  std::string out;
  out.reserve(part.size() + part.size() / 4);
  std::size_t at = 0;
  for (const Edit& e : edits) {
    if (e.begin < at || e.end < e.begin || e.end > part.size()) throw std::logic_error("overlapping edits of an XML part");
    out.append(part.substr(at, e.begin - at));
    out += e.text;
    at = e.end;
  }
  out.append(part.substr(at));
  return out;
}

std::string EscapeText(std::u16string_view text) {
  const std::string utf8 = ToUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

std::optional<Edit> SetAttribute(std::string_view part, Range tag, std::string_view name,
                                 std::optional<std::string_view> value) {
  const std::string_view t = part.substr(tag.begin, tag.end - tag.begin);
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::size_t i = 1;
  while (i < t.size() && !blank(t[i]) && t[i] != '/' && t[i] != '>') ++i;
  // The attributes one after the other (the parser has checked the tag), so that a name is
  // never taken from inside another attribute's value: blanks, name, '=', quoted value.
  std::size_t after_last = i;
  for (;;) {
    const std::size_t start = i;
    while (i < t.size() && blank(t[i])) ++i;
    if (i >= t.size() || t[i] == '/' || t[i] == '>') break;
    const std::size_t name_start = i;
    while (i < t.size() && !blank(t[i]) && t[i] != '=') ++i;
    const std::string_view an = t.substr(name_start, i - name_start);
    while (i < t.size() && (blank(t[i]) || t[i] == '=')) ++i;
    if (i >= t.size() || (t[i] != '"' && t[i] != '\'')) break;
    const std::size_t close = t.find(t[i], i + 1);
    if (close == std::string_view::npos) break;
    i = after_last = close + 1;
    if (an != name) continue;
    if (!value) return Edit{tag.begin + start, tag.begin + i, ""};
    return Edit{tag.begin + start, tag.begin + i, " " + std::string(name) + "=\"" + std::string(*value) + "\""};
  }
  if (!value) return std::nullopt;
  // A new attribute goes after the others, so that it never meets an edit of one of them.
  const std::size_t at = tag.begin + after_last;
  return Edit{at, at, " " + std::string(name) + "=\"" + std::string(*value) + "\""};
}

const std::string* PropChild::Attr(std::string_view local) const {
  for (const auto& [name, value] : attrs)
    if (name == local) return &value;
  return nullptr;
}

const PropChild* Props::Find(std::string_view local) const {
  for (const PropChild& c : children)
    if (c.name == local) return &c;
  return nullptr;
}

std::u16string Paragraph::Text() const {
  std::u16string text;
  for (const TextSlot& s : slots) text += s.text;
  return text;
}

namespace {

constexpr std::string_view kWordNs[] = {"http://schemas.openxmlformats.org/wordprocessingml/2006/main",
                                        "http://purl.oclc.org/ooxml/wordprocessingml/main"};
constexpr std::string_view kSheetNs[] = {"http://schemas.openxmlformats.org/spreadsheetml/2006/main",
                                         "http://purl.oclc.org/ooxml/spreadsheetml/main"};

constexpr std::string_view kSlideNs[] = {"http://schemas.openxmlformats.org/drawingml/2006/main",
                                         "http://purl.oclc.org/ooxml/drawingml/main"};

bool Ours(Markup m, std::string_view uri) {
  const auto& list = m == Markup::kWord ? kWordNs : m == Markup::kSheet ? kSheetNs : kSlideNs;
  return std::find(std::begin(list), std::end(list), uri) != std::end(list);
}
constexpr std::string_view kXmlNs = "http://www.w3.org/XML/1998/namespace";

// What one part may hold, so that memory stays a small multiple of the part's size: a
// hostile part of 64 MB could otherwise nest millions of elements or runs.
constexpr std::size_t kMaxDepth = 256;
constexpr std::size_t kMaxPieces = 1 << 16;          // runs and text slots of one paragraph
constexpr std::size_t kMaxChildren = 1024;           // children of one property element
constexpr std::size_t kMaxParagraphText = 1 << 22;   // UTF-8 bytes of one paragraph's text

// Elements in a run that stand for one character of the paragraph's text.
struct SpecialChar {
  std::string_view name;
  char16_t ch;
};
constexpr SpecialChar kSpecials[] = {
    {"tab", u'\t'}, {"br", u'\n'}, {"cr", u'\n'}, {"noBreakHyphen", u'\u2011'}, {"softHyphen", u'\u00AD'},
};

// "uri|local" split; `word` tells whether the uri is the vocabulary's namespace.
struct Name {
  std::string_view uri, local;
  bool word = false;
};
Name Split(const char* qname, Markup m) {
  const std::string_view q(qname);
  const std::size_t bar = q.rfind('|');
  Name n;
  if (bar == std::string_view::npos) {
    n.local = q;
    return n;
  }
  n.uri = q.substr(0, bar);
  n.local = q.substr(bar + 1);
  n.word = Ours(m, n.uri);
  return n;
}

struct OpenParagraph {
  Paragraph para;
  int depth = 0;
  int run_depth = -1;  // the open run's depth, -1 when none
};

struct OpenProps {
  Props props;
  int depth = 0;
  enum class Owner { kParagraph, kRun, kAlone } owner = Owner::kAlone;
};

class Walker {
 public:
  Walker(WordTransform& t, Edits& e, PartInfo& i, Markup m) : info(i), markup(m), transform_(t), edits_(e) {}
  PartInfo& info;
  const Markup markup;
  std::string failure;

  void Start(XML_Parser p, const char* qname, const char** attrs);
  void End(XML_Parser p, const char* qname);
  void Chars(XML_Parser p, const char* s, int len) {
    if (!in_text_) return;
    text_.append(s, static_cast<std::size_t>(len));
    if (text_.size() + text_bytes_ > kMaxParagraphText && failure.empty()) {
      failure = Limit();
      XML_StopParser(p, XML_FALSE);
    }
  }

 private:
  void StartWord(std::string_view local, Range tag, const char** attrs);
  void EndWord(std::string_view local, Range tag);
  void StartProps(std::string_view local, Range tag);
  void StartSheet(std::string_view local, Range tag, const char** attrs);
  void StartSlide(std::string_view local, Range tag, const char** attrs);
  void StartText(Range tag, const char** attrs);
  std::string Limit() const;
  std::string_view Parent() const { return names_.size() >= 2 ? std::string_view(names_[names_.size() - 2]) : std::string_view(); }

  WordTransform& transform_;
  Edits& edits_;
  std::vector<std::string> names_;  // local names of the open word elements ("" for others)
  std::vector<OpenParagraph> paras_;
  std::vector<OpenProps> props_;
  bool in_text_ = false;
  std::size_t text_bytes_ = 0;  // of the open paragraphs' text so far
  TextSlot slot_;
  std::string text_;
};

std::string Walker::Limit() const {
  if (names_.size() > kMaxDepth) return "the part nests elements more than " + std::to_string(kMaxDepth) + " deep";
  if (!paras_.empty()) {
    const Paragraph& para = paras_.back().para;
    if (para.runs.size() + para.slots.size() > kMaxPieces)
      return "a paragraph has more than " + std::to_string(kMaxPieces) + " runs and text elements";
  }
  if (!props_.empty() && props_.back().props.children.size() > kMaxChildren)
    return "a property element has more than " + std::to_string(kMaxChildren) + " children";
  if (text_.size() + text_bytes_ > kMaxParagraphText)
    return "a paragraph holds more than " + std::to_string(kMaxParagraphText >> 20) + " MB of text";
  return {};
}

Range TagRange(XML_Parser p) {
  const auto at = static_cast<std::size_t>(XML_GetCurrentByteIndex(p));
  return {at, at + static_cast<std::size_t>(XML_GetCurrentByteCount(p))};
}

void Walker::Start(XML_Parser p, const char* qname, const char** attrs) {
  const Name n = Split(qname, markup);
  names_.emplace_back(n.word ? n.local : std::string_view());
  const Range tag = TagRange(p);
  std::string why = Limit();
  // A text element holds characters only: its content is replaced whole.
  if (why.empty() && in_text_) why = "a text element holds other elements";
  if (!why.empty()) {
    failure = why;
    XML_StopParser(p, XML_FALSE);
    return;
  }
  const int depth = static_cast<int>(names_.size());
  // A direct child of an open property element.
  if (!props_.empty() && props_.back().depth + 1 == depth) {
    PropChild c{std::string(n.word ? n.local : std::string_view()), {tag.begin, tag.end}, {}};
    for (const char** a = attrs; *a; a += 2) {
      const Name an = Split(a[0], markup);
      if (an.word) c.attrs.emplace_back(std::string(an.local), a[1]);
    }
    props_.back().props.children.push_back(std::move(c));
  }
  if (!n.word) return;
  if (markup == Markup::kWord) return StartWord(n.local, tag, attrs);
  transform_.OnTag(n.local, tag, attrs, edits_);
  if (markup == Markup::kSheet) StartSheet(n.local, tag, attrs);
  else StartSlide(n.local, tag, attrs);
}

// Drawing text: paragraphs (a:p) of runs and fields (a:r, a:fld) holding a:t, and line breaks
// (a:br) between them; a:pPr says whether the paragraph has its own properties.
void Walker::StartSlide(std::string_view local, Range tag, const char** attrs) {
  const int depth = static_cast<int>(names_.size());
  const bool in_para = !paras_.empty() && paras_.back().depth == depth - 1;
  if (local == "p") {
    OpenParagraph op{{}, depth, -1};
    op.para.ppr.name = "pPr";
    op.para.ppr.insert_at = tag.end;
    paras_.push_back(std::move(op));
  } else if (local == "pPr" && in_para) {
    paras_.back().para.ppr.present = true;
  } else if ((local == "r" || local == "fld") && in_para) {
    paras_.back().run_depth = depth;
    paras_.back().para.runs.push_back(Run{});
  } else if (local == "br" && in_para) {
    Paragraph& para = paras_.back().para;
    para.runs.push_back(Run{});
    TextSlot special;
    special.special = true;
    special.text.assign(1, u'\n');
    special.run = para.runs.size() - 1;
    para.slots.push_back(std::move(special));
  } else if (local == "t" && !paras_.empty() && paras_.back().run_depth == depth - 1) {
    StartText(tag, attrs);
  }
}

// Shared strings (si), inline strings (is) and comments' text are paragraphs; their runs (r)
// or they themselves hold the text (t). Phonetic runs (rPh) are not text.
void Walker::StartSheet(std::string_view local, Range tag, const char** attrs) {
  const int depth = static_cast<int>(names_.size());
  const std::string_view parent = Parent();
  if (local == "si" || local == "is" || (local == "text" && parent == "comment")) {
    OpenParagraph op{{}, depth, -1};
    op.para.runs.push_back(Run{});  // the text directly inside
    paras_.push_back(std::move(op));
  } else if (local == "r" && !paras_.empty() && paras_.back().depth == depth - 1) {
    paras_.back().run_depth = depth;
    paras_.back().para.runs.push_back(Run{});
  } else if (local == "t" && !paras_.empty() &&
             (paras_.back().depth == depth - 1 || paras_.back().run_depth == depth - 1)) {
    StartText(tag, attrs);
  }
}

void Walker::StartWord(std::string_view local, Range tag, const char** attrs) {
  const int depth = static_cast<int>(names_.size());
  const std::string_view parent = Parent();
  if (local == "p") {
    OpenParagraph op{{}, depth, -1};
    op.para.ppr.name = "pPr";
    op.para.ppr.insert_at = tag.end;
    paras_.push_back(std::move(op));
  } else if (local == "r" && !paras_.empty() && paras_.back().run_depth < 0) {
    paras_.back().run_depth = depth;
    Run r;
    r.rpr.name = "rPr";
    r.rpr.insert_at = tag.end;
    paras_.back().para.runs.push_back(std::move(r));
  } else if (local == "pPr" || local == "rPr" || local == "sectPr" || local == "tblPr") {
    StartProps(local, tag);
  } else if (parent == "r" && !paras_.empty() && paras_.back().run_depth == depth - 1) {
    if (local == "t") return StartText(tag, attrs);
    for (const SpecialChar& s : kSpecials)
      if (local == s.name) {
        TextSlot special;
        special.special = true;
        special.text.assign(1, s.ch);
        special.run = paras_.back().para.runs.size() - 1;
        paras_.back().para.slots.push_back(std::move(special));
      }
  }
}

void Walker::StartText(Range tag, const char** attrs) {
  in_text_ = true;
  text_.clear();
  slot_ = TextSlot{};
  slot_.open = tag;
  slot_.inner = {tag.end, tag.end};
  for (const char** a = attrs; *a; a += 2) {
    const std::string_view an(a[0]);
    if (an.size() > kXmlNs.size() && an.substr(0, kXmlNs.size()) == kXmlNs && an.substr(kXmlNs.size()) == "|space")
      slot_.preserve = std::string_view(a[1]) == "preserve";
  }
}

void Walker::StartProps(std::string_view local, Range tag) {
  OpenProps op;
  op.props.name = std::string(local);
  op.props.present = true;
  op.props.whole = tag;
  op.depth = static_cast<int>(names_.size());
  const std::string_view parent = Parent();
  if (!paras_.empty()) {
    OpenParagraph& top = paras_.back();
    if (local == "pPr" && parent == "p" && top.depth == op.depth - 1) op.owner = OpenProps::Owner::kParagraph;
    if (local == "rPr" && parent == "r" && top.run_depth == op.depth - 1) op.owner = OpenProps::Owner::kRun;
  }
  // Property elements that record an earlier formatting (w:rPrChange ...) are left alone.
  if (op.owner == OpenProps::Owner::kAlone && parent.ends_with("Change")) op.props.present = false;
  props_.push_back(std::move(op));
}

void Walker::End(XML_Parser p, const char* qname) {
  const Name n = Split(qname, markup);
  const Range tag = TagRange(p);
  const int depth = static_cast<int>(names_.size());
  if (!props_.empty() && props_.back().depth + 1 == depth && !props_.back().props.children.empty())
    props_.back().props.children.back().whole.end = tag.end;
  if (n.word) EndWord(n.local, tag);
  names_.pop_back();
}

void Walker::EndWord(std::string_view local, Range tag) {
  const int depth = static_cast<int>(names_.size());
  if (in_text_ && local == "t") {
    in_text_ = false;
    text_bytes_ += text_.size();
    slot_.text = FromUtf8(text_);
    if (tag.begin == tag.end) {  // <w:t/>
      slot_.empty_tag = true;
    } else {
      slot_.inner.end = tag.begin;
    }
    slot_.run = paras_.back().para.runs.size() - 1;
    paras_.back().para.slots.push_back(std::move(slot_));
    return;
  }
  if (!props_.empty() && props_.back().depth == depth) {
    OpenProps op = std::move(props_.back());
    props_.pop_back();
    Props& pr = op.props;
    pr.empty_tag = tag.begin == tag.end;
    pr.close = tag.begin;
    pr.whole.end = tag.end;
    if (op.owner == OpenProps::Owner::kParagraph) paras_.back().para.ppr = std::move(pr);
    else if (op.owner == OpenProps::Owner::kRun) paras_.back().para.runs.back().rpr = std::move(pr);
    else if (pr.present) transform_.OnProps(pr, edits_);
    return;
  }
  if (!paras_.empty() && paras_.back().run_depth == depth) {
    paras_.back().run_depth = -1;
  } else if ((local == "p" || markup == Markup::kSheet) && !paras_.empty() && paras_.back().depth == depth) {
    OpenParagraph op = std::move(paras_.back());
    paras_.pop_back();
    if (paras_.empty()) text_bytes_ = 0;
    if (tag.begin == tag.end) op.para.ppr.insert_at = std::string::npos;  // <w:p/>
    transform_.OnParagraph(op.para, edits_);
  }
}

struct ParserDeleter {
  void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};
using Parser = std::unique_ptr<XML_ParserStruct, ParserDeleter>;

// Documents never need a document type declaration; refusing it refuses entity expansion.
void XMLCALL RefuseDoctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto* p = static_cast<XML_Parser>(user);
  XML_StopParser(p, XML_FALSE);
}

void Parse(XML_Parser p, std::string_view part, const std::string* failure) {
  XML_SetStartDoctypeDeclHandler(p, RefuseDoctype);
  if (part.size() > static_cast<std::size_t>(INT_MAX)) throw DocumentError("an XML part is too large");
  const XML_Status st = XML_Parse(p, part.data(), static_cast<int>(part.size()), XML_TRUE);
  if (failure && !failure->empty()) throw DocumentError(*failure);
  if (st != XML_STATUS_OK) {
    const XML_Error code = XML_GetErrorCode(p);
    if (code == XML_ERROR_ABORTED) throw DocumentError("an XML part has a document type declaration");
    throw DocumentError(std::string("an XML part is not well-formed: ") + XML_ErrorString(code) + " at line " +
                        std::to_string(XML_GetCurrentLineNumber(p)));
  }
}

}  // namespace

void WalkWordPart(std::string_view part, WordTransform& transform, Edits& edits, PartInfo& info, Markup markup) {
  if (markup == Markup::kOdf) return WalkOdfPart(part, transform, edits);
  Parser parser(XML_ParserCreateNS(nullptr, '|'));
  if (!parser) throw std::bad_alloc();
  Walker w(transform, edits, info, markup);
  XML_Parser p = parser.get();
  XML_SetUserData(p, &w);
  XML_UseParserAsHandlerArg(p);
  XML_SetElementHandler(
      p,
      [](void* u, const XML_Char* name, const XML_Char** attrs) {
        auto* pp = static_cast<XML_Parser>(u);
        static_cast<Walker*>(XML_GetUserData(pp))->Start(pp, name, attrs);
      },
      [](void* u, const XML_Char* name) {
        auto* pp = static_cast<XML_Parser>(u);
        static_cast<Walker*>(XML_GetUserData(pp))->End(pp, name);
      });
  XML_SetCharacterDataHandler(p, [](void* u, const XML_Char* s, int len) {
    auto* pp = static_cast<XML_Parser>(u);
    static_cast<Walker*>(XML_GetUserData(pp))->Chars(pp, s, len);
  });
  XML_SetStartNamespaceDeclHandler(p, [](void* u, const XML_Char* prefix, const XML_Char* uri) {
    auto* pp = static_cast<XML_Parser>(u);
    Walker& wk = *static_cast<Walker*>(XML_GetUserData(pp));
    if (!uri || !Ours(wk.markup, uri)) return;
    if (!prefix && wk.markup == Markup::kWord) wk.failure = "the part binds the word-processing namespace without a prefix";
    else if (prefix && wk.info.prefix.empty()) wk.info.prefix = prefix;
  });
  Parse(p, part, &w.failure);
}

void CheckWellFormed(std::string_view part) {
  Parser parser(XML_ParserCreateNS(nullptr, '|'));  // unbound prefixes are errors too
  if (!parser) throw std::bad_alloc();
  XML_UseParserAsHandlerArg(parser.get());
  Parse(parser.get(), part, nullptr);
}

}  // namespace uy::docscript
