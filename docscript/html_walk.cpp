// SPDX-License-Identifier: GPL-3.0-or-later
#include "html_walk.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <span>
#include <string>

#include <iconv.h>

#include "document_error.h"
#include "utf.h"

namespace uy::docscript {
namespace {

using formats::DocumentError;

constexpr std::size_t kMaxAttrs = 4096;
constexpr std::size_t kMaxPieces = 65536;  // text pieces in one paragraph
constexpr std::size_t kCharsetScan = std::size_t{64} << 10;  // where a page declares its charset

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool Letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string LowerCase(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), Lower);
  return out;
}

std::string At(std::size_t at) { return " at byte " + std::to_string(at); }

// Elements whose tags end a paragraph: blocks, table parts, list items, line breaks.
constexpr std::string_view kBlocks[] = {
    "address", "article", "aside", "blockquote", "body", "br", "caption", "center", "col", "colgroup", "dd",
    "details", "dialog", "dir", "div", "dl", "dt", "fieldset", "figcaption", "figure", "footer", "form",
    "frameset", "h1", "h2", "h3", "h4", "h5", "h6", "head", "header", "hgroup", "hr", "html", "iframe", "legend",
    "li", "main", "menu", "nav", "ol", "option", "p", "pre", "section", "select", "summary", "table", "tbody",
    "td", "textarea", "tfoot", "th", "thead", "title", "tr", "ul"};
// Elements whose content is no text: it runs to their end tag, markup included.
constexpr std::string_view kRaw[] = {"script", "style", "textarea", "xmp", "iframe", "noembed", "noframes",
                                     "plaintext"};

// A footnote or endnote mark (its number links to the note or back): no text of the paragraph,
// so that the number does not stand after the sentence's end.
bool NoteMark(std::string_view page, const HtmlTag& a) {
  const HtmlAttr* href = a.Find("href");
  if (!href) return false;
  const std::string_view v = href->Value(page);
  for (const std::string_view p : {"#sdfootnote", "#sdendnote", "#_ftn", "#_edn"})
    if (v.starts_with(p)) return true;
  return false;
}

bool OneOf(std::string_view name, std::span<const std::string_view> set) {
  return std::find(set.begin(), set.end(), name) != set.end();
}

// The named references a page is likely to hold; others stay as written.
constexpr std::pair<std::string_view, char16_t> kNamed[] = {
    {"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}, {"nbsp", u'\u00A0'},
    {"shy", u'\u00AD'}, {"zwnj", u'\u200C'}, {"zwj", u'\u200D'}, {"lrm", u'\u200E'}, {"rlm", u'\u200F'},
    {"ndash", u'\u2013'}, {"mdash", u'\u2014'}, {"lsquo", u'\u2018'}, {"rsquo", u'\u2019'}, {"ldquo", u'\u201C'},
    {"rdquo", u'\u201D'}, {"laquo", u'\u00AB'}, {"raquo", u'\u00BB'}, {"hellip", u'\u2026'}, {"bull", u'\u2022'},
    {"middot", u'\u00B7'}, {"copy", u'\u00A9'}, {"reg", u'\u00AE'}, {"deg", u'\u00B0'}, {"times", u'\u00D7'},
    {"euml", u'\u00EB'}, {"ouml", u'\u00F6'}, {"uuml", u'\u00FC'}, {"eacute", u'\u00E9'}, {"Euml", u'\u00CB'},
    {"Ouml", u'\u00D6'}, {"Uuml", u'\u00DC'}, {"Eacute", u'\u00C9'}};
constexpr char16_t kKeptReference = u'\uFFFC';

// The reference at `at` ('&'): its units and its end, or no units when it is a plain '&'.
std::size_t Reference(std::string_view page, std::size_t at, std::size_t end, std::u16string& units) {
  std::size_t i = at + 1;
  if (i < end && page[i] == '#') {
    const bool hex = i + 1 < end && (page[i + 1] == 'x' || page[i + 1] == 'X');
    i += hex ? 2 : 1;
    const std::size_t digits = i;
    std::uint32_t cp = 0;
    for (; i < end; ++i) {
      const char c = Lower(page[i]);
      const int d = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (d < 0) break;
      cp = std::min<std::uint32_t>(cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d), 0x110000);
    }
    if (i == digits) return at + 1;
    if (i < end && page[i] == ';') ++i;
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) cp = 0xFFFD;
    if (cp >= 0x10000) {
      units += static_cast<char16_t>(0xD7C0 + (cp >> 10));
      units += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    } else {
      units += static_cast<char16_t>(cp);
    }
    return i;
  }
  while (i < end && i - at <= 32 && (Letter(page[i]) || (page[i] >= '0' && page[i] <= '9'))) ++i;
  if (i == at + 1 || i >= end || page[i] != ';') return at + 1;
  const std::string_view name = page.substr(at + 1, i - at - 1);
  const auto* it = std::find_if(std::begin(kNamed), std::end(kNamed), [&](const auto& n) { return n.first == name; });
  units += it == std::end(kNamed) ? kKeptReference : it->second;
  return i + 1;
}

