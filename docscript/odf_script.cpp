// SPDX-License-Identifier: GPL-3.0-or-later
#include "odf_script.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "document_error.h"
#include "word_script.h"

namespace uy::docscript {
namespace {

namespace sc = uy::script;
using formats::DocumentError;

constexpr std::string_view kFallbackPrefixes[][2] = {
    {kOdfOfficeNs, "uyoffice"}, {kOdfStyleNs, "uystyle"}, {kOdfTextNs, "uytext"}, {kOdfFoNs, "uyfo"}};

// Names for what the conversion writes: with the prefixes the part's root binds, or with ones
// declared on the written element itself.
class Namer {
 public:
  explicit Namer(const OdfNames* names) : names_(names) {}
  std::string operator()(std::string_view uri, std::string_view local) {
    if (names_)
      if (auto q = names_->Qualified(uri, local)) return *q;
    std::string prefix = "uy";
    for (const auto& [u, p] : kFallbackPrefixes)
      if (u == uri) prefix = p;
    const std::string decl = " xmlns:" + prefix + "=\"" + std::string(uri) + "\"";
    if (decls.find(decl) == std::string::npos) decls += decl;
    return prefix + ":" + std::string(local);
  }
  std::string decls;

 private:
  const OdfNames* names_;
};

std::string EscapeAttr(std::string_view v) {
  std::string out;
  for (const char c : v) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

bool IsUg(const OdfTextProps& props, bool complex) {
  std::string v = props.Get(OdfProp::kTag, complex).value_or(props.Get(OdfProp::kLanguage, complex).value_or(""));
  std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return v == "ug" || v.starts_with("ug-");
}

std::size_t LettersOf(sc::Script s, std::u16string_view text) {
  const sc::Detection d = sc::DetectScript(text);
  return s == sc::Script::Uey ? d.arabic : s == sc::Script::Uky ? d.cyrillic : d.latin;
}

// The text properties a converted run's new style sets, each with its value.
using Settings = std::vector<std::pair<OdfAttrName, std::string>>;

// ug text gets the target script's tag: the complex one for the Arabic script, the western
// one (with its script) for the others.
void Language(const OdfTextProps& props, const sc::Options& options, Settings& set) {
  if (!IsUg(props, options.from == sc::Script::Uey)) return;
  const bool complex = options.to == sc::Script::Uey;
  const std::string tag = complex ? "ug-CN" : options.to == sc::Script::Uky ? "ug-Cyrl" : "ug-Latn";
  set.emplace_back(OdfPropName(OdfProp::kLanguage, complex), "ug");
  if (complex) {
    set.emplace_back(OdfPropName(OdfProp::kCountry, true), "CN");
  } else {
    set.emplace_back(OdfPropName(OdfProp::kScript, false), tag.substr(3));
    if (const auto& c = props.Get(OdfProp::kCountry, false); c && *c != "none")
      set.emplace_back(OdfPropName(OdfProp::kCountry, false), "none");
  }
  if (!complex || props.Get(OdfProp::kTag, true)) set.emplace_back(OdfPropName(OdfProp::kTag, complex), tag);
}

// Collects the styles a part defines (styles.xml's, for the other parts).
class Gather : public OdfTransform {
 public:
  explicit Gather(OdfStyles& styles) : styles_(styles) {}
  OdfStyles& Styles() override { return styles_; }
  void OnParagraph(const OdfParagraph&, Edits&) override {}

 private:
  OdfStyles& styles_;
};

}  // namespace

void OdfScript::Prepare(std::string_view styles_part) {
  Gather gather(shared_);
  Edits none;
  WalkOdfPart(styles_part, gather, none);
}

void OdfScript::Begin(std::string_view part) {
  part_ = part;
  styles_ = shared_;
  derived_.clear();
  derived_xml_.clear();
}

OdfScript::Turn OdfScript::turn() const {
  if (options_.from == sc::Script::Uey) return Turn::kToLeftToRight;
  if (options_.to == sc::Script::Uey) return Turn::kToRightToLeft;
  return Turn::kNone;
}

std::string OdfScript::StyleFor(const OdfTextProps& props, const std::string& base) {
  Settings set;
  const Turn t = turn();
  if (t != Turn::kNone) {
    // The values the source letters showed become those the converted letters show.
    const bool to_complex = t == Turn::kToRightToLeft;
    for (const OdfProp p :
         {OdfProp::kWeight, OdfProp::kStyle, OdfProp::kSize, OdfProp::kFontName, OdfProp::kFontFamily}) {
      const auto& v = props.Get(p, !to_complex);
      if (v)
        set.emplace_back(OdfPropName(p, to_complex), *v);
      else if (p == OdfProp::kWeight || p == OdfProp::kStyle)
        set.emplace_back(OdfPropName(p, to_complex), "normal");
    }
  }
  Language(props, options_, set);
  if (set.empty()) return {};
  std::string key = base + "\n";
  for (const auto& [name, value] : set) key += std::string(name.local) + "\n" + value + "\n";
  if (const auto it = derived_.find(key); it != derived_.end()) return it->second;
  std::string name;
  do name = "uyT" + std::to_string(++next_);
  while (styles_.Has("text", name));
  derived_xml_ += StyleXml(name, base, set);
  derived_.emplace(std::move(key), name);
  return name;
}

// The new style: an automatic base style's own properties (a common one is its parent) with
// the settings over them.
std::string OdfScript::StyleXml(const std::string& name, const std::string& base, const Settings& set) const {
  Namer n(names);
  std::string attrs, parent;
  if (const OdfStyle* b = base.empty() ? nullptr : styles_.Find("text", base)) {
    parent = b->automatic ? b->parent : base;
    if (b->automatic)
      for (const auto& [qname, value] : b->text_attrs) {
        const std::size_t bar = qname.rfind('|');
        if (bar == std::string::npos) continue;  // attributes in no namespace are not ODF's
        const std::string_view uri = std::string_view(qname).substr(0, bar),
                               local = std::string_view(qname).substr(bar + 1);
        if (std::none_of(set.begin(), set.end(),
                         [&](const auto& s) { return s.first.uri == uri && s.first.local == local; }))
          attrs += " " + n(uri, local) + "=\"" + EscapeAttr(value) + "\"";
      }
  }
  for (const auto& [an, value] : set) attrs += " " + n(an.uri, an.local) + "=\"" + EscapeAttr(value) + "\"";
  const std::string el = n(kOdfStyleNs, "style");
  std::string head = " " + n(kOdfStyleNs, "name") + "=\"" + name + "\" " + n(kOdfStyleNs, "family") + "=\"text\"";
  if (!parent.empty()) head += " " + n(kOdfStyleNs, "parent-style-name") + "=\"" + EscapeAttr(parent) + "\"";
  const std::string props_el = n(kOdfStyleNs, "text-properties");
  return "<" + el + n.decls + head + "><" + props_el + attrs + "/></" + el + ">";
}

std::vector<std::string> OdfScript::RunStyles(const OdfParagraph& p, const std::vector<std::u16string>& before,
                                              const std::vector<std::u16string>& after) {
  std::vector<std::string> style(p.runs.size());
  std::map<std::size_t, std::string> spans;  // a span's serial, its new style
  for (std::size_t r = 0; r < p.runs.size(); ++r) {
    if (before[r] == after[r]) continue;
    ++runs_changed_;
    if (LettersOf(options_.from, before[r]) == 0 || LettersOf(options_.to, after[r]) == 0) continue;
    const OdfHolder& h = p.holders[r];
    style[r] = StyleFor(p.props[r], Retargets(h) ? h.style : std::string());
    if (Retargets(h) && !style[r].empty()) spans.emplace(h.serial, style[r]);
  }
  // A span takes the new style itself (spans in spans are lost by some readers), with all its
  // runs.
  for (std::size_t r = 0; r < p.runs.size(); ++r)
    if (Retargets(p.holders[r])) {
      const auto it = spans.find(p.holders[r].serial);
      style[r] = it == spans.end() ? std::string() : it->second;
    }
  return style;
}

void OdfScript::OnParagraph(const OdfParagraph& p, Edits& edits) {
  ++paragraphs_;
  const std::u16string text = p.Text();
  if (text.empty()) return;
  if (count_) sc::CountLetters(text, *count_);
  std::vector<std::size_t> map;
  const std::u16string out = sc::Convert(text, options_, &map);
  const std::vector<std::u16string> pieces = Distribute(p, out, map);
  std::vector<std::u16string> before(p.runs.size()), after(p.runs.size());
  for (std::size_t i = 0; i < p.slots.size(); ++i) {
    if (p.slots[i].special) continue;
    before[p.slots[i].run] += p.slots[i].text;
    after[p.slots[i].run] += pieces[i];
  }
  retarget_ = names && names->Qualified(kOdfTextNs, "style-name");
  const std::vector<std::string> style = RunStyles(p, before, after);
  Namer n(names);
  const std::string span = n(kOdfTextNs, "span"), style_name = n(kOdfTextNs, "style-name");
  std::set<std::size_t> retargeted;
  for (std::size_t i = 0; i < p.slots.size(); ++i) {
    const TextSlot& s = p.slots[i];
    const OdfHolder& h = p.holders[s.run];
    const bool in_span = Retargets(h);
    if (in_span && !style[s.run].empty() && retargeted.insert(h.serial).second)
      if (auto e = SetAttribute(part_, h.tag, style_name, style[s.run])) edits.push_back(std::move(*e));
    // A piece that stayed as it was (a number, a kept word) keeps its formatting too, unless
    // its span takes the new style.
    if (s.special || before[s.run] == after[s.run] || (!in_span && pieces[i] == s.text)) continue;
    std::string piece = EscapeText(pieces[i]);
    if (!in_span && !style[s.run].empty() && !piece.empty())
      piece = "<" + span + n.decls + " " + style_name + "=\"" + style[s.run] + "\">" + piece + "</" + span + ">";
    edits.push_back({s.inner.begin, s.inner.end, std::move(piece)});
  }
}

void OdfScript::OnProperties(std::string_view local, bool in_default, Range tag, const char** attrs, Edits& edits) {
  const Turn t = turn();
  if (t == Turn::kNone) return;
  const bool rtl = t == Turn::kToRightToLeft;
  auto set = [&](std::string_view uri, std::string_view name, std::string_view value) {
    std::optional<std::string> q = names ? names->Qualified(uri, name) : std::nullopt;
    if (!q) {
      if (OdfAttr(attrs, uri, name)) return;  // bound further in: left alone
      Namer n(nullptr);
      q = n(uri, name);
      const std::string decl = n.decls.substr(1);
      const std::size_t eq = decl.find('=');
      if (auto e =
              SetAttribute(part_, tag, decl.substr(0, eq), std::string_view(decl).substr(eq + 2, decl.size() - eq - 3)))
        edits.push_back(std::move(*e));
    }
    if (auto e = SetAttribute(part_, tag, *q, value)) edits.push_back(std::move(*e));
  };
  if (const char* wm = OdfAttr(attrs, kOdfStyleNs, "writing-mode")) {
    const std::string_view v(wm);
    if (v == (rtl ? "lr-tb" : "rl-tb"))
      set(kOdfStyleNs, "writing-mode", rtl ? "rl-tb" : "lr-tb");
    else if (v == (rtl ? "lr" : "rl"))
      set(kOdfStyleNs, "writing-mode", rtl ? "rl" : "lr");
  } else if (rtl && (local == "page-layout-properties" || local == "table-properties" ||
                     (local == "paragraph-properties" && in_default))) {
    set(kOdfStyleNs, "writing-mode", "rl-tb");
  }
  // LibreOffice writes and reads "start" and "left" as the left edge, "end" and "right" as the
  // right edge, whatever the writing mode (its HTML and Word exports say so): right-aligned
  // text goes to the left, the way back to the right.
  if (local != "paragraph-properties") return;
  const char* a = OdfAttr(attrs, kOdfFoNs, "text-align");
  const std::string_view v = a ? a : "";
  if (!rtl && (v == "end" || v == "right")) set(kOdfFoNs, "text-align", "start");
  if (rtl && (v == "start" || v == "left" || (!a && in_default))) set(kOdfFoNs, "text-align", "end");
}

void OdfScript::OnEnd(const OdfStylePlace& place, Edits& edits) {
  if (derived_xml_.empty()) return;
  if (place.at == std::string::npos) throw DocumentError("the part has no place for the converted text's styles");
  if (!place.open) {
    edits.push_back({place.at, place.at, derived_xml_});
    return;
  }
  Namer n(names);
  const std::string el = n(kOdfOfficeNs, "automatic-styles");
  edits.push_back({place.replace.begin, place.replace.end, "<" + el + n.decls + ">" + derived_xml_ + "</" + el + ">"});
}

}  // namespace uy::docscript
