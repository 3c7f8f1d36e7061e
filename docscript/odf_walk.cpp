// SPDX-License-Identifier: GPL-3.0-or-later
#include "odf_walk.h"

#include <expat.h>

#include <algorithm>
#include <exception>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdio>
#include <memory>

#include "document_error.h"
#include "utf.h"

namespace uy::docscript {

using formats::DocumentError;

namespace {

constexpr std::string_view kDrawNs = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";
constexpr std::string_view kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kPresentationNs = "urn:oasis:names:tc:opendocument:xmlns:presentation:1.0";

// The attributes of each property, western and complex.
constexpr OdfAttrName kPropNames[kOdfPropCount][2] = {
    {{kOdfFoNs, "font-weight"}, {kOdfStyleNs, "font-weight-complex"}},
    {{kOdfFoNs, "font-style"}, {kOdfStyleNs, "font-style-complex"}},
    {{kOdfFoNs, "font-size"}, {kOdfStyleNs, "font-size-complex"}},
    {{kOdfStyleNs, "font-name"}, {kOdfStyleNs, "font-name-complex"}},
    {{kOdfFoNs, "font-family"}, {kOdfStyleNs, "font-family-complex"}},
    {{kOdfFoNs, "language"}, {kOdfStyleNs, "language-complex"}},
    {{kOdfFoNs, "country"}, {kOdfStyleNs, "country-complex"}},
    {{kOdfFoNs, "script"}, {kOdfStyleNs, "script-complex"}},
    {{kOdfStyleNs, "rfc-language-tag"}, {kOdfStyleNs, "rfc-language-tag-complex"}},
};

// Limits that keep memory a small multiple of the part's size.
constexpr std::size_t kMaxDepth = 256;
constexpr std::size_t kMaxPieces = 1 << 16;         // runs and text pieces of one paragraph
constexpr std::size_t kMaxParagraphText = 1 << 22;  // UTF-8 bytes of the open paragraphs' text
constexpr std::size_t kMaxParentSteps = 32;         // a style's chain of parents (loops end there)

// Elements that stand for one character and stay as they are. Any other text element in a
// paragraph (a field, a note) stays as it is and is no part of the text, as a footnote mark is
// no part of a sentence.
struct Special {
  std::string_view local;
  char16_t ch;
};
constexpr Special kSpecials[] = {{"s", u' '}, {"tab", u'\t'}, {"line-break", u'\n'}};
// Elements whose text is the paragraph's, with a text style of their own.
constexpr std::string_view kContainers[] = {"span", "a", "meta"};
constexpr std::string_view kPropertyElements[] = {"paragraph-properties", "table-properties", "section-properties",
                                                  "graphic-properties", "page-layout-properties"};

template <typename List>
bool In(const List& list, std::string_view s) {
  return std::find(std::begin(list), std::end(list), s) != std::end(list);
}

struct Name {
  std::string_view uri, local;
};
Name Split(const char* qname) {
  const std::string_view q(qname);
  const std::size_t bar = q.rfind('|');
  if (bar == std::string_view::npos) return {{}, q};
  return {q.substr(0, bar), q.substr(bar + 1)};
}

const char* FindAttr(const char** attrs, std::string_view uri, std::string_view local) {
  return OdfAttr(attrs, uri, local);
}

// "12pt" as 12 and "pt"; "150%" as 150 and "%".
struct Length {
  double value = 0;
  std::string unit;
};
std::optional<Length> ParseLength(std::string_view s) {
  Length l;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), l.value);
  if (ec != std::errc() || end == s.data()) return std::nullopt;
  l.unit = std::string(end, s.data() + s.size());
  return l;
}

std::string FormatLength(double v, std::string_view unit) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4g", v);
  return buf + std::string(unit);
}

std::string Key(std::string_view family, std::string_view name) {
  std::string k(family);
  k += '\n';
  k += name;
  return k;
}

}  // namespace

const char* OdfAttr(const char** attrs, std::string_view uri, std::string_view local) {
  for (const char** a = attrs; *a; a += 2) {
    const Name n = Split(a[0]);
    if (n.uri == uri && n.local == local) return a[1];
  }
  return nullptr;
}

OdfAttrName OdfPropName(OdfProp p, bool complex) { return kPropNames[static_cast<std::size_t>(p)][complex ? 1 : 0]; }

