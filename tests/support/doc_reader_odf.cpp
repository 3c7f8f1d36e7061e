// SPDX-License-Identifier: GPL-3.0-or-later
// OpenDocument: content.xml's body and styles.xml's master pages, each paragraph's properties
// looked up from its innermost style outwards (span, paragraph, cell, frame, table), each
// through its parent styles, then the default styles and the page layout.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "doc_reader_internal.h"
#include "utf.h"

namespace uytest::reader {
namespace {

namespace fs = std::filesystem;

std::string Local(const std::string& name) {
  const auto colon = name.find(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

struct OdfStyles {
  struct Style {
    std::string parent;
    std::map<std::string, std::string> props;  // attributes of its *-properties, without prefix
  };
  std::map<std::string, Style> styles;  // "family/name"; "family/" is the family's default style
  std::map<std::string, std::string> layout_mode;  // page layout -> writing mode
  std::string page_mode;                           // the first master page's writing mode

  void AddStyle(const Node& s) {
    Style& st = styles[s.Attr("style:family") + "/" + s.Attr("style:name")];
    st.parent = s.Attr("style:parent-style-name");
    for (const auto& k : s.kids)
      if (k.name.ends_with("-properties"))
        for (const auto& [a, v] : k.attrs) st.props[Local(a)] = v;
  }
  void Add(const Node& root) {
    for (const auto& group : root.kids)
      for (const auto& s : group.kids) {
        if (s.name == "style:style" || s.name == "style:default-style") AddStyle(s);
        if (s.name == "style:page-layout")
          if (const Node* p = s.Child("style:page-layout-properties"))
            layout_mode[s.Attr("style:name")] = p->Attr("style:writing-mode");
        if (s.name == "style:master-page" && page_mode.empty()) page_mode = layout_mode[s.Attr("style:page-layout-name")];
      }
  }
  std::string Chain(const std::string& family, std::string name, const std::string& key) const {
    for (int depth = 0; !name.empty() && depth < 20; ++depth) {
      const auto it = styles.find(family + "/" + name);
      if (it == styles.end()) break;
      if (const auto p = it->second.props.find(key); p != it->second.props.end() && p->second != "page")
        return p->second;
      name = it->second.parent;
    }
    return {};
  }
  using Stack = std::vector<std::pair<std::string, std::string>>;  // family, name; innermost last
  std::string Lookup(const Stack& stack, const std::string& key) const {
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
      if (auto v = Chain(it->first, it->second, key); !v.empty()) return v;
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
      if (const auto d = styles.find(it->first + "/"); d != styles.end())
        if (const auto p = d->second.props.find(key); p != d->second.props.end() && p->second != "page") return p->second;
    return {};
  }
  bool Rtl(const Stack& stack) const {
    const std::string m = Lookup(stack, "writing-mode");
    return (m.empty() ? page_mode : m).starts_with("rl");
  }
  bool Bold(const Stack& stack, const char* key) const {
    const std::string w = Lookup(stack, key);
    return w == "bold" || (!w.empty() && w[0] >= '6' && w[0] <= '9' && w.size() == 3);
  }
};

struct OdfWalk {
  const OdfStyles& st;
  Paragraphs& out;
  OdfStyles::Stack stack;
  std::vector<ShownParagraph> open;
  std::vector<bool> tables;

  void Text(std::u16string_view s) {
    if (!open.empty())
      Append(open.back(), s, st.Bold(stack, "font-weight"), st.Bold(stack, "font-weight-complex"));
  }
  void Paragraph(const Node& n) {
    open.emplace_back();
    Kids(n);
    ShownParagraph p = std::move(open.back());
    open.pop_back();
    p.rtl = st.Rtl(stack);
    const std::string a = st.Lookup(stack, "text-align");
    p.align = (a == "end" || a == "right") ? 'R' : a == "center" ? 'C' : a == "justify" ? 'J' : 'L';
    p.rtl_table = !tables.empty() && tables.back();
    Emit(out, std::move(p));
  }
  void Element(const Node& n) {
    static const char* const kSkipped[] = {"text:note-citation", "office:annotation", "text:tracked-changes",
                                           "presentation:notes", "office:forms", "text:sequence-decls"};
    for (const char* s : kSkipped)
      if (n.name == s) return;
    if (n.name.empty()) return Text(uy::FromUtf8(n.text));
    if (n.name == "text:s") {
      const std::string count = n.Attr("text:c");
      return Text(std::u16string(count.empty() ? 1 : std::stoul(count), u' '));
    }
    if (n.name == "text:tab") return Text(u"\t");
    if (n.name == "text:line-break") return Text(u"\n");
    const std::size_t depth = stack.size();
    static const std::pair<const char*, const char*> kStyleAttrs[] = {
        {"table:style-name", nullptr}, {"presentation:style-name", "presentation"}, {"draw:style-name", "graphic"},
        {"draw:text-style-name", "paragraph"}, {"text:style-name", nullptr}};
    for (const auto& [attr, family] : kStyleAttrs) {
      const std::string name = n.Attr(attr);
      if (name.empty()) continue;
      const std::string fam = family ? family
                              : n.name == "table:table" ? "table"
                              : n.name == "table:table-cell" ? "table-cell"
                              : n.name == "text:span" ? "text"
                                                     : "paragraph";
      stack.emplace_back(fam, name);
    }
    if (n.name == "table:table-cell" && n.Attr("table:style-name").empty()) stack.emplace_back("table-cell", "Default");
    if (n.name == "table:table") tables.push_back(st.Rtl(stack));
    if (n.name == "text:p" || n.name == "text:h") Paragraph(n);
    else Kids(n);
    if (n.name == "table:table") tables.pop_back();
    stack.resize(depth);
  }
  void Kids(const Node& n) {
    for (const auto& k : n.kids) Element(k);
  }
};

const Node* Find(const Node& n, std::string_view name) {
  if (n.name == name) return &n;
  for (const auto& k : n.kids)
    if (const Node* f = Find(k, name)) return f;
  return nullptr;
}

}  // namespace

Paragraphs ReadOdf(const fs::path& doc) {
  const auto parts = ZipXmlParts(doc);
  OdfStyles styles;
  for (const char* part : {"styles.xml", "content.xml"})
    if (const auto it = parts.find(part); it != parts.end() && !it->second.kids.empty())
      styles.Add(it->second.kids.front());
  Paragraphs out;
  OdfWalk walk{styles, out, {}, {}, {}};
  for (const auto& [part, tag] : {std::pair{"styles.xml", "office:master-styles"}, std::pair{"content.xml", "office:body"}})
    if (const auto it = parts.find(part); it != parts.end())
      if (const Node* n = Find(it->second, tag)) walk.Kids(*n);
  return out;
}

}  // namespace uytest::reader
