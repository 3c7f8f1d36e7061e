// SPDX-License-Identifier: GPL-3.0-or-later
// RTF (a tokenizer keeping the group state: bold, direction, alignment) and HTML (a tag
// tokenizer keeping the open elements: b/strong, dir, align and their CSS forms).
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "doc_reader_internal.h"
#include "utf.h"

namespace uytest::reader {
namespace {

// ---- RTF ----

struct RtfGroup {
  bool b = false, ab = false, rtl = false, skip = false;
  char align = 'L';
  int uc = 1;
};

struct RtfReader {
  Paragraphs out;
  std::vector<RtfGroup> groups{RtfGroup{}};
  std::vector<std::pair<ShownParagraph, std::size_t>> interrupted;  // by a note opened at that depth
  ShownParagraph cur;
  bool rtl_row = false, in_table = false;
  int fallback = 0;  // units still to drop after a \u

  void Char(char16_t c) {
    if (fallback > 0) {
      --fallback;
      return;
    }
    if (groups.back().skip) return;
    Append(cur, std::u16string_view(&c, 1), groups.back().b, groups.back().ab);
  }
  void EndParagraph() {
    cur.rtl = groups.back().rtl;
    cur.align = groups.back().align;
    cur.rtl_table = in_table && rtl_row;
    if (!groups.back().skip) Emit(out, std::move(cur));
    cur = {};
  }
  void Word(const std::string& w, bool has_param, long param) {
    static const char* const kHidden[] = {"fonttbl", "colortbl", "stylesheet", "info", "listtable", "listoverridetable",
                                          "pict", "object", "pgdsctbl", "listtext", "pntext", "fldinst", "themedata",
                                          "datastore", "latentstyles", "generator", "rsidtbl", "xmlnstbl"};
    RtfGroup& g = groups.back();
    const bool on = !has_param || param != 0;
    if (w == "u") {
      fallback = 0;
      Char(static_cast<char16_t>(param < 0 ? param + 65536 : param));
      fallback = g.uc;
    } else if (w == "uc") g.uc = static_cast<int>(param);
    else if (w == "par" || w == "cell") EndParagraph();
    else if (w == "pard") g.rtl = false, g.align = 'L', in_table = false;
    else if (w == "intbl") in_table = true;
    else if (w == "plain") g.b = g.ab = false;
    else if (w == "b") g.b = on;
    else if (w == "ab") g.ab = on;
    else if (w == "rtlpar") g.rtl = true;
    else if (w == "ltrpar") g.rtl = false;
    else if (w == "ql" || w == "qr" || w == "qc" || w == "qj") g.align = static_cast<char>(std::toupper(w[1]));
    else if (w == "trowd") rtl_row = false;
    else if (w == "rtlrow") rtl_row = true;
    else if (w == "ltrrow") rtl_row = false;
    else if (w == "tab") Char(u'\t');
    else if (w == "line") Char(u'\n');
    else if (w == "footnote") {  // a note is a paragraph of its own, inside the one carrying its mark
      g.skip = false;
      interrupted.emplace_back(std::move(cur), groups.size());
      cur = {};
    } else if (std::find(std::begin(kHidden), std::end(kHidden), w) != std::end(kHidden)) g.skip = true;
  }
  void Close() {
    if (!interrupted.empty() && interrupted.back().second == groups.size()) {
      EndParagraph();
      cur = std::move(interrupted.back().first);
      interrupted.pop_back();
    }
    if (groups.size() > 1) groups.pop_back();
  }
  std::size_t Control(const std::string& s, std::size_t i) {  // s[i] is the backslash
    const char c = i + 1 < s.size() ? s[i + 1] : ' ';
    if (std::isalpha(static_cast<unsigned char>(c))) {
      std::size_t j = i + 1;
      while (j < s.size() && std::isalpha(static_cast<unsigned char>(s[j]))) ++j;
      const std::string word = s.substr(i + 1, j - i - 1);
      std::size_t k = j + (j < s.size() && s[j] == '-');
      while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
      const bool has_param = k > j + (j < s.size() && s[j] == '-');
      const long param = has_param ? std::stol(s.substr(j, k - j)) : 0;
      if (k < s.size() && s[k] == ' ') ++k;
      Word(word, has_param, param);
      return k;
    }
    if (c == '\'' && i + 3 < s.size()) {
      Char(static_cast<char16_t>(std::stoi(s.substr(i + 2, 2), nullptr, 16)));
      return i + 4;
    }
    if (c == '*') groups.back().skip = true;  // unknown destinations are hidden; \footnote shows again
    else if (c == '~') Char(u'\u00A0');
    else if (c == '\\' || c == '{' || c == '}') Char(static_cast<char16_t>(c));
    else if (c == '\n' || c == '\r') EndParagraph();
    return i + 2;
  }
};

}  // namespace

Paragraphs ReadRtf(const std::string& s) {
  RtfReader r;
  for (std::size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (c == '\\') {
      i = r.Control(s, i);
      continue;
    }
    if (c == '{') r.groups.push_back(r.groups.back());
    else if (c == '}') r.Close();
    else if (c != '\r' && c != '\n') r.Char(static_cast<unsigned char>(c));
    ++i;
  }
  return std::move(r.out);
}

namespace {

// ---- HTML ----

struct Element {
  std::string name;
  std::map<std::string, std::string> attrs;
  std::string Css(const std::string& prop) const {  // a property of the style attribute, lower case
    const auto it = attrs.find("style");
    if (it == attrs.end()) return {};
    std::string st = it->second;
    std::transform(st.begin(), st.end(), st.begin(), [](unsigned char ch) { return std::tolower(ch); });
    std::size_t at = st.find(prop + ":");
    while (at != std::string::npos && at > 0 && (std::isalpha(static_cast<unsigned char>(st[at - 1])) || st[at - 1] == '-'))
      at = st.find(prop + ":", at + 1);
    if (at == std::string::npos) return {};
    std::string v = st.substr(at + prop.size() + 1, st.find(';', at) == std::string::npos ? std::string::npos
                                                                                      : st.find(';', at) - at - prop.size() - 1);
    v.erase(0, v.find_first_not_of(' '));
    return v.substr(0, v.find_last_not_of(' ') + 1);
  }
  std::string Get(const std::string& attr, const std::string& css) const {
    const auto it = attrs.find(attr);
    std::string v = it != attrs.end() ? it->second : Css(css);
    std::transform(v.begin(), v.end(), v.begin(), [](unsigned char ch) { return std::tolower(ch); });
    return v;
  }
};

bool IsParagraph(const std::string& n) {
  static const char* const kBlocks[] = {"p", "h1", "h2", "h3", "h4", "h5", "h6", "li", "dt", "dd", "pre", "caption", "td", "th"};
  return std::find(std::begin(kBlocks), std::end(kBlocks), n) != std::end(kBlocks);
}

bool IsVoid(const std::string& n) {
  static const char* const kVoid[] = {"br", "meta", "link", "img", "hr", "col", "input", "area", "base", "wbr", "source"};
  return std::find(std::begin(kVoid), std::end(kVoid), n) != std::end(kVoid);
}

struct HtmlReader {
  Paragraphs out;
  std::vector<Element> open;
  std::vector<ShownParagraph> paras;

