// SPDX-License-Identifier: GPL-3.0-or-later
// The zip containers' readers: each XML part is parsed (expat) into a small tree, then walked
// with the format's own rules for styles, direction and alignment.
#include "doc_reader.h"

#include <expat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>

#include "doc_reader_internal.h"
#include "document_builders.h"
#include "utf.h"

namespace uytest {
namespace {

namespace fs = std::filesystem;
using reader::Node;
using reader::Paragraphs;

// ---- XML tree ----

struct TreeBuilder {
  Node root;
  std::vector<Node*> open{&root};
  static void Start(void* data, const char* name, const char** atts) {
    auto* t = static_cast<TreeBuilder*>(data);
    Node n;
    n.name = name;
    for (int i = 0; atts[i]; i += 2) n.attrs[atts[i]] = atts[i + 1];
    t->open.back()->kids.push_back(std::move(n));
    t->open.push_back(&t->open.back()->kids.back());
  }
  static void End(void* data, const char*) { static_cast<TreeBuilder*>(data)->open.pop_back(); }
  static void Text(void* data, const char* s, int len) {
    auto* t = static_cast<TreeBuilder*>(data);
    auto& kids = t->open.back()->kids;
    if (kids.empty() || !kids.back().name.empty()) kids.emplace_back();
    kids.back().text.append(s, static_cast<std::size_t>(len));
  }
};

Node Parse(const std::string& xml) {
  TreeBuilder t;
  std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> p(XML_ParserCreate("UTF-8"), XML_ParserFree);
  XML_SetUserData(p.get(), &t);
  XML_SetElementHandler(p.get(), TreeBuilder::Start, TreeBuilder::End);
  XML_SetCharacterDataHandler(p.get(), TreeBuilder::Text);
  if (XML_Parse(p.get(), xml.data(), static_cast<int>(xml.size()), 1) != XML_STATUS_OK)
    throw std::runtime_error(std::string("XML does not parse: ") + XML_ErrorString(XML_GetErrorCode(p.get())));
  return std::move(t.root);
}

std::map<std::string, Node> XmlParts(const fs::path& doc) {
  std::map<std::string, Node> parts;
  for (const auto& e : ReadZip(doc))
    if (e.name.ends_with(".xml")) parts[e.name] = Parse(e.data);
  return parts;
}

// On/off values: present without a value, or anything but 0/false/off.
bool On(const Node* n, const char* attr) {
  if (!n) return false;
  const std::string v = n->Attr(attr);
  return v != "0" && v != "false" && v != "off";
}

// ---- .docx ----

struct WordStyles {
  struct Style {
    std::string based;
    std::map<std::string, std::string> props;  // bidi jc b bCs
  };
  std::map<std::string, Style> by_id;  // "" holds the document defaults

  static void Props(const Node& holder, std::map<std::string, std::string>& props) {
    for (const char* tag : {"w:pPr", "w:rPr"})
      if (const Node* pr = holder.Child(tag)) {
        for (const char* p : {"w:bidi", "w:b", "w:bCs"})
          if (const Node* n = pr->Child(p)) props[p + 2] = On(n, "w:val") ? "1" : "0";
        if (const Node* jc = pr->Child("w:jc")) props["jc"] = jc->Attr("w:val");
      }
  }
  explicit WordStyles(const Node* styles) {
    if (!styles) return;
    const Node* root = styles->Child("w:styles");
    if (!root) return;
    if (const Node* d = root->Child("w:docDefaults"))
      for (const auto& k : d->kids) Props(k, by_id[""].props);
    for (const auto& s : root->kids) {
      if (s.name != "w:style") continue;
      Style& st = by_id[s.Attr("w:styleId")];
      if (const Node* b = s.Child("w:basedOn")) st.based = b->Attr("w:val");
      Props(s, st.props);
    }
  }
  // The value through the style's chain, then the defaults.
  std::string Get(const std::string& id, const std::string& key) const {
    std::string cur = id;
    for (int depth = 0; !cur.empty() && depth < 20; ++depth) {
      const auto it = by_id.find(cur);
      if (it == by_id.end()) break;
      if (const auto p = it->second.props.find(key); p != it->second.props.end()) return p->second;
      cur = it->second.based;
    }
    const auto d = by_id.find("");
    if (d == by_id.end()) return {};
    const auto p = d->second.props.find(key);
    return p == d->second.props.end() ? std::string() : p->second;
  }
};

struct WordWalk {
  const WordStyles& styles;
  Paragraphs& out;
  std::vector<bool> tables;