void OdfTextProps::Inherit(const OdfTextProps& outer) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!values[i]) {
      values[i] = outer.values[i];
      continue;
    }
    const bool size = i % kOdfPropCount == static_cast<std::size_t>(OdfProp::kSize);
    if (!size || !outer.values[i] || !values[i]->ends_with('%')) continue;
    const auto pct = ParseLength(*values[i]);
    const auto base = ParseLength(*outer.values[i]);
    if (pct && base) values[i] = FormatLength(pct->value / 100 * base->value, base->unit);
  }
}

void OdfStyles::Add(std::string_view family, std::string_view name, OdfStyle style) {
  styles_[Key(family, name)] = std::move(style);
}

const OdfStyle* OdfStyles::Find(std::string_view family, std::string_view name) const {
  const auto it = styles_.find(Key(family, name));
  return it == styles_.end() ? nullptr : &it->second;
}

void OdfStyles::AddDefault(std::string_view family, OdfTextProps own) {
  defaults_[std::string(family)] = std::move(own);
}

bool OdfStyles::Has(std::string_view family, std::string_view name) const { return Find(family, name) != nullptr; }

OdfTextProps OdfStyles::Resolve(std::string_view family, std::string_view name, const OdfTextProps& outer) const {
  OdfTextProps r;
  for (std::size_t step = 0; !name.empty() && step < kMaxParentSteps; ++step) {
    const OdfStyle* style = Find(family, name);
    if (!style) break;
    r.Inherit(style->own);
    name = style->parent;
  }
  // The family's default comes last: a paragraph in a cell or a shape shows the cell's or the
  // shape's style before the paragraphs' default.
  r.Inherit(outer);
  if (const auto d = defaults_.find(family); d != defaults_.end()) r.Inherit(d->second);
  return r;
}

std::optional<std::string> OdfNames::Qualified(std::string_view uri, std::string_view local) const {
  const auto it = prefixes.find(uri);
  if (it == prefixes.end()) return std::nullopt;
  return it->second + ":" + std::string(local);
}

namespace {

struct OpenElement {
  bool text_here = false;  // its character data is the innermost paragraph's text
  bool pushed = false;     // it put text properties in force
  OdfHolder holder;        // what it is as a holder of text
};

struct OpenParagraph {
  OdfParagraph para;
  std::size_t depth = 0;
  std::size_t run_serial = 0;  // the element whose text the last run holds
};

// A table's columns (their default cell styles, by where their repeats end) and where the
// open row is: cells without a style of their own take their row's or column's.
struct OpenTable {
  std::size_t depth = 0;
  std::vector<std::size_t> ends;
  std::vector<std::string> column_styles;
  std::string row_style;
  std::size_t column = 0;
};

std::size_t Repeats(const char** attrs, std::string_view local) {
  const char* v = FindAttr(attrs, kTableNs, local);
  std::size_t n = 1;
  if (v) {
    const std::string_view s(v);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || n == 0) n = 1;
  }
  return std::min<std::size_t>(n, std::size_t{1} << 30);
}

struct OpenStyle {
  bool is_default = false;
  std::string family, name;
  OdfStyle style;
  std::size_t depth = 0;
};

class Walker {
 public:
  Walker(OdfTransform& t, Edits& e) : transform_(t), edits_(e) {
    props_.emplace_back();
    transform_.names = &names;
  }
  OdfNames names;
  std::string failure;
  std::exception_ptr error;  // a transform's, kept until the parser returns
  bool started = false;

  void Start(XML_Parser p, const char* qname, const char** attrs);
  void End(XML_Parser p, const char* qname);
  void Chars(XML_Parser p, const char* s, int len);
  void Finish() { transform_.OnEnd(place_, edits_); }

 private:
  void Fail(XML_Parser p, std::string why) {
    if (failure.empty()) failure = std::move(why);
    XML_StopParser(p, XML_FALSE);
  }
  void InParagraph(Name n, OpenElement& e, const char** attrs);
  void Outside(Name n, Range tag, const char** attrs);
  void Push(OpenElement& e, std::string_view family, const char* name) {
    props_.push_back(transform_.Styles().Resolve(family, name ? name : "", props_.back()));
    e.pushed = true;
  }
  void EnsureRun(OpenParagraph& op) {
    const OpenElement& holder = stack_.back();
    if (!op.para.runs.empty() && op.run_serial == holder.holder.serial) return;
    op.para.runs.emplace_back();
    op.para.props.push_back(props_.back());
    op.para.holders.push_back(holder.holder);
    op.run_serial = holder.holder.serial;
  }
  void AddSpecial(char16_t ch);
  void Table(Name n, OpenElement& e, const char** attrs);
  std::string Limit() const;