  bool Hidden() const {
    return std::any_of(open.begin(), open.end(), [](const Element& e) {
      const auto cls = e.attrs.find("class");
      return e.name == "head" || e.name == "style" || e.name == "script" || e.name == "title" ||
             (e.name == "a" && cls != e.attrs.end() && (cls->second.starts_with("sdfootnote") || cls->second.starts_with("sdendnote")));
    });
  }
  void Text(const std::u16string& t) {
    if (paras.empty() || Hidden()) return;
    const bool bold = std::any_of(open.begin(), open.end(), [](const Element& e) {
      const std::string w = e.Css("font-weight");
      return e.name == "b" || e.name == "strong" || w == "bold" || w == "bolder" || (w.size() == 3 && w[0] >= '6');
    });
    ShownParagraph& p = paras.back();
    for (char16_t c : t) {
      const bool space = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
      if (space && (p.text.empty() || p.text.back() == u' ')) continue;
      Append(p, space ? u" " : std::u16string_view(&c, 1), bold, bold);
    }
  }
  // Direction in effect at open[0..end).
  bool Rtl(std::size_t end) const {
    for (std::size_t i = end; i-- > 0;)
      if (const std::string d = open[i].Get("dir", "direction"); !d.empty()) return d == "rtl";
    return false;
  }
  void EndParagraph() {
    ShownParagraph p = std::move(paras.back());
    paras.pop_back();
    while (!p.text.empty() && p.text.back() == u' ') p.text.pop_back(), p.bold.pop_back();
    p.rtl = Rtl(open.size());
    std::string a;
    for (std::size_t i = open.size(); i-- > 0 && a.empty();) a = open[i].Get("align", "text-align");
    p.align = a == "right" ? 'R' : a == "left" ? 'L' : a == "center" ? 'C' : a == "justify" ? 'J'
              : a == "end" ? (p.rtl ? 'L' : 'R') : (p.rtl ? 'R' : 'L');
    for (std::size_t i = open.size(); i-- > 0;)
      if (open[i].name == "table") {
        p.rtl_table = Rtl(i + 1);
        break;
      }
    Emit(out, std::move(p));
  }
  void Close(const std::string& name) {
    const auto it = std::find_if(open.rbegin(), open.rend(), [&](const Element& e) { return e.name == name; });
    if (it == open.rend()) return;
    while (open.size() > static_cast<std::size_t>(open.rend() - it)) open.pop_back();  // unclosed children
    if (IsParagraph(name) && !paras.empty()) EndParagraph();
    open.pop_back();
  }
  std::size_t Tag(const std::string& s, std::size_t i);
};

std::u16string Decode(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const std::size_t semi = s[i] == '&' ? s.find(';', i) : std::string::npos;
    if (semi == std::string::npos || semi - i > 10) {
      out += s[i];
      continue;
    }
    const std::string ent = s.substr(i + 1, semi - i - 1);
    long cp = ent == "amp" ? '&' : ent == "lt" ? '<' : ent == "gt" ? '>' : ent == "quot" ? '"' : ent == "apos" ? '\''
              : ent == "nbsp" ? 0xA0 : -1;
    if (ent.size() > 1 && ent[0] == '#')
      cp = (ent[1] == 'x' || ent[1] == 'X') ? std::stol(ent.substr(2), nullptr, 16) : std::stol(ent.substr(1));
    if (cp < 0) {
      out += s[i];
      continue;
    }
    out += uy::ToUtf8(cp > 0xFFFF ? std::u16string{static_cast<char16_t>(0xD7C0 + (cp >> 10)), static_cast<char16_t>(0xDC00 | (cp & 0x3FF))}
                                  : std::u16string(1, static_cast<char16_t>(cp)));
    i = semi;
  }
  return uy::FromUtf8(out);
}

std::size_t HtmlReader::Tag(const std::string& s, std::size_t i) {  // s[i] is '<'
  if (s.compare(i, 4, "<!--") == 0) {
    const std::size_t e = s.find("-->", i);
    return e == std::string::npos ? s.size() : e + 3;
  }
  const std::size_t end = s.find('>', i);
  if (end == std::string::npos) return s.size();
  std::string tag = s.substr(i + 1, end - i - 1);
  if (tag.empty() || tag[0] == '!' || tag[0] == '?') return end + 1;
  const bool closing = tag[0] == '/';
  const bool self_closing = tag.back() == '/';
  std::size_t p = closing ? 1 : 0;
  std::size_t q = p;
  while (q < tag.size() && !std::isspace(static_cast<unsigned char>(tag[q])) && tag[q] != '/') ++q;
  Element e;
  e.name = tag.substr(p, q - p);
  std::transform(e.name.begin(), e.name.end(), e.name.begin(), [](unsigned char ch) { return std::tolower(ch); });
  if (closing) {
    Close(e.name);
    return end + 1;
  }
  while (q < tag.size()) {  // attributes: name, name=value, name="value", name='value'
    while (q < tag.size() && (std::isspace(static_cast<unsigned char>(tag[q])) || tag[q] == '/')) ++q;
    std::size_t n = q;
    while (n < tag.size() && tag[n] != '=' && !std::isspace(static_cast<unsigned char>(tag[n])) && tag[n] != '/') ++n;
    std::string name = tag.substr(q, n - q), value;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) { return std::tolower(ch); });
    if (n < tag.size() && tag[n] == '=') {
      const char quote = n + 1 < tag.size() ? tag[n + 1] : ' ';
      const bool quoted = quote == '"' || quote == '\'';
      const std::size_t v = n + 1 + quoted;
      std::size_t w = quoted ? tag.find(quote, v) : tag.find_first_of(" \t\r\n", v);
      if (w == std::string::npos) w = tag.size();
      value = uy::ToUtf8(Decode(tag.substr(v, w - v)));
      n = w + quoted;
    }
    if (!name.empty()) e.attrs[name] = value;
    q = n;
  }
  if (IsParagraph(e.name)) paras.emplace_back();
  if (!self_closing && !IsVoid(e.name)) open.push_back(std::move(e));
  else if (IsParagraph(e.name)) EndParagraph();
  return end + 1;
}

}  // namespace

Paragraphs ReadHtml(const std::string& s) {
  HtmlReader r;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == '<') {
      i = r.Tag(s, i);
      continue;
    }
    const std::size_t next = std::min(s.find('<', i), s.size());
    r.Text(Decode(s.substr(i, next - i)));
    i = next;
  }
  return std::move(r.out);
}

}  // namespace uytest::reader