// A tag at `at` ('<' and a letter, or "</" and a letter), read up to its '>'.
std::size_t ReadTag(std::string_view page, std::size_t at, HtmlTag& tag) {
  const std::size_t n = page.size();
  auto unclosed = [&] { return DocumentError("a tag" + At(at) + " is not closed"); };
  std::size_t i = at + 1;
  tag.end = page[i] == '/';
  if (tag.end) ++i;
  const std::size_t name = i;
  while (i < n && !Blank(page[i]) && page[i] != '/' && page[i] != '>') ++i;
  tag.name = LowerCase(page.substr(name, i - name));
  tag.name_end = i;
  tag.attrs.clear();
  for (;;) {
    while (i < n && (Blank(page[i]) || page[i] == '/')) ++i;
    if (i >= n) throw unclosed();
    if (page[i] == '>') break;
    HtmlAttr a;
    const std::size_t s = i++;
    while (i < n && !Blank(page[i]) && page[i] != '/' && page[i] != '>' && page[i] != '=') ++i;
    a.name = LowerCase(page.substr(s, i - s));
    a.value = {i, i};
    std::size_t j = i;
    while (j < n && Blank(page[j])) ++j;
    if (j < n && page[j] == '=') {
      for (++j; j < n && Blank(page[j]);) ++j;
      if (j >= n) throw unclosed();
      if (page[j] == '"' || page[j] == '\'') {
        const std::size_t q = page.find(page[j], j + 1);
        if (q == std::string_view::npos) throw unclosed();
        a.value = {j + 1, q};
        i = q + 1;
      } else {
        for (i = j; i < n && !Blank(page[i]) && page[i] != '>';) ++i;
        a.value = {j, i};
      }
    }
    a.whole = {s, i};
    if (tag.attrs.size() == kMaxAttrs)
      throw DocumentError("a tag" + At(at) + " has more than " + std::to_string(kMaxAttrs) + " attributes");
    tag.attrs.push_back(std::move(a));
  }
  tag.whole = {at, i + 1};
  return i + 1;
}

// Where the content of a raw element that starts at `from` ends: at its end tag.
std::size_t RawEnd(std::string_view page, std::size_t from, std::string_view name) {
  for (std::size_t i = from; (i = page.find("</", i)) != std::string_view::npos; i += 2) {
    const std::size_t e = i + 2 + name.size();
    if (e > page.size() || LowerCase(page.substr(i + 2, name.size())) != name) continue;
    if (e == page.size() || Blank(page[e]) || page[e] == '>' || page[e] == '/') return i;
  }
  return std::string_view::npos;
}

// The kind of markup at '<': a tag, a comment, another declaration, or a plain '<'.
enum class Token { kTag, kComment, kBogus, kText };
Token TokenAt(std::string_view page, std::size_t at) {
  const std::string_view r = page.substr(at + 1, 3);
  if (!r.empty() && Letter(r[0])) return Token::kTag;
  if (r.size() >= 2 && r[0] == '/' && Letter(r[1])) return Token::kTag;
  if (r.starts_with("!--")) return Token::kComment;
  if (!r.empty() && (r[0] == '!' || r[0] == '?' || r[0] == '/')) return Token::kBogus;
  return Token::kText;
}

