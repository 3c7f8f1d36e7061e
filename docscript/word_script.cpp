// SPDX-License-Identifier: GPL-3.0-or-later
#include "word_script.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "document_error.h"
#include "odf_script.h"

namespace uy::docscript {
namespace {

namespace sc = uy::script;
using formats::DocumentError;

// The order the schema gives the children of each property element: new children go where
// it puts them (Word refuses misplaced ones).
constexpr std::string_view kRunOrder[] = {
    "ins", "del", "moveFrom", "moveTo", "rStyle", "rFonts", "b", "bCs", "i", "iCs", "caps", "smallCaps", "strike",
    "dstrike", "outline", "shadow", "emboss", "imprint", "noProof", "snapToGrid", "vanish", "webHidden", "color",
    "spacing", "w", "kern", "position", "sz", "szCs", "highlight", "u", "effect", "bdr", "shd", "fitText",
    "vertAlign", "rtl", "cs", "em", "lang", "eastAsianLayout", "specVanish", "oMath"};
constexpr std::string_view kParagraphOrder[] = {
    "pStyle", "keepNext", "keepLines", "pageBreakBefore", "framePr", "widowControl", "numPr", "suppressLineNumbers",
    "pBdr", "shd", "tabs", "suppressAutoHyphens", "kinsoku", "wordWrap", "overflowPunct", "topLinePunct",
    "autoSpaceDE", "autoSpaceDN", "bidi", "adjustRightInd", "snapToGrid", "spacing", "ind", "contextualSpacing",
    "mirrorIndents", "suppressOverlap", "jc", "textDirection", "textAlignment", "textboxTightWrap", "outlineLvl",
    "divId", "cnfStyle", "rPr", "sectPr", "pPrChange"};
constexpr std::string_view kSectionOrder[] = {
    "headerReference", "footerReference", "footnotePr", "endnotePr", "type", "pgSz", "pgMar", "paperSrc",
    "pgBorders", "lnNumType", "pgNumType", "cols", "formProt", "vAlign", "noEndnote", "titlePg", "textDirection",
    "bidi", "rtlGutter", "docGrid", "printerSettings", "sectPrChange"};
constexpr std::string_view kTableOrder[] = {
    "tblStyle", "tblpPr", "tblOverlap", "bidiVisual", "tblStyleRowBandSize", "tblStyleColBandSize", "tblW", "jc",
    "tblCellSpacing", "tblInd", "tblBorders", "shd", "tblLayout", "tblCellMar", "tblLook", "tblCaption",
    "tblDescription", "tblPrChange"};

// Which child says the direction of each element that carries one.
struct DirectionElement {
  std::string_view element, flag;
  std::span<const std::string_view> order;
};
constexpr DirectionElement kDirections[] = {
    {"pPr", "bidi", kParagraphOrder}, {"sectPr", "bidi", kSectionOrder}, {"tblPr", "bidiVisual", kTableOrder}};

// Complex-script properties and their western counterparts.
constexpr std::pair<std::string_view, std::string_view> kPairs[] = {{"b", "bCs"}, {"i", "iCs"}, {"sz", "szCs"}};

bool On(const PropChild& c) {
  const std::string* v = c.Attr("val");
  return !v || !(*v == "0" || *v == "false" || *v == "off");
}

// The place of `local` in a schema order (its size when not there), looked up in an index
// made once per order: every run's properties ask it several times.
std::size_t RankIn(std::span<const std::string_view> order, std::string_view local) {
  using Index = std::unordered_map<std::string_view, std::size_t>;
  static const std::array<std::pair<const std::string_view*, Index>, 4> indexes = [] {
    std::array<std::pair<const std::string_view*, Index>, 4> all;
    std::size_t k = 0;
    for (const std::span<const std::string_view> o :
         {std::span<const std::string_view>(kRunOrder), std::span<const std::string_view>(kParagraphOrder),
          std::span<const std::string_view>(kSectionOrder), std::span<const std::string_view>(kTableOrder)}) {
      all[k].first = o.data();
      for (std::size_t i = 0; i < o.size(); ++i) all[k].second.emplace(o[i], i);
      ++k;
    }
    return all;
  }();
  for (const auto& [table, index] : indexes) {
    if (table != order.data()) continue;
    const auto it = index.find(local);
    return it == index.end() ? order.size() : it->second;
  }
  const auto it = std::find(order.begin(), order.end(), local);
  return static_cast<std::size_t>(it - order.begin());
}

// Edits of one property element: children set or removed, new ones placed in schema order.
class PropsEditor {
 public:
  PropsEditor(const Props& props, std::string_view part, const std::string& prefix,
              std::span<const std::string_view> order)
      : props_(props), part_(part), prefix_(prefix), order_(order) {
    ops_.reserve(8);
  }