  OdfTransform& transform_;
  Edits& edits_;
  std::vector<OpenElement> stack_;
  std::vector<OdfTextProps> props_;  // in force, one per element that set them
  std::vector<OpenParagraph> paras_;
  std::optional<OpenStyle> style_;
  std::vector<OpenTable> tables_;
  OdfStylePlace place_;
  Range automatic_open_;
  std::size_t serial_ = 0, text_bytes_ = 0;
  bool in_automatic_ = false;
};

std::string Walker::Limit() const {
  if (stack_.size() >= kMaxDepth) return "the part nests elements more than " + std::to_string(kMaxDepth) + " deep";
  if (!paras_.empty() && paras_.back().para.runs.size() + paras_.back().para.slots.size() > kMaxPieces)
    return "a paragraph has more than " + std::to_string(kMaxPieces) + " runs and text elements";
  if (text_bytes_ > kMaxParagraphText)
    return "a paragraph holds more than " + std::to_string(kMaxParagraphText >> 20) + " MB of text";
  return {};
}

Range TagRange(XML_Parser p) {
  const auto at = static_cast<std::size_t>(XML_GetCurrentByteIndex(p));
  return {at, at + static_cast<std::size_t>(XML_GetCurrentByteCount(p))};
}

void Walker::Start(XML_Parser p, const char* qname, const char** attrs) {
  started = true;
  if (std::string why = Limit(); !why.empty()) return Fail(p, std::move(why));
  const Name n = Split(qname);
  const Range tag = TagRange(p);
  OpenElement e;
  e.holder.serial = ++serial_;
  e.holder.tag = tag;
  if (n.uri == kOdfTextNs && (n.local == "p" || n.local == "h")) {
    Push(e, "paragraph", FindAttr(attrs, kOdfTextNs, "style-name"));
    e.text_here = true;
    e.holder.kind = OdfHolder::Kind::kParagraph;
    OpenParagraph op;
    op.depth = stack_.size() + 1;
    paras_.push_back(std::move(op));
  } else if (!stack_.empty() && stack_.back().text_here) {
    InParagraph(n, e, attrs);
  } else {
    Outside(n, tag, attrs);
  }
  // Shapes and cells give the text inside them their style's properties.
  if (n.uri == kDrawNs) {
    if (const char* s = FindAttr(attrs, kPresentationNs, "style-name"))
      Push(e, "presentation", s);
    else if (const char* g = FindAttr(attrs, kDrawNs, "style-name"))
      Push(e, "graphic", g);
  } else if (n.uri == kTableNs) {
    Table(n, e, attrs);
  }
  stack_.push_back(e);
}

void Walker::Table(Name n, OpenElement& e, const char** attrs) {
  if (n.local == "table") {
    tables_.push_back({stack_.size() + 1, {}, {}, {}, 0});
    return;
  }
  if (tables_.empty()) return;
  OpenTable& t = tables_.back();
  const char* style =
      FindAttr(attrs, kTableNs,
               n.local == "table-cell" || n.local == "covered-table-cell" ? "style-name" : "default-cell-style-name");
  if (n.local == "table-column") {
    t.ends.push_back((t.ends.empty() ? 0 : t.ends.back()) + Repeats(attrs, "number-columns-repeated"));
    t.column_styles.emplace_back(style ? style : "");
  } else if (n.local == "table-row") {
    t.row_style = style ? style : "";
    t.column = 0;
  } else if (n.local == "table-cell" || n.local == "covered-table-cell") {
    std::string_view name = style ? std::string_view(style) : std::string_view(t.row_style);
    const auto col = std::upper_bound(t.ends.begin(), t.ends.end(), t.column);
    if (name.empty() && col != t.ends.end()) name = t.column_styles[static_cast<std::size_t>(col - t.ends.begin())];
    t.column += Repeats(attrs, "number-columns-repeated");
    if (!name.empty()) {
      const std::string copy(name);
      Push(e, "table-cell", copy.c_str());
    }
  }
}

void Walker::AddSpecial(char16_t ch) {
  OpenParagraph& op = paras_.back();
  EnsureRun(op);
  TextSlot s;
  s.special = true;
  s.text.assign(1, ch);
  s.run = op.para.runs.size() - 1;
  op.para.slots.push_back(std::move(s));
}

