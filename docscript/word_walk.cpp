// SPDX-License-Identifier: GPL-3.0-or-later
#include "word_walk.h"

#include <algorithm>
#include <exception>
#include <climits>
#include <cstring>
#include <deque>
#include <memory>
#include <stdexcept>

#include <expat.h>

#include "document_error.h"
#include "odf_walk.h"
#include "utf.h"

namespace uy::docscript {

using formats::DocumentError;

std::string ApplyEdits(std::string_view part, Edits edits) {
  // The edits in order of their place, those at one place in the order they came: sorting
  // their indexes moves no text.
  std::vector<std::pair<std::size_t, std::size_t>> order(edits.size());  // place, index
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = {edits[i].begin, i};
  std::sort(order.begin(), order.end());
  std::size_t added = 0;
  for (const Edit& e : edits) added += e.text.size();
  std::string out;
  out.reserve(part.size() + added);
  std::size_t at = 0;
  for (const auto& [place, i] : order) {
    const Edit& e = edits[i];
    if (e.begin < at || e.end < e.begin || e.end > part.size()) throw std::logic_error("overlapping edits of an XML part");
    out.append(part.substr(at, e.begin - at));
    out += e.text;
    at = e.end;
  }
  out.append(part.substr(at));
  return out;
}

// UTF-8 written directly (an unpaired surrogate as U+FFFD, as ToUtf8 writes it), with the
// three characters that markup gives a meaning escaped.
std::string EscapeText(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2 + 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c < 0x80) {
      if (c == '&') out += "&amp;";
      else if (c == '<') out += "&lt;";
      else if (c == '>') out += "&gt;";
      else out += static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      const bool pair = c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
      c = pair ? 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00) : 0xFFFD;
    }
    char b[4];
    std::size_t n;
    if (c < 0x800) {
      b[0] = static_cast<char>(0xC0 | (c >> 6));
      n = 1;
    } else if (c < 0x10000) {
      b[0] = static_cast<char>(0xE0 | (c >> 12));
      b[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      n = 2;
    } else {
      b[0] = static_cast<char>(0xF0 | (c >> 18));
      b[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      b[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      n = 3;
    }
    b[n++] = static_cast<char>(0x80 | (c & 0x3F));
    out.append(b, n);
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

// A worksheet's headers and footers: the children of headerFooter that hold text.
bool IsHeaderFooter(std::string_view local) {
  for (const std::string_view name : {"oddHeader", "evenHeader", "firstHeader", "oddFooter", "evenFooter", "firstFooter"})
    if (local == name) return true;
  return false;
}

constexpr std::string_view kXmlNsUri = "http://www.w3.org/2000/xmlns/";

// A qualified name, its prefix resolved; `word` tells whether the uri is the vocabulary's
// namespace.
struct Name {
  std::string_view uri, local;
  bool word = false;
};

// The namespace bindings in scope, resolved here rather than by expat: its own namespace
// processing builds an expanded name for every tag and attribute, which costs more than the
// rest of the parse. The rules are those expat applies: every prefix bound, a prefix never
// undeclared, the reserved prefixes and names kept to their own, and no two attributes of a
// tag with one expanded name.
class Namespaces {
 public:
  explicit Namespaces(Markup m) : markup_(m) {}
  struct Binding {
    std::string prefix, uri;  // an empty prefix: the default namespace
    std::size_t depth;
    bool ours;
  };
  // The declarations among the attributes of a tag at `depth`; false (with the error) when
  // one is not allowed. `declared` is called with each.
  template <typename F>
  bool Enter(const char** attrs, std::size_t depth, F&& declared);
  void Leave(std::size_t depth) {
    while (!bindings_.empty() && bindings_.back().depth == depth) {
      bindings_.pop_back();
      cached_ = nullptr;
    }
  }
  // A tag's or attribute's name resolved; false (with the error) when its prefix is unbound.
  bool Resolve(std::string_view qname, bool element, Name& n);
  // Every name of a tag resolved (the tag's into `element`, the attributes' into `resolved`
  // in their order, declarations left out) and no attribute twice.
  bool CheckTag(const char* qname, const char** attrs, Name& element, std::vector<Name>& resolved);
  XML_Error error() const { return error_; }

 private:
  const Binding* Find(std::string_view prefix);
  Markup markup_;
  std::deque<Binding> bindings_;  // references stay valid while bindings come and go
  const Binding* cached_ = nullptr;  // the last prefix looked up
  XML_Error error_ = XML_ERROR_NONE;
};

bool IsDeclaration(std::string_view name) {
  return name.starts_with("xmlns") && (name.size() == 5 || name[5] == ':');
}

template <typename F>
bool Namespaces::Enter(const char** attrs, std::size_t depth, F&& declared) {
  for (const char** a = attrs; *a; a += 2) {
    const std::string_view name(a[0]);
    if (!IsDeclaration(name)) continue;
    const std::string_view prefix = name.size() == 5 ? std::string_view() : name.substr(6);
    const std::string_view uri(a[1]);
    if (name.size() == 6) error_ = XML_ERROR_SYNTAX;
    else if (prefix == "xmlns") error_ = XML_ERROR_RESERVED_PREFIX_XMLNS;
    else if ((prefix == "xml") != (uri == kXmlNs)) error_ = XML_ERROR_RESERVED_PREFIX_XML;
    else if (uri == kXmlNsUri) error_ = XML_ERROR_RESERVED_NAMESPACE_URI;
    else if (!prefix.empty() && uri.empty()) error_ = XML_ERROR_UNDECLARING_PREFIX;
    if (error_ != XML_ERROR_NONE) return false;
    bindings_.push_back({std::string(prefix), std::string(uri), depth, Ours(markup_, uri)});
    cached_ = nullptr;
    declared(bindings_.back());
  }
  return true;
}

const Namespaces::Binding* Namespaces::Find(std::string_view prefix) {
  static const Binding xml{"xml", std::string(kXmlNs), 0, false};
  if (cached_ && cached_->prefix == prefix) return cached_;
  if (prefix == "xml") return &xml;
  for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it)
    if (it->prefix == prefix) return cached_ = &*it;
  return nullptr;
}

bool Namespaces::Resolve(std::string_view qname, bool element, Name& n) {
  const std::size_t colon = qname.find(':');
  n = Name{};
  if (colon == std::string_view::npos) {
    n.local = qname;
    if (!element) return true;  // an attribute without a prefix is in no namespace
    const Binding* b = Find({});
    if (b && !b->uri.empty()) {
      n.uri = b->uri;
      n.word = b->ours;
    }
    return true;
  }
  n.local = qname.substr(colon + 1);
  const std::string_view prefix = qname.substr(0, colon);
  const Binding* b = colon == 0 || n.local.find(':') != std::string_view::npos ? nullptr : Find(prefix);
  if (!b || b->uri.empty() || prefix == "xmlns") {
    error_ = XML_ERROR_UNBOUND_PREFIX;
    return false;
  }
  n.uri = b->uri;
  n.word = b->ours;
  return true;
}

bool Namespaces::CheckTag(const char* qname, const char** attrs, Name& element, std::vector<Name>& resolved) {
  if (!Resolve(qname, true, element)) return false;
  resolved.clear();
  std::size_t prefixed = 0;
  for (const char** a = attrs; *a; a += 2) {
    if (IsDeclaration(a[0])) continue;
    resolved.emplace_back();
    if (!Resolve(a[0], false, resolved.back())) return false;
    if (!resolved.back().uri.empty()) ++prefixed;
  }
  if (prefixed < 2) return true;
  // Two prefixes bound to one namespace may name one attribute twice.
  for (std::size_t i = 0; i < resolved.size(); ++i)
    for (std::size_t j = i + 1; j < resolved.size(); ++j)
      if (!resolved[i].uri.empty() && resolved[i].local == resolved[j].local && resolved[i].uri == resolved[j].uri) {
        error_ = XML_ERROR_DUPLICATE_ATTRIBUTE;
        return false;
      }
  return true;
}

// The attributes of a tag as expat's namespace processing gives them to the transforms:
// "uri|local" for a prefixed name, declarations left out.
class ExpandedAttributes {
 public:
  ExpandedAttributes(const char** attrs, const std::vector<Name>& resolved) {
    bool plain = true;
    for (const char** a = attrs; *a && plain; a += 2) plain = std::strchr(a[0], ':') == nullptr && !IsDeclaration(a[0]);
    if (plain) {
      attrs_ = attrs;
      return;
    }
    std::size_t k = 0;
    for (const char** a = attrs; *a; a += 2) {
      if (IsDeclaration(a[0])) continue;
      const Name& n = resolved[k++];
      names_.push_back(n.uri.empty() ? std::string(n.local) : std::string(n.uri) + "|" + std::string(n.local));
      values_.push_back(a[1]);
    }
    for (std::size_t i = 0; i < names_.size(); ++i) {
      list_.push_back(names_[i].c_str());
      list_.push_back(values_[i]);
    }
    list_.push_back(nullptr);
    attrs_ = list_.data();
  }
  const char** get() const { return attrs_; }

 private:
  const char** attrs_ = nullptr;
  std::vector<std::string> names_;
  std::vector<const char*> values_, list_;
};

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
  Walker(WordTransform& t, Edits& e, PartInfo& i, Markup m) : info(i), markup(m), transform_(t), edits_(e), ns_(m) {}
  PartInfo& info;
  const Markup markup;
  std::string failure;
  std::exception_ptr error;  // a transform's, kept until the parser returns

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
  bool Declare(XML_Parser p, const char** attrs);
  void PropChildOf(std::string_view local, Range tag, const char** attrs);
  std::string_view Parent() const { return names_.size() >= 2 ? std::string_view(names_[names_.size() - 2]) : std::string_view(); }

  WordTransform& transform_;
  Edits& edits_;
  std::vector<std::string> names_;  // local names of the open word elements ("" for others)
  std::vector<OpenParagraph> paras_;
  std::vector<OpenProps> props_;
  bool in_text_ = false;
  bool header_footer_ = false;  // the open text element is a sheet's header or footer
  std::size_t text_bytes_ = 0;  // of the open paragraphs' text so far
  TextSlot slot_;
  std::string text_;
  Namespaces ns_;
  std::vector<Name> attr_names_;  // the open tag's attributes, resolved
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

std::string NotWellFormed(XML_Parser p, XML_Error code) {
  return std::string("an XML part is not well-formed: ") + XML_ErrorString(code) + " at line " +
         std::to_string(XML_GetCurrentLineNumber(p));
}

// The tag's namespace declarations: the writer's prefix for the vocabulary, which only
// spreadsheet parts may bind as the default namespace.
bool Walker::Declare(XML_Parser p, const char** attrs) {
  const bool ok = ns_.Enter(attrs, names_.size(), [&](const Namespaces::Binding& b) {
    if (!b.ours || !failure.empty()) return;
    if (b.prefix.empty() && markup == Markup::kWord) failure = "the part binds the word-processing namespace without a prefix";
    else if (!b.prefix.empty() && info.prefix.empty()) info.prefix = b.prefix;
  });
  if (!ok) failure = NotWellFormed(p, ns_.error());
  return failure.empty();
}

// A direct child of an open property element, with its attributes of the vocabulary.
void Walker::PropChildOf(std::string_view local, Range tag, const char** attrs) {
  PropChild c{std::string(local), {tag.begin, tag.end}, {}};
  std::size_t k = 0;
  for (const char** a = attrs; *a; a += 2) {
    if (IsDeclaration(a[0])) continue;
    const Name& an = attr_names_[k++];
    if (an.word) c.attrs.emplace_back(std::string(an.local), a[1]);
  }
  props_.back().props.children.push_back(std::move(c));
}

void Walker::Start(XML_Parser p, const char* qname, const char** attrs) {
  // The element is open from here on, even when refused: its end is reported all the same.
  names_.emplace_back();
  Name n;
  if (!Declare(p, attrs)) return XML_StopParser(p, XML_FALSE), void();
  if (!ns_.CheckTag(qname, attrs, n, attr_names_)) {
    failure = NotWellFormed(p, ns_.error());
    XML_StopParser(p, XML_FALSE);
    return;
  }
  if (n.word) names_.back() = n.local;
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
  if (!props_.empty() && props_.back().depth + 1 == depth) PropChildOf(n.word ? n.local : std::string_view(), tag, attrs);
  if (!n.word) return;
  if (markup == Markup::kWord) return StartWord(n.local, tag, attrs);
  const ExpandedAttributes expanded(attrs, attr_names_);
  transform_.OnTag(n.local, tag, expanded.get(), edits_);
  if (markup == Markup::kSheet) StartSheet(n.local, tag, expanded.get());
  else StartSlide(n.local, tag, expanded.get());
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
  } else if (parent == "headerFooter" && IsHeaderFooter(local)) {
    StartText(tag, attrs);
    header_footer_ = true;
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
    r.inserted = parent == "ins" || parent == "moveTo";
    r.deleted = parent == "del" || parent == "moveFrom";
    paras_.back().para.runs.push_back(std::move(r));
  } else if (local == "pPr" || local == "rPr" || local == "sectPr" || local == "tblPr") {
    StartProps(local, tag);
  } else if (parent == "r" && !paras_.empty() && paras_.back().run_depth == depth - 1) {
    // Deleted text comes back when the change is rejected: it is converted too. Field
    // instructions (instrText) are not text.
    if (local == "t" || local == "delText") {
      StartText(tag, attrs);
      slot_.deleted = local == "delText";
      return;
    }
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
    const bool expanded = an.size() > kXmlNs.size() && an.substr(0, kXmlNs.size()) == kXmlNs && an.substr(kXmlNs.size()) == "|space";
    if (expanded || an == "xml:space")
      slot_.preserve = std::string_view(a[1]) == "preserve";
  }
}

void Walker::StartProps(std::string_view local, Range tag) {
  OpenProps op;
  op.props.name = std::string(local);
  op.props.present = true;
  op.props.whole = tag;
  op.props.children.reserve(8);
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

void Walker::End(XML_Parser p, const char*) {
  const Range tag = TagRange(p);
  const std::size_t depth = names_.size();
  if (!props_.empty() && props_.back().depth + 1 == static_cast<int>(depth) && !props_.back().props.children.empty())
    props_.back().props.children.back().whole.end = tag.end;
  // The start tag's name, resolved then (empty when not the vocabulary's).
  if (!names_.back().empty()) EndWord(names_.back(), tag);
  names_.pop_back();
  ns_.Leave(depth);
}

void Walker::EndWord(std::string_view local, Range tag) {
  const int depth = static_cast<int>(names_.size());
  // A text element holds no elements: the next end is its own.
  if (in_text_) {
    in_text_ = false;
    slot_.text = FromUtf8(text_);
    if (tag.begin == tag.end) {  // <w:t/>
      slot_.empty_tag = true;
    } else {
      slot_.inner.end = tag.begin;
    }
    if (header_footer_) {
      header_footer_ = false;
      transform_.OnHeaderFooter(slot_, edits_);
      return;
    }
    text_bytes_ += text_.size();
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

// A transform's exception stops the parser and waits in `error`: it must not unwind through
// the parser's own frames, which then leaves the parser's memory behind.
template <class F>
void Guarded(void* u, std::exception_ptr& error, F f) {
  if (error) return;
  try {
    f();
  } catch (...) {
    error = std::current_exception();
    XML_StopParser(static_cast<XML_Parser>(u), XML_FALSE);
  }
}

void Parse(XML_Parser p, std::string_view part, const std::string* failure, const std::exception_ptr* error = nullptr) {
  XML_SetStartDoctypeDeclHandler(p, RefuseDoctype);
  if (part.size() > static_cast<std::size_t>(INT_MAX)) throw DocumentError("an XML part is too large");
  const XML_Status st = XML_Parse(p, part.data(), static_cast<int>(part.size()), XML_TRUE);
  if (error && *error) std::rethrow_exception(*error);
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
  Parser parser(XML_ParserCreate(nullptr));  // namespaces resolved by the walker
  if (!parser) throw std::bad_alloc();
  Walker w(transform, edits, info, markup);
  XML_Parser p = parser.get();
  XML_SetUserData(p, &w);
  XML_UseParserAsHandlerArg(p);
  XML_SetElementHandler(
      p,
      [](void* u, const XML_Char* name, const XML_Char** attrs) {
        auto* pp = static_cast<XML_Parser>(u);
        Walker& wk = *static_cast<Walker*>(XML_GetUserData(pp));
        Guarded(u, wk.error, [&] { wk.Start(pp, name, attrs); });
      },
      [](void* u, const XML_Char* name) {
        auto* pp = static_cast<XML_Parser>(u);
        Walker& wk = *static_cast<Walker*>(XML_GetUserData(pp));
        Guarded(u, wk.error, [&] { wk.End(pp, name); });
      });
  XML_SetCharacterDataHandler(p, [](void* u, const XML_Char* s, int len) {
    auto* pp = static_cast<XML_Parser>(u);
    Walker& wk = *static_cast<Walker*>(XML_GetUserData(pp));
    Guarded(u, wk.error, [&] { wk.Chars(pp, s, len); });
  });
  Parse(p, part, &w.failure, &w.error);
}

namespace {

// Well-formedness with the namespace rules, which the parser is not asked to apply.
struct Checker {
  Namespaces ns{Markup::kWord};
  Name element;
  std::vector<Name> attrs;
  std::size_t depth = 0;
  std::string failure;
};

}  // namespace

void CheckWellFormed(std::string_view part) {
  Parser parser(XML_ParserCreate(nullptr));
  if (!parser) throw std::bad_alloc();
  Checker c;
  XML_Parser p = parser.get();
  XML_SetUserData(p, &c);
  XML_UseParserAsHandlerArg(p);
  XML_SetElementHandler(
      p,
      [](void* u, const XML_Char* name, const XML_Char** attrs) {
        auto* pp = static_cast<XML_Parser>(u);
        Checker& ck = *static_cast<Checker*>(XML_GetUserData(pp));
        if (ck.ns.Enter(attrs, ++ck.depth, [](const Namespaces::Binding&) {}) && ck.ns.CheckTag(name, attrs, ck.element, ck.attrs)) return;
        ck.failure = NotWellFormed(pp, ck.ns.error());
        XML_StopParser(pp, XML_FALSE);
      },
      [](void* u, const XML_Char*) {
        Checker& ck = *static_cast<Checker*>(XML_GetUserData(static_cast<XML_Parser>(u)));
        ck.ns.Leave(ck.depth--);
      });
  Parse(p, part, &c.failure);
}

}  // namespace uy::docscript