  std::string Qualified(std::string_view local) const {
    std::string q;
    q.reserve(prefix_.size() + 1 + local.size());
    return q.append(prefix_).append(1, ':').append(local);
  }
  // <P:name P:attr="value".../>
  // <P:name/>, or <P:name P:attr="value"/> with an attribute.
  std::string Element(std::string_view local, std::string_view attr = {}, std::string_view value = {}) const {
    std::string s;
    s.reserve(prefix_.size() * 2 + local.size() + attr.size() + value.size() + 10);
    s.append(1, '<').append(prefix_).append(1, ':').append(local);
    if (!attr.empty()) s.append(1, ' ').append(prefix_).append(1, ':').append(attr).append("=\"").append(value).append(1, '"');
    return s.append("/>");
  }
  std::string Element(std::string_view local, const std::vector<std::pair<std::string, std::string>>& attrs) const {
    std::string s;
    s.reserve(32);
    s.append(1, '<').append(prefix_).append(1, ':').append(local);
    for (const auto& [n, v] : attrs) s.append(1, ' ').append(prefix_).append(1, ':').append(n).append("=\"").append(v).append(1, '"');
    return s.append("/>");
  }
  void Set(std::string_view local, std::string xml) { ops_.push_back({local, Rank(local), std::move(xml)}); }
  void Remove(std::string_view local) {
    if (props_.Find(local)) ops_.push_back({local, Rank(local), std::nullopt});
  }
  void Emit(Edits& edits);