void Walker::InParagraph(Name n, OpenElement& e, const char** attrs) {
  if (n.uri != kOdfTextNs) return;
  if (In(kContainers, n.local)) {
    const char* style = FindAttr(attrs, kOdfTextNs, "style-name");
    Push(e, "text", style);
    e.text_here = true;
    if (n.local == "span") e.holder.kind = OdfHolder::Kind::kSpan;
    e.holder.style = style ? style : "";
    return;
  }
  for (const Special& s : kSpecials)
    if (n.local == s.local) return AddSpecial(s.ch);
}

// Styles and their text properties are gathered; property elements handed on; where
// automatic styles go is noted.
void Walker::Outside(Name n, Range tag, const char** attrs) {
  if (n.uri == kOdfStyleNs) {
    if (n.local == "style" || n.local == "default-style") {
      OpenStyle s;
      s.is_default = n.local == "default-style";
      const char* family = FindAttr(attrs, kOdfStyleNs, "family");
      const char* name = FindAttr(attrs, kOdfStyleNs, "name");
      const char* parent = FindAttr(attrs, kOdfStyleNs, "parent-style-name");
      s.family = family ? family : "";
      s.name = name ? name : "";
      s.style.parent = parent ? parent : "";
      s.style.automatic = in_automatic_;
      s.depth = stack_.size() + 1;
      style_ = std::move(s);
    } else if (n.local == "text-properties" && style_) {
      for (std::size_t i = 0; i < kOdfPropCount; ++i)
        for (const bool complex : {false, true}) {
          const OdfAttrName an = OdfPropName(static_cast<OdfProp>(i), complex);
          if (const char* v = FindAttr(attrs, an.uri, an.local))
            style_->style.own.Get(static_cast<OdfProp>(i), complex) = v;
        }
      if (style_->family == "text")
        for (const char** a = attrs; *a; a += 2) style_->style.text_attrs.emplace_back(a[0], a[1]);
    } else if (In(kPropertyElements, n.local)) {
      transform_.OnProperties(n.local, style_ && style_->is_default, tag, attrs, edits_);
    }
  } else if (n.uri == kOdfOfficeNs) {
    if (n.local == "automatic-styles") {
      automatic_open_ = tag;
      in_automatic_ = true;
    }
    if ((n.local == "body" || n.local == "master-styles") && place_.at == std::string::npos)
      place_ = {tag.begin, {tag.begin, tag.begin}, true};
  }
}

void Walker::Chars(XML_Parser p, const char* s, int len) {
  if (stack_.empty() || !stack_.back().text_here || paras_.empty()) return;
  OpenParagraph& op = paras_.back();
  EnsureRun(op);
  const Range at = TagRange(p);
  std::vector<TextSlot>& slots = op.para.slots;
  if (slots.empty() || slots.back().special || slots.back().run + 1 != op.para.runs.size() ||
      slots.back().inner.end != at.begin) {
    TextSlot t;
    t.inner = {at.begin, at.begin};
    t.run = op.para.runs.size() - 1;
    slots.push_back(std::move(t));
  }
  slots.back().text += FromUtf8(std::string_view(s, static_cast<std::size_t>(len)));
  slots.back().inner.end = at.end;
  text_bytes_ += static_cast<std::size_t>(len);
  if (std::string why = Limit(); !why.empty()) Fail(p, std::move(why));
}

void Walker::End(XML_Parser p, const char* qname) {
  if (!failure.empty() || stack_.empty()) return;  // stopped in its start tag
  const Name n = Split(qname);
  const Range tag = TagRange(p);
  const OpenElement e = stack_.back();
  stack_.pop_back();
  if (e.pushed) props_.pop_back();
  if (!tables_.empty() && tables_.back().depth == stack_.size() + 1) tables_.pop_back();
  if (!paras_.empty() && paras_.back().depth == stack_.size() + 1) {
    OpenParagraph op = std::move(paras_.back());
    paras_.pop_back();
    if (paras_.empty()) text_bytes_ = 0;
    transform_.OnParagraph(op.para, edits_);
    return;
  }
  if (style_ && style_->depth == stack_.size() + 1) {
    if (style_->is_default)
      transform_.Styles().AddDefault(style_->family, std::move(style_->style.own));
    else
      transform_.Styles().Add(style_->family, style_->name, std::move(style_->style));
    style_.reset();
  } else if (n.uri == kOdfOfficeNs && n.local == "automatic-styles") {
    in_automatic_ = false;
    if (tag.begin == tag.end)
      place_ = {automatic_open_.begin, automatic_open_, true};  // <office:automatic-styles/>
    else
      place_ = {tag.begin, {tag.begin, tag.begin}, false};
  }
}

struct ParserDeleter {
  void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};