// The end of the comment or declaration at `at`.
std::size_t SkipMarkup(std::string_view page, std::size_t at, Token kind) {
  const bool comment = kind == Token::kComment;
  const std::size_t e = comment ? page.find("-->", at + 2) : page.find('>', at);
  if (e == std::string_view::npos) throw DocumentError(std::string(comment ? "a comment" : "a declaration") + At(at) + " is not closed");
  return e + (comment ? 3 : 1);
}

}  // namespace

bool LooksLikeHtml(std::string_view head, const std::filesystem::path& path) {
  std::size_t i = head.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  for (;;) {
    while (i < head.size() && Blank(head[i])) ++i;
    if (head.substr(i, 4) != "<!--") break;
    const std::size_t e = head.find("-->", i + 4);
    if (e == std::string_view::npos) return false;
    i = e + 3;
  }
  const std::string start = LowerCase(head.substr(i, 14));
  if (start.starts_with("<!doctype html") || start.starts_with("<html")) return true;
  const std::string ext = LowerCase(path.extension().string());
  if (ext != ".htm" && ext != ".html") return false;
  // Marked UTF-16 is taken too, to be refused by name.
  return start.starts_with("<") || head.starts_with(std::string_view("\xFF\xFE<\0", 4)) ||
         head.starts_with(std::string_view("\xFE\xFF\0<", 4));
}

const HtmlAttr* HtmlTag::Find(std::string_view n) const {
  for (const HtmlAttr& a : attrs)
    if (a.name == n) return &a;
  return nullptr;
}

std::u16string HtmlParagraph::Text() const {
  std::u16string t;
  for (const HtmlPiece& p : pieces) t += p.text;
  return t;
}

// ---- Charsets ----

struct HtmlCodec::Iconv {
  iconv_t decode = reinterpret_cast<iconv_t>(-1), encode = reinterpret_cast<iconv_t>(-1);
  ~Iconv() {
    if (decode != reinterpret_cast<iconv_t>(-1)) iconv_close(decode);
    if (encode != reinterpret_cast<iconv_t>(-1)) iconv_close(encode);
  }
  // Converts all of `in`; false at bytes (or a character) the target cannot take.
  static bool Run(iconv_t cd, std::string_view in, std::string& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
      char buf[4096];
      char* dst = buf;
      std::size_t room = sizeof buf;
      const std::size_t r = iconv(cd, &src, &left, &dst, &room);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    // What the converter holds back (a letter that a combining mark could still join) comes out.
    char buf[64];
    char* dst = buf;
    std::size_t room = sizeof buf;
    if (iconv(cd, nullptr, nullptr, &dst, &room) == static_cast<std::size_t>(-1)) return false;
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return true;
  }
};

namespace {

// The charset a meta tag declares, or nothing.
std::string MetaCharset(std::string_view page, const HtmlTag& tag) {
  if (const HtmlAttr* c = tag.Find("charset")) return LowerCase(c->Value(page));
  const HtmlAttr* equiv = tag.Find("http-equiv");
  const HtmlAttr* content = tag.Find("content");
  if (!equiv || !content || LowerCase(equiv->Value(page)) != "content-type") return {};
  const std::string v = LowerCase(content->Value(page));
  std::size_t i = v.find("charset=");
  if (i == std::string::npos) return {};
  i += 8;
  std::size_t e = i;
  while (e < v.size() && !Blank(v[e]) && v[e] != ';' && v[e] != '"' && v[e] != '\'') ++e;
  return v.substr(i, e - i);
}

// The charset declared among the page's first tags (empty: none).
std::string DeclaredCharset(std::string_view page) {
  HtmlTag tag;
  const std::size_t limit = std::min(page.size(), kCharsetScan);
  for (std::size_t at = 0; (at = page.find('<', at)) != std::string_view::npos && at < limit;) {
    const Token kind = TokenAt(page, at);
    try {
      if (kind == Token::kText) {
        ++at;
        continue;
      }
      if (kind != Token::kTag) {
        at = SkipMarkup(page, at, kind);
        continue;
      }
      at = ReadTag(page, at, tag);
    } catch (const DocumentError&) {
      return {};  // the walk names it
    }
    if (tag.end) continue;
    if (tag.name == "body") break;
    if (tag.name == "meta")
      if (std::string c = MetaCharset(page, tag); !c.empty()) return c;
    // What a raw element or the title holds is no markup, as the walk reads it.
    if (tag.name == "plaintext") break;
    if (OneOf(tag.name, kRaw) || tag.name == "title")
      if ((at = RawEnd(page, at, tag.name)) == std::string_view::npos) break;
  }
  return {};
}

}  // namespace