  std::string Para(const Node& p, const std::string& key) const {
    std::map<std::string, std::string> direct;
    WordStyles::Props(p, direct);
    if (const auto it = direct.find(key); it != direct.end()) return it->second;
    const Node* ppr = p.Child("w:pPr");
    const Node* ps = ppr ? ppr->Child("w:pStyle") : nullptr;
    return styles.Get(ps ? ps->Attr("w:val") : "", key);
  }
  bool RunBold(const Node& r, const std::string& pstyle, const char* key) const {
    std::map<std::string, std::string> direct;
    WordStyles::Props(r, direct);
    if (const auto it = direct.find(key); it != direct.end()) return it->second == "1";
    const Node* rpr = r.Child("w:rPr");
    const Node* rs = rpr ? rpr->Child("w:rStyle") : nullptr;
    std::string v = rs ? styles.Get(rs->Attr("w:val"), key) : std::string();
    if (v.empty()) v = styles.Get(pstyle, key);
    return v == "1";
  }
  void Runs(const Node& n, const std::string& pstyle, ShownParagraph& sp) {
    for (const auto& k : n.kids) {
      if (k.name == "w:r") {
        const bool b = RunBold(k, pstyle, "b"), bcs = RunBold(k, pstyle, "bCs");
        for (const auto& t : k.kids)
          if (t.name == "w:t") reader::Append(sp, uy::FromUtf8(t.InnerText()), b, bcs);
          else if (t.name == "w:tab") reader::Append(sp, u"\t", b, bcs);
        Walk(k);  // text boxes inside a run are paragraphs of their own
      } else if (k.name != "w:p" && k.name != "w:pPr" && !k.name.empty()) {
        Runs(k, pstyle, sp);
      }
    }
  }
  void Paragraph(const Node& p) {
    ShownParagraph sp;
    const Node* ppr = p.Child("w:pPr");
    const Node* ps = ppr ? ppr->Child("w:pStyle") : nullptr;
    Runs(p, ps ? ps->Attr("w:val") : "", sp);
    sp.rtl = Para(p, "bidi") == "1";
    const std::string jc = Para(p, "jc");
    if (jc == "center") sp.align = 'C';
    else if (jc == "both" || jc == "distribute") sp.align = 'J';
    else if (jc == "right" || jc == "end") sp.align = sp.rtl ? 'L' : 'R';
    else sp.align = sp.rtl ? 'R' : 'L';
    sp.rtl_table = !tables.empty() && tables.back();
    reader::Emit(out, std::move(sp));
  }
  void Walk(const Node& n) {
    for (const auto& k : n.kids) {
      if (k.name == "w:p") {
        Paragraph(k);
      } else if (k.name == "w:tbl") {
        const Node* pr = k.Child("w:tblPr");
        tables.push_back(pr && pr->Child("w:bidiVisual") && On(pr->Child("w:bidiVisual"), "w:val"));
        Walk(k);
        tables.pop_back();
      } else if (!k.name.empty()) {
        Walk(k);
      }
    }
  }
};

Paragraphs ReadDocx(const fs::path& doc) {
  const auto parts = XmlParts(doc);
  const auto st = parts.find("word/styles.xml");
  const WordStyles styles(st == parts.end() ? nullptr : &st->second);
  Paragraphs out;
  WordWalk walk{styles, out, {}};
  for (const auto& [name, root] : parts)
    if (name == "word/document.xml" || name.starts_with("word/header") || name.starts_with("word/footer") ||
        name == "word/footnotes.xml" || name == "word/endnotes.xml")
      walk.Walk(root);
  return out;
}

// ---- .xlsx ----

struct SheetRun {
  std::u16string text;
  int bold = -1;  // -1: the cell's font decides
};

std::vector<SheetRun> RunsOf(const Node& si) {
  std::vector<SheetRun> runs;
  for (const auto& k : si.kids) {
    if (k.name == "t") runs.push_back({uy::FromUtf8(k.InnerText()), -1});
    if (k.name != "r") continue;
    const Node* rpr = k.Child("rPr");
    const Node* t = k.Child("t");
    runs.push_back({t ? uy::FromUtf8(t->InnerText()) : u"", rpr ? (On(rpr->Child("b"), "val") ? 1 : 0) : -1});
  }
  return runs;
}

std::vector<std::vector<SheetRun>> SharedStrings(const Node* sst) {
  std::vector<std::vector<SheetRun>> out;
  if (const Node* root = sst ? sst->Child("sst") : nullptr)
    for (const auto& si : root->kids)
      if (si.name == "si") out.push_back(RunsOf(si));
  return out;
}

struct CellFormat {
  bool bold = false;
  std::string horizontal;
};

std::vector<CellFormat> CellFormats(const Node* styles) {
  std::vector<CellFormat> out;
  const Node* root = styles ? styles->Child("styleSheet") : nullptr;
  if (!root) return out;
  std::vector<bool> font_bold;
  if (const Node* fonts = root->Child("fonts"))
    for (const auto& f : fonts->kids)
      if (f.name == "font") font_bold.push_back(On(f.Child("b"), "val"));
  if (const Node* xfs = root->Child("cellXfs"))
    for (const auto& xf : xfs->kids) {
      if (xf.name != "xf") continue;
      const std::size_t font = std::stoul("0" + xf.Attr("fontId"));
      const Node* al = xf.Child("alignment");
      out.push_back({font < font_bold.size() && font_bold[font], al ? al->Attr("horizontal") : ""});
    }
  return out;
}

void SheetCell(const Node& c, const std::vector<std::vector<SheetRun>>& sst, const std::vector<CellFormat>& fmts,
               bool rtl, Paragraphs& out) {
  std::vector<SheetRun> runs;
  if (c.Attr("t") == "s" && c.Child("v")) {
    const std::size_t i = std::stoul(c.Child("v")->InnerText());
    if (i < sst.size()) runs = sst[i];
  } else if (c.Attr("t") == "inlineStr" && c.Child("is")) {
    runs = RunsOf(*c.Child("is"));
  }
  const std::size_t s = std::stoul("0" + c.Attr("s"));
  const CellFormat f = s < fmts.size() ? fmts[s] : CellFormat{};
  ShownParagraph sp;
  for (const auto& r : runs) reader::Append(sp, r.text, r.bold < 0 ? f.bold : r.bold == 1, r.bold < 0 ? f.bold : r.bold == 1);
  sp.rtl = sp.rtl_table = rtl;
  sp.align = f.horizontal == "right" ? 'R' : f.horizontal == "left" ? 'L' : f.horizontal == "center" ? 'C'
             : f.horizontal == "justify" ? 'J' : (rtl ? 'R' : 'L');
  reader::Emit(out, std::move(sp));
}

Paragraphs ReadXlsx(const fs::path& doc) {
  const auto parts = XmlParts(doc);
  auto find = [&](const std::string& n) { const auto it = parts.find(n); return it == parts.end() ? nullptr : &it->second; };
  const auto sst = SharedStrings(find("xl/sharedStrings.xml"));
  const auto fmts = CellFormats(find("xl/styles.xml"));
  Paragraphs out;
  for (const auto& [name, root] : parts) {
    if (!name.starts_with("xl/worksheets/sheet")) continue;
    const Node* ws = root.Child("worksheet");
    if (!ws) continue;
    const Node* views = ws->Child("sheetViews");
    const bool rtl = views && views->Child("sheetView") && On(views->Child("sheetView"), "rightToLeft") &&
                     !views->Child("sheetView")->Attr("rightToLeft").empty();
    if (const Node* data = ws->Child("sheetData"))
      for (const auto& row : data->kids)
        for (const auto& c : row.kids)
          if (c.name == "c") SheetCell(c, sst, fmts, rtl, out);
  }
  return out;
}

// ---- .pptx ----

void SlideParagraphs(const Node& n, Paragraphs& out) {
  for (const auto& k : n.kids) {
    if (k.name != "a:p") {
      SlideParagraphs(k, out);
      continue;
    }
    ShownParagraph sp;
    const Node* ppr = k.Child("a:pPr");
    sp.rtl = ppr && (ppr->Attr("rtl") == "1" || ppr->Attr("rtl") == "true");
    const std::string algn = ppr ? ppr->Attr("algn") : "";
    sp.align = algn == "r" ? 'R' : algn == "ctr" ? 'C' : algn == "just" ? 'J' : 'L';
    for (const auto& r : k.kids) {
      if (r.name != "a:r" && r.name != "a:fld") continue;
      const Node* rpr = r.Child("a:rPr");
      const bool b = rpr && (rpr->Attr("b") == "1" || rpr->Attr("b") == "true");
      if (const Node* t = r.Child("a:t")) reader::Append(sp, uy::FromUtf8(t->InnerText()), b, b);
    }
    reader::Emit(out, std::move(sp));
  }
}

Paragraphs ReadPptx(const fs::path& doc) {
  Paragraphs out;
  for (const auto& [name, root] : XmlParts(doc))
    if (name.starts_with("ppt/slides/slide")) SlideParagraphs(root, out);
  return out;
}

}  // namespace

bool IsArabicUnit(char16_t c) {
  return (c >= 0x0600 && c <= 0x06FF) || (c >= 0xFB50 && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFE);
}

namespace reader {

const Node* Node::Child(std::string_view n) const {
  for (const auto& k : kids)
    if (k.name == n) return &k;
  return nullptr;
}

std::string Node::Attr(const std::string& n) const {
  const auto it = attrs.find(n);
  return it == attrs.end() ? std::string() : it->second;
}

std::string Node::InnerText() const {
  std::string s = text;
  for (const auto& k : kids) s += k.InnerText();
  return s;
}

void Append(ShownParagraph& p, std::u16string_view text, bool western_bold, bool complex_bold) {
  for (const char16_t c : text) {
    p.text.push_back(c);
    p.bold.push_back(IsArabicUnit(c) ? complex_bold : western_bold);
  }
}

void Emit(Paragraphs& out, ShownParagraph&& p) {
  if (std::any_of(p.text.begin(), p.text.end(), [](char16_t c) { return c != u' ' && c != u'\t'; }))
    out.push_back(std::move(p));
}

Node ParseXml(const std::string& xml) { return Parse(xml); }
std::map<std::string, Node> ZipXmlParts(const fs::path& doc) { return XmlParts(doc); }

}  // namespace reader

Paragraphs ReadShown(const fs::path& doc) {
  std::string ext = doc.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == ".docx") return ReadDocx(doc);
  if (ext == ".xlsx") return ReadXlsx(doc);
  if (ext == ".pptx") return ReadPptx(doc);
  if (ext == ".odt" || ext == ".ods" || ext == ".odp") return reader::ReadOdf(doc);
  if (ext == ".rtf") return reader::ReadRtf(ReadFile(doc));
  if (ext == ".html" || ext == ".htm") return reader::ReadHtml(ReadFile(doc));
  throw std::runtime_error("no reader for " + doc.string());
}

}  // namespace uytest