using Parser = std::unique_ptr<XML_ParserStruct, ParserDeleter>;

Walker& Of(void* user) { return *static_cast<Walker*>(XML_GetUserData(static_cast<XML_Parser>(user))); }

// A transform's exception stops the parser and waits in the walker: it must not unwind
// through the parser's own frames, which then leaves the parser's memory behind.
template <class F>
void Guarded(void* u, F f) {
  Walker& w = Of(u);
  if (w.error) return;
  try {
    f();
  } catch (...) {
    w.error = std::current_exception();
    XML_StopParser(static_cast<XML_Parser>(u), XML_FALSE);
  }
}

void Install(XML_Parser p) {
  XML_UseParserAsHandlerArg(p);
  XML_SetElementHandler(
      p,
      [](void* u, const XML_Char* name, const XML_Char** attrs) {
        Guarded(u, [&] { Of(u).Start(static_cast<XML_Parser>(u), name, attrs); });
      },
      [](void* u, const XML_Char* name) { Guarded(u, [&] { Of(u).End(static_cast<XML_Parser>(u), name); }); });
  XML_SetCharacterDataHandler(p, [](void* u, const XML_Char* s, int len) {
    Guarded(u, [&] { Of(u).Chars(static_cast<XML_Parser>(u), s, len); });
  });
  XML_SetStartNamespaceDeclHandler(p, [](void* u, const XML_Char* prefix, const XML_Char* uri) {
    Walker& w = Of(u);
    if (!w.started && prefix && uri) w.names.prefixes.emplace(uri, prefix);
  });
  // Documents never need a document type declaration; refusing it refuses entity expansion.
  XML_SetStartDoctypeDeclHandler(p, [](void* u, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Walker& w = Of(u);
    w.failure = "an XML part has a document type declaration";
    XML_StopParser(static_cast<XML_Parser>(u), XML_FALSE);
  });
  // Edits are written in UTF-8 at byte positions of the part.
  XML_SetXmlDeclHandler(p, [](void* u, const XML_Char*, const XML_Char* encoding, int) {
    std::string e = encoding ? encoding : "UTF-8";
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (e == "UTF-8") return;
    Walker& w = Of(u);
    w.failure = "the part is not in UTF-8";
    XML_StopParser(static_cast<XML_Parser>(u), XML_FALSE);
  });
  // Text in CDATA sections would be written back escaped inside them.
  XML_SetStartCdataSectionHandler(p, [](void* u) {
    Walker& w = Of(u);
    w.failure = "the part has a CDATA section";
    XML_StopParser(static_cast<XML_Parser>(u), XML_FALSE);
  });
}

// Forwards the paragraphs of a part to a word-processing transform (the script told from
// the text: no formatting needed).
class ForWord : public OdfTransform {
 public:
  explicit ForWord(WordTransform& t) : t_(t) {}
  OdfStyles& Styles() override { return styles_; }
  void OnParagraph(const OdfParagraph& p, Edits& edits) override { t_.OnParagraph(p, edits); }

 private:
  WordTransform& t_;
  OdfStyles styles_;
};

}  // namespace

void WalkOdfPart(std::string_view part, OdfTransform& transform, Edits& edits) {
  Parser parser(XML_ParserCreateNS(nullptr, '|'));
  if (!parser) throw std::bad_alloc();
  Walker w(transform, edits);
  XML_Parser p = parser.get();
  XML_SetUserData(p, &w);
  Install(p);
  if (part.size() > static_cast<std::size_t>(INT_MAX)) throw DocumentError("an XML part is too large");
  if (part.starts_with("\xFF\xFE") || part.starts_with("\xFE\xFF")) throw DocumentError("the part is not in UTF-8");
  const XML_Status st = XML_Parse(p, part.data(), static_cast<int>(part.size()), XML_TRUE);
  if (w.error) std::rethrow_exception(w.error);
  if (!w.failure.empty()) throw DocumentError(w.failure);
  if (st != XML_STATUS_OK)
    throw DocumentError(std::string("an XML part is not well-formed: ") + XML_ErrorString(XML_GetErrorCode(p)) +
                        " at line " + std::to_string(XML_GetCurrentLineNumber(p)));
  w.Finish();
}

void WalkOdfPart(std::string_view part, WordTransform& transform, Edits& edits) {
  if (OdfTransform* own = transform.Odf()) return WalkOdfPart(part, *own, edits);
  ForWord forward(transform);
  WalkOdfPart(part, forward, edits);
}

}  // namespace uy::docscript