HtmlCodec::HtmlCodec(std::string_view page) {
  if (page.starts_with("\xFF\xFE") || page.starts_with("\xFE\xFF"))
    throw DocumentError("an HTML page in UTF-16, which is not converted; save it as UTF-8");
  std::string label = page.starts_with("\xEF\xBB\xBF") ? "utf-8" : DeclaredCharset(page);
  if (label.empty()) {
    if (!IsValidUtf8(page)) throw DocumentError("the page declares no charset and is not UTF-8");
    label = "utf-8";
  }
  name_ = label;
  if (label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8") return;
  // As browsers read them: Latin-1 and ASCII labels mean windows-1252.
  for (const std::string_view l : {"iso-8859-1", "iso8859-1", "latin1", "l1", "us-ascii", "ascii", "cp1252"})
    if (label == l) label = "windows-1252";
  utf8_ = false;
  iconv_ = std::make_unique<Iconv>();
  iconv_->decode = iconv_open("UTF-16LE", label.c_str());
  iconv_->encode = iconv_open(label.c_str(), "UTF-16LE");
  const bool known = iconv_->decode != reinterpret_cast<iconv_t>(-1) && iconv_->encode != reinterpret_cast<iconv_t>(-1);
  // Markup is read byte by byte: the charset's bytes below 0x80 must be ASCII, one a
  // character, with no shift states.
  std::string ascii, back;
  for (char c = 0x20; c < 0x7F; ++c) ascii += c;
  bool compatible = known && Iconv::Run(iconv_->decode, ascii, back) && back.size() == ascii.size() * 2;
  for (std::size_t i = 0; compatible && i < ascii.size(); ++i) compatible = back[2 * i] == ascii[i] && back[2 * i + 1] == 0;
  const bool stateful = label.starts_with("utf-16") || label.starts_with("utf-32") || label.starts_with("utf-7") ||
                        label.starts_with("iso-2022") || label.starts_with("ucs") || label.starts_with("hz");
  if (!compatible || stateful)
    throw DocumentError("the page's charset \"" + name_ + "\" is not one that is converted; save it as UTF-8");
}

HtmlCodec::~HtmlCodec() = default;

void HtmlCodec::Decode(std::string_view bytes, std::u16string& out) const {
  if (utf8_) {
    std::size_t bad = 0;
    out += FromUtf8(bytes, &bad);
    if (bad) throw DocumentError("text that is not valid UTF-8");
    return;
  }
  std::string utf16;
  if (!Iconv::Run(iconv_->decode, bytes, utf16)) throw DocumentError("text that is not valid " + name_);
  out += DecodeUtf16Bytes(utf16, false);
}

std::string HtmlCodec::Encode(std::u16string_view text) const {
  std::string out;
  out.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'&') out += "&amp;";
    else if (c == u'<') out += "&lt;";
    else if (c < 0x80) out += static_cast<char>(c);
    if (c < 0x80) continue;
    const bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
    const std::u16string_view ch = text.substr(i, pair ? 2 : 1);
    i += pair ? 1 : 0;
    if (utf8_) {
      out += ToUtf8(ch);
      continue;
    }
    std::string le, bytes;
    for (const char16_t u : ch) le += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    if (Iconv::Run(iconv_->encode, le, bytes)) {
      out += bytes;
      continue;
    }
    const std::uint32_t cp = pair ? 0x10000 + ((ch[0] - 0xD800u) << 10) + (ch[1] - 0xDC00u) : ch[0];
    out += "&#" + std::to_string(cp) + ";";
  }
  return out;
}