 private:
  std::size_t Rank(std::string_view local) const { return RankIn(order_, local); }
  // Where a new child of rank `rank` goes: before the first child ranked after it.
  std::size_t InsertionPoint(std::size_t rank) const {
    for (const PropChild& c : props_.children)
      if (Rank(c.name) > rank) return c.whole.begin;
    return props_.close;
  }
  void EmitWhole(Edits& edits) const;
  struct Op {
    std::string_view local;  // one of the vocabulary's names, which outlive the editor
    std::size_t rank;
    std::optional<std::string> xml;
  };
  const Props& props_;
  std::string_view part_;
  const std::string& prefix_;
  std::span<const std::string_view> order_;
  std::vector<Op> ops_;
};

// A property element that is missing or empty (<P:rPr/>) is written whole with its children.
void PropsEditor::EmitWhole(Edits& edits) const {
  std::string children;
  for (const Op& op : ops_)
    if (op.xml) children += *op.xml;
  if (children.empty()) return;
  if (!props_.present) {
    if (props_.insert_at == std::string::npos) return;
    const std::string open = Qualified(props_.name);
    edits.push_back({props_.insert_at, props_.insert_at, "<" + open + ">" + children + "</" + open + ">"});
    return;
  }
  // <P:rPr .../>: the same start tag, opened.
  std::string tag(part_.substr(props_.whole.begin, props_.whole.end - props_.whole.begin));
  tag.erase(tag.rfind('/'));
  edits.push_back({props_.whole.begin, props_.whole.end, tag + ">" + children + "</" + Qualified(props_.name) + ">"});
}

void PropsEditor::Emit(Edits& edits) {
  if (ops_.empty()) return;
  // A handful of operations: sorted in place, those of one rank kept in their order.
  for (std::size_t i = 1; i < ops_.size(); ++i)
    for (std::size_t j = i; j > 0 && ops_[j - 1].rank > ops_[j].rank; --j) std::swap(ops_[j - 1], ops_[j]);
  if (!props_.present || props_.empty_tag) return EmitWhole(edits);
  for (Op& op : ops_) {
    if (const PropChild* c = props_.Find(op.local)) {
      edits.push_back({c->whole.begin, c->whole.end, op.xml ? std::move(*op.xml) : std::string()});
      continue;
    }
    if (!op.xml) continue;
    const std::size_t at = InsertionPoint(op.rank);
    edits.push_back({at, at, std::move(*op.xml)});
  }
}

enum class Tag { kNone, kArabic, kLatin, kCyrillic };
Tag UgTag(const std::string* value) {
  if (!value) return Tag::kNone;
  // Only the first seven letters matter, in ASCII lower case.
  char lower[7];
  const std::size_t n = std::min(value->size(), sizeof lower);
  for (std::size_t i = 0; i < n; ++i) {
    const char c = (*value)[i];
    lower[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  const std::string_view v(lower, n);
  const bool whole = value->size() == n;
  if ((whole && (v == "ug" || v == "ug-cn")) || v.starts_with("ug-arab")) return Tag::kArabic;
  if (v.starts_with("ug-latn")) return Tag::kLatin;
  if (v.starts_with("ug-cyrl")) return Tag::kCyrillic;
  return Tag::kNone;
}

std::string_view TagOf(sc::Script s) {
  return s == sc::Script::Uey ? "ug-CN" : s == sc::Script::Uky ? "ug-Cyrl" : "ug-Latn";
}

// w:lang with ug tags for the target script: western text carries its tag in w:val, complex
// text in w:bidi.
void Language(const Props& rpr, PropsEditor& ed, sc::Script to) {
  const PropChild* lang = rpr.Find("lang");
  if (!lang || (UgTag(lang->Attr("val")) == Tag::kNone && UgTag(lang->Attr("bidi")) == Tag::kNone)) return;
  std::vector<std::pair<std::string, std::string>> attrs;
  const bool complex = to == sc::Script::Uey;
  const std::string_view slot = complex ? "bidi" : "val";
  for (const auto& [n, v] : lang->attrs) {
    if (n == slot || ((n == "val" || n == "bidi") && UgTag(&v) != Tag::kNone)) continue;
    attrs.emplace_back(n, v);
  }
  attrs.emplace_back(slot, std::string(TagOf(to)));
  ed.Set("lang", ed.Element("lang", attrs));
}

}  // namespace

ScriptTransform::ScriptTransform(const script::Options& options)
    : options_(options), odf_(std::make_unique<OdfScript>(options, paragraphs_, runs_changed_)) {}

ScriptTransform::~ScriptTransform() = default;

OdfTransform* ScriptTransform::Odf() { return markup_ == Markup::kOdf ? odf_.get() : nullptr; }

void ScriptTransform::BeginOdf(std::string_view part) { odf_->Begin(part); }

void ScriptTransform::CountInto(script::Detection* count) {
  count_ = count;
  odf_->CountInto(count);
}

void ScriptTransform::PrepareOdf(std::string_view styles_part) { odf_->Prepare(styles_part); }

ScriptTransform::Turn ScriptTransform::turn() const {
  if (options_.from == sc::Script::Uey) return Turn::kToLeftToRight;
  if (options_.to == sc::Script::Uey) return Turn::kToRightToLeft;
  return Turn::kNone;
}

void ScriptTransform::RunProps(const Props& rpr, bool run, Edits& edits) const {
  PropsEditor ed(rpr, part_, info_->prefix, kRunOrder);
  const Turn t = turn();
  if (t != Turn::kNone) {
    // The values the source letters showed become those the converted letters show.
    for (const auto& [western, complex] : kPairs) {
      const std::string_view from = t == Turn::kToLeftToRight ? complex : western;
      const std::string_view to = t == Turn::kToLeftToRight ? western : complex;
      const PropChild* c = rpr.Find(from);
      if (!c) {
        ed.Remove(to);
        continue;
      }
      const std::string* v = c->Attr("val");
      const bool keep = v && (from.starts_with("sz") || !On(*c));
      ed.Set(to, keep ? ed.Element(to, "val", *v) : ed.Element(to));
    }
    if (t == Turn::kToLeftToRight) {
      ed.Remove("rtl");
      ed.Remove("cs");
    } else if (const PropChild* rtl = rpr.Find("rtl"); run && (!rtl || !On(*rtl))) {
      ed.Set("rtl", ed.Element("rtl"));
    }
  }
  Language(rpr, ed, options_.to);
  ed.Emit(edits);
}

void ScriptTransform::DirectionProps(const Props& props, Edits& edits) const {
  const Turn t = turn();
  if (t == Turn::kNone) return;
  for (const DirectionElement& d : kDirections) {
    if (props.name != d.element) continue;
    PropsEditor ed(props, part_, info_->prefix, d.order);
    const PropChild* flag = props.Find(d.flag);
    if (t == Turn::kToLeftToRight) ed.Remove(d.flag);
    else if (!flag || !On(*flag)) ed.Set(d.flag, ed.Element(d.flag));
    // In a right-to-left paragraph "left" is the right edge: the same value keeps text at
    // the logical start. What stood at the other edge goes to the start as well.
    if (const PropChild* jc = props.Find("jc"); jc && props.name == "pPr") {
      const std::string* v = jc->Attr("val");
      if (v && (*v == "right" || *v == "end"))
        ed.Set("jc", ed.Element("jc", "val", *v == "right" ? "left" : "start"));
    }
    ed.Emit(edits);
  }
}

namespace {

std::optional<std::string_view> AttrOf(const char** attrs, std::string_view name) {
  for (const char** a = attrs; *a; a += 2)
    if (name == a[0]) return std::string_view(a[1]);
  return std::nullopt;
}

bool IsSlideParagraphProps(std::string_view local) {
  if (local == "pPr" || local == "defPPr") return true;
  return local.size() == 7 && local.starts_with("lvl") && local[3] >= '1' && local[3] <= '9' && local.ends_with("pPr");
}

}  // namespace

// Slides: paragraph properties (and the levels of masters and lists) say rtl="1" and align
// visually (algn="r"): right-aligned text goes to the start, the way back aligns it right.
// Tables say rtl="1" too. Language attributes follow the script.
void ScriptTransform::SlideTag(std::string_view local, Range tag, const char** attrs, Edits& edits) const {
  const Turn t = turn();
  const bool rtl = t == Turn::kToRightToLeft;
  auto push = [&](std::optional<Edit> e) {
    if (e) edits.push_back(std::move(*e));
  };
  if (IsSlideParagraphProps(local) || local == "tblPr") {
    if (t == Turn::kNone) return;
    const auto v = AttrOf(attrs, "rtl");
    if (v && (*v == "1" || *v == "true") && !rtl) push(SetAttribute(part_, tag, "rtl", std::nullopt));
    if (rtl && !(v && (*v == "1" || *v == "true"))) push(SetAttribute(part_, tag, "rtl", "1"));
    if (local == "tblPr") return;
    const auto algn = AttrOf(attrs, "algn");
    if (!rtl && algn == "r") push(SetAttribute(part_, tag, "algn", "l"));
    if (rtl && (!algn || algn == "l")) push(SetAttribute(part_, tag, "algn", "r"));
  } else if (local == "rPr" || local == "endParaRPr" || local == "defRPr") {
    for (const char* name : {"lang", "altLang"}) {
      const auto v = AttrOf(attrs, name);
      const std::string value(v.value_or(""));
      if (v && UgTag(&value) != Tag::kNone && value != TagOf(options_.to))
        push(SetAttribute(part_, tag, name, TagOf(options_.to)));
    }
  }
}

void ScriptTransform::OnTag(std::string_view local, Range tag, const char** attrs, Edits& edits) {
  const Turn t = turn();
  if (t == Turn::kNone && markup_ == Markup::kSheet) return;
  if (markup_ == Markup::kSlide) return SlideTag(local, tag, attrs, edits);
  const bool rtl = t == Turn::kToRightToLeft;
  auto attr = [&](std::string_view name) { return AttrOf(attrs, name); };
  std::optional<Edit> e;
  if (local == "sheetView") {
    const auto v = attr("rightToLeft");
    const bool on = v && (*v == "1" || *v == "true");
    if (on != rtl) e = SetAttribute(part_, tag, "rightToLeft", rtl ? std::optional<std::string_view>("1") : std::nullopt);
  } else if (local == "alignment") {
    // readingOrder: 0 as the text says, 1 left to right, 2 right to left.
    if (const auto v = attr("readingOrder"); v && *v == (rtl ? "1" : "2"))
      e = SetAttribute(part_, tag, "readingOrder", rtl ? "2" : "1");
    // horizontal is an edge of the cell: right-aligned text moves to the start with the sheet.
    const auto h = attr("horizontal");
    if (h && *h == (rtl ? "left" : "right")) {
      if (e) edits.push_back(std::move(*e));
      e = SetAttribute(part_, tag, "horizontal", rtl ? "right" : "left");
    }
  }
  if (e) edits.push_back(std::move(*e));
}

void ScriptTransform::OnProps(const Props& props, Edits& edits) {
  if (props.name == "rPr") RunProps(props, false, edits);
  else DirectionProps(props, edits);
}

// The offset map is monotone, so the letters that came from one slot are one stretch of the
// output. A tab, break or hyphen keeps its element; anything else converted from it joins the
// nearest text slot.
std::vector<std::u16string> Distribute(const Paragraph& p, std::u16string_view out, const std::vector<std::size_t>& map) {
  const std::size_t n = p.slots.size();
  std::vector<std::size_t> ends(n);
  std::size_t at = 0;
  for (std::size_t i = 0; i < n; ++i) ends[i] = at += p.slots[i].text.size();
  // Slot s takes the units that came from before its end (the last slot takes the rest).
  std::vector<std::u16string> pieces(n);
  for (std::size_t s = 0, k = 0; s < n; ++s) {
    const std::size_t from = k;
    if (s + 1 == n) k = out.size();
    else
      while (k < out.size() && map[k] < ends[s]) ++k;
    pieces[s].assign(out.substr(from, k - from));
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!p.slots[i].special) continue;
    std::u16string& piece = pieces[i];
    if (const std::size_t f = piece.find(p.slots[i].text[0]); f != std::u16string::npos) piece.erase(f, 1);
    if (piece.empty()) continue;
    std::size_t to = i;
    for (std::size_t j = i; j-- > 0 && to == i;)
      if (!p.slots[j].special) to = j;
    for (std::size_t j = i + 1; j < n && to == i; ++j)
      if (!p.slots[j].special) to = j;
    if (to == i) throw DocumentError("a paragraph's converted text has no text element to go into");
    pieces[to] = to < i ? pieces[to] + piece : piece + pieces[to];
    piece.clear();
  }
  return pieces;
}

namespace {

// Whether a text holds a letter of the script's alphabet family: counted a few units at a
// time, as the first letter usually settles it.
bool HasLettersOf(sc::Script s, std::u16string_view text) {
  constexpr std::size_t kStep = 16;
  sc::Detection d;
  for (std::size_t at = 0; at < text.size(); at += kStep) {
    sc::CountLetters(text.substr(at, kStep), d);
    if ((s == sc::Script::Uey ? d.arabic : s == sc::Script::Uky ? d.cyrillic : d.latin) > 0) return true;
  }
  return false;
}

bool EdgeSpace(std::u16string_view t) {
  auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
  return !t.empty() && (space(t.front()) || space(t.back()));
}

}  // namespace

std::u16string ScriptTransform::ConvertText(std::u16string_view text, std::vector<std::size_t>& map) {
  if (!converter_) converter_ = std::make_unique<sc::Converter>(options_);
  converter_->Reset();
  std::u16string out;
  out.reserve(text.size() + text.size() / 4);
  converter_->Feed(text, out, &map);
  converter_->Finish(out, &map);
  return out;
}

namespace {

// A piece of a header's or footer's text: letters, or one & code.
struct HeaderPiece {
  std::u16string text;
  bool code = false;
};

// The length of the & code at `at`: &"font,style", a size (&12), a colour (&K and six
// characters), or & and one character (&L &C &R, which start a section, &P &N &D &T &F &A,
// &B &I &U ..., and && for an ampersand).
std::size_t CodeLength(std::u16string_view t, std::size_t at) {
  if (at + 1 >= t.size()) return t.size() - at;
  const char16_t c = t[at + 1];
  std::size_t end = at + 2;
  if (c == u'"') {
    const std::size_t close = t.find(u'"', at + 2);
    end = close == std::u16string_view::npos ? t.size() : close + 1;
  } else if (c >= u'0' && c <= u'9') {
    while (end < t.size() && t[end] >= u'0' && t[end] <= u'9') ++end;
  } else if (c == u'K') {
    end = std::min(t.size(), at + 8);
  }
  return end - at;
}

// As many as a paragraph may hold runs and text elements, so that memory stays bounded.
constexpr std::size_t kMaxHeaderPieces = 1 << 16;

std::vector<HeaderPiece> SplitHeaderFooter(std::u16string_view t) {
  std::vector<HeaderPiece> pieces;
  for (std::size_t at = 0; at < t.size();) {
    if (pieces.size() == kMaxHeaderPieces)
      throw DocumentError("a sheet's header or footer has more than " + std::to_string(kMaxHeaderPieces) +
                          " codes and stretches of text");
    const bool code = t[at] == u'&';
    const std::size_t n = code ? CodeLength(t, at) : std::min(t.find(u'&', at), t.size()) - at;
    pieces.push_back({std::u16string(t.substr(at, n)), code});
    at += n;
  }
  return pieces;
}

bool StartsSection(const HeaderPiece& p) {
  return p.code && p.text.size() == 2 && (p.text[1] == u'L' || p.text[1] == u'C' || p.text[1] == u'R');
}

}  // namespace

void ScriptTransform::OnHeaderFooter(const TextSlot& slot, Edits& edits) {
  std::vector<HeaderPiece> pieces = SplitHeaderFooter(slot.text);
  // Each section's letters are a paragraph: its pieces of text are its slots.
  for (std::size_t first = 0, i = 0; i <= pieces.size(); ++i) {
    if (i < pieces.size() && !StartsSection(pieces[i])) continue;
    Paragraph section;
    std::vector<std::u16string> converted;
    for (std::size_t k = first; k < i; ++k) {
      section.slots.push_back(TextSlot{});
      section.slots.back().text = pieces[k].code ? std::u16string() : pieces[k].text;
      converted.push_back(section.slots.back().text);
    }
    first = i;
    if (section.Text().empty()) continue;
    ++paragraphs_;
    if (count_) sc::CountLetters(section.Text(), *count_);
    ConvertSlots(section, [](const TextSlot&) { return true; }, converted);
    for (std::size_t k = 0; k < converted.size(); ++k)
      if (!pieces[i - converted.size() + k].code) pieces[i - converted.size() + k].text = std::move(converted[k]);
  }
  std::u16string out;
  for (const HeaderPiece& p : pieces) out += p.text;
  if (out == slot.text || slot.empty_tag) return;
  ++runs_changed_;
  edits.push_back({slot.inner.begin, slot.inner.end, EscapeText(out)});
}

template <typename Keep>
void ScriptTransform::ConvertSlots(const Paragraph& p, Keep keep, std::vector<std::u16string>& pieces) {
  Paragraph view;
  std::vector<std::size_t> from;  // the slot of `p` behind each of the view's
  for (std::size_t i = 0; i < p.slots.size(); ++i)
    if (keep(p.slots[i])) {
      view.slots.push_back(p.slots[i]);
      from.push_back(i);
    }
  const std::u16string text = view.Text();
  if (text.empty()) return;
  std::vector<std::size_t> map;
  const std::u16string out = ConvertText(text, map);
  std::vector<std::u16string> got = Distribute(view, out, map);
  for (std::size_t k = 0; k < from.size(); ++k) pieces[from[k]] = std::move(got[k]);
}

namespace {

bool Deleted(const Paragraph& p, const TextSlot& s) { return s.deleted || p.runs[s.run].deleted; }

}  // namespace

void ScriptTransform::OnParagraph(const Paragraph& p, Edits& edits) {
  ++paragraphs_;
  const std::u16string text = p.Text();
  if (count_) sc::CountLetters(text, *count_);
  std::vector<std::u16string> pieces;
  if (std::none_of(p.slots.begin(), p.slots.end(), [&](const TextSlot& s) { return Deleted(p, s); })) {
    std::vector<std::size_t> map;
    if (!text.empty()) pieces = Distribute(p, ConvertText(text, map), map);
  } else {
    // Tracked changes: the paragraph as it reads with them rejected gives the deleted text,
    // which comes back then, its context; as it reads with them accepted gives the rest.
    for (const TextSlot& s : p.slots) pieces.push_back(s.text);
    ConvertSlots(p, [&](const TextSlot& s) { return !p.runs[s.run].inserted; }, pieces);
    ConvertSlots(p, [&](const TextSlot& s) { return !Deleted(p, s); }, pieces);
  }
  // Runs whose letters were converted; kept foreign words keep their formatting.
  std::vector<std::u16string> before(p.runs.size()), after(p.runs.size());
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const TextSlot& s = p.slots[i];
    if (s.special) continue;
    before[s.run] += s.text;
    after[s.run] += pieces[i];
    if (pieces[i] == s.text) continue;
    const std::string t = info_->Qualified(s.deleted ? "delText" : "t");
    const bool preserve = s.preserve || EdgeSpace(pieces[i]);
    const std::string open = "<" + t + (preserve ? " xml:space=\"preserve\">" : ">");
    if (s.empty_tag) {
      edits.push_back({s.open.begin, s.open.end, open + EscapeText(pieces[i]) + "</" + t + ">"});
      continue;
    }
    if (preserve && !s.preserve) edits.push_back({s.open.begin, s.open.end, open});
    edits.push_back({s.inner.begin, s.inner.end, EscapeText(pieces[i])});
  }
  for (std::size_t r = 0; r < p.runs.size(); ++r) {
    if (before[r] == after[r]) continue;
    ++runs_changed_;
    if (markup_ == Markup::kWord && HasLettersOf(options_.from, before[r]) && HasLettersOf(options_.to, after[r]))
      RunProps(p.runs[r].rpr, true, edits);
  }
  if (markup_ == Markup::kSlide && turn() == Turn::kToRightToLeft && !p.ppr.present &&
      p.ppr.insert_at != std::string::npos)
    edits.push_back({p.ppr.insert_at, p.ppr.insert_at, "<" + info_->Qualified("pPr") + " rtl=\"1\" algn=\"r\"/>"});
  if (markup_ != Markup::kWord) return;
  DirectionProps(p.ppr, edits);
}

}  // namespace uy::docscript