// ---- The walk ----

namespace {

class Walker {
 public:
  Walker(std::string_view page, const HtmlCodec& codec, HtmlHandler& handler, Edits& edits)
      : page_(page), codec_(codec), handler_(handler), edits_(edits) {}
  void Run();

 private:
  void Text(std::size_t begin, std::size_t end);
  void Flush() {
    if (!para_.pieces.empty()) handler_.OnParagraph(para_, edits_);
    para_.pieces.clear();
    para_.pre = false;
  }
  std::size_t Tag(std::size_t at);

  std::string_view page_;
  const HtmlCodec& codec_;
  HtmlHandler& handler_;
  Edits& edits_;
  HtmlParagraph para_;
  HtmlTag tag_;
  std::size_t pre_ = 0;
  bool note_ = false;  // inside a note mark
};

void Walker::Text(std::size_t begin, std::size_t end) {
  if (begin >= end || note_) return;
  HtmlPiece p;
  p.raw = {begin, end};
  try {
    for (std::size_t at = begin; at < end;) {
      std::size_t amp = page_.substr(at, end - at).find('&');
      amp = amp == std::string_view::npos ? end : at + amp;
      codec_.Decode(page_.substr(at, amp - at), p.text);
      if (amp == end) break;
      const std::size_t unit = p.text.size();
      at = Reference(page_, amp, end, p.text);
      if (p.text.size() == unit) p.text += u'&';
      else p.refs.push_back({unit, {amp, at}});
    }
  } catch (const DocumentError& e) {
    throw DocumentError(std::string(e.what()) + " in the text" + At(begin));
  }
  if (para_.pieces.size() == kMaxPieces)
    throw DocumentError("a paragraph" + At(begin) + " has more than " + std::to_string(kMaxPieces) + " pieces of text");
  para_.pre = para_.pre || pre_ > 0;
  para_.pieces.push_back(std::move(p));
}

// The tag at `at` and, for raw elements and the title, its content; returns where the walk
// goes on.
std::size_t Walker::Tag(std::size_t at) {
  std::size_t next = ReadTag(page_, at, tag_);
  tag_.block = OneOf(tag_.name, kBlocks);
  if (tag_.block) Flush();
  if (tag_.name == "a") note_ = !tag_.end && NoteMark(page_, tag_);
  if (tag_.name == "pre") pre_ = tag_.end ? pre_ - (pre_ > 0) : pre_ + 1;
  handler_.OnTag(tag_, edits_);
  if (tag_.end) return next;
  const bool raw = OneOf(tag_.name, kRaw);
  if (!raw && tag_.name != "title") return next;
  const std::string name = tag_.name;
  const std::size_t close = name == "plaintext" ? page_.size() : RawEnd(page_, next, name);
  if (close == std::string_view::npos) throw DocumentError("a <" + name + "> element" + At(at) + " is not closed");
  if (name == "style") handler_.OnStyleSheet({next, close}, edits_);
  if (!raw) {
    Text(next, close);
    Flush();
  }
  return close;
}

void Walker::Run() {
  std::size_t text = 0;
  for (std::size_t at = 0; (at = page_.find('<', at)) != std::string_view::npos;) {
    const Token kind = TokenAt(page_, at);
    if (kind == Token::kText) {
      ++at;
      continue;
    }
    Text(text, at);
    at = text = kind == Token::kTag ? Tag(at) : SkipMarkup(page_, at, kind);
  }
  Text(text, page_.size());
  Flush();
}

}  // namespace

void WalkHtml(std::string_view page, const HtmlCodec& codec, HtmlHandler& handler, Edits& edits) {
  Walker(page, codec, handler, edits).Run();
}

}  // namespace uy::docscript
