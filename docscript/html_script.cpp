// SPDX-License-Identifier: GPL-3.0-or-later
#include "html_script.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>

#include <unistd.h>

#include "document_error.h"

namespace uy::docscript {
namespace {

namespace fs = std::filesystem;
namespace sc = uy::script;
using formats::DocumentError;

// Without blanks around it, in lower case.
std::string Trimmed(std::string_view v) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
  while (!v.empty() && blank(v.front())) v.remove_prefix(1);
  while (!v.empty() && blank(v.back())) v.remove_suffix(1);
  std::string s(v);
  std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return s;
}

// A Uyghur language tag and the script it names (nothing: another language).
std::optional<sc::Script> UgTag(const std::string& v) {
  if (v == "ug" || v == "ug-cn" || v.starts_with("ug-arab")) return sc::Script::Uey;
  if (v.starts_with("ug-latn")) return sc::Script::Uly;
  if (v.starts_with("ug-cyrl")) return sc::Script::Uky;
  return std::nullopt;
}

std::string_view TagOf(sc::Script s) {
  return s == sc::Script::Uey ? "ug-CN" : s == sc::Script::Uky ? "ug-Cyrl" : "ug-Latn";
}

// Elements whose align attribute places a picture or a control, not text.
constexpr std::string_view kPlaced[] = {"img", "input", "object", "embed", "applet", "iframe", "legend"};

// CSS properties turned with the script, and their values each way.
struct CssTurn {
  std::string_view property, rtl_value, ltr_value;
};
constexpr CssTurn kCss[] = {{"direction", "rtl", "ltr"}, {"text-align", "right", "left"}};

bool CssNameChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'; }

}  // namespace

HtmlScriptTransform::Turn HtmlScriptTransform::turn() const {
  if (options_.from == sc::Script::Uey) return Turn::kToLeftToRight;
  if (options_.to == sc::Script::Uey) return Turn::kToRightToLeft;
  return Turn::kNone;
}

// direction and text-align declarations in a style attribute or style sheet: their values
// (right to left and right for the Arabic script, left to right and left for the others);
// direction only where `direction`.
void HtmlScriptTransform::Css(Range css, Edits& edits, bool direction) const {
  const Turn t = turn();
  if (t == Turn::kNone) return;
  const std::string_view s = page_.substr(css.begin, css.end - css.begin);
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c0 = static_cast<char>(s[i] | 0x20);
    if ((c0 != 'd' && c0 != 't') || (i > 0 && CssNameChar(s[i - 1]))) continue;
    for (const CssTurn& c : kCss) {
      if (!direction && c.property == "direction") continue;
      if (Trimmed(s.substr(i, c.property.size())) != c.property) continue;
      std::size_t j = i + c.property.size();
      while (j < s.size() && (s[j] == ' ' || s[j] == '\t' || s[j] == '\n' || s[j] == '\r')) ++j;
      if (j >= s.size() || s[j] != ':') continue;
      for (++j; j < s.size() && (s[j] == ' ' || s[j] == '\t' || s[j] == '\n' || s[j] == '\r');) ++j;
      std::size_t e = j;
      while (e < s.size() && CssNameChar(s[e])) ++e;
      const std::string v = Trimmed(s.substr(j, e - j));
      const std::string_view from = t == Turn::kToLeftToRight ? c.rtl_value : c.ltr_value;
      const std::string_view to = t == Turn::kToLeftToRight ? c.ltr_value : c.rtl_value;
      if (v == from) edits.push_back({css.begin + j, css.begin + e, std::string(to)});
      i = e;
      break;
    }
  }
}

void HtmlScriptTransform::OnStyleSheet(Range content, Edits& edits) { Css(content, edits, true); }

void HtmlScriptTransform::OnTag(const HtmlTag& tag, Edits& edits) {
  if (tag.end) return;
  const Turn t = turn();
  const bool rtl = t == Turn::kToRightToLeft;
  auto swap = [&](const HtmlAttr* a, std::string_view ltr, std::string_view rtl_value) {
    if (!a || t == Turn::kNone) return;
    const std::string v = Trimmed(a->Value(page_));
    if (v == (rtl ? ltr : rtl_value)) edits.push_back({a->value.begin, a->value.end, std::string(rtl ? rtl_value : ltr)});
  };
  // Inline elements marked left to right hold kept Latin words: the way back leaves them so.
  const bool direction = !rtl || tag.block;
  if (direction) swap(tag.Find("dir"), "ltr", "rtl");
  if (std::find(std::begin(kPlaced), std::end(kPlaced), tag.name) == std::end(kPlaced))
    swap(tag.Find("align"), "left", "right");
  // The way to the Arabic script makes the body right to left where the page says no direction.
  if (tag.name == "html") page_dir_ = page_dir_ || tag.Find("dir");
  if (tag.name == "body" && rtl && !page_dir_ && !tag.Find("dir"))
    edits.push_back({tag.name_end, tag.name_end, " dir=\"rtl\""});
  if (tag.name == "body") page_dir_ = true;
  for (const char* name : {"lang", "xml:lang"}) {
    const HtmlAttr* a = tag.Find(name);
    if (!a) continue;
    const std::string v = Trimmed(a->Value(page_));
    const auto s = UgTag(v);
    if (s && Trimmed(TagOf(options_.to)) != v && *s != options_.to)
      edits.push_back({a->value.begin, a->value.end, std::string(TagOf(options_.to))});
  }
  if (const HtmlAttr* style = tag.Find("style")) Css(style->value, edits, direction);
}

// The piece's converted text as bytes: references the conversion left as they were stay as
// written, the rest in the page's charset.
std::string HtmlScriptTransform::Piece(const HtmlPiece& piece, std::u16string_view out,
                                       const std::vector<std::size_t>& from) const {
  std::string bytes;
  std::u16string plain;
  std::size_t r = 0, used = std::string::npos;
  for (std::size_t j = 0; j < out.size(); ++j) {
    const std::size_t src = from[j];
    while (r < piece.refs.size() && piece.refs[r].first < src) ++r;
    // A reference without its ';' is written anew: a letter after it could lengthen it.
    if (r < piece.refs.size() && piece.refs[r].first == src && used != r && out[j] == piece.text[src] &&
        page_[piece.refs[r].second.end - 1] == ';') {
      const bool high = out[j] >= 0xD800 && out[j] < 0xDC00;
      if (!high || (j + 1 < out.size() && src + 1 < piece.text.size() && out[j + 1] == piece.text[src + 1])) {
        bytes += codec_.Encode(plain);
        plain.clear();
        const Range raw = piece.refs[r].second;
        bytes.append(page_.substr(raw.begin, raw.end - raw.begin));
        used = r;
        j += high ? 1 : 0;
        continue;
      }
    }
    plain += out[j];
  }
  return bytes + codec_.Encode(plain);
}

void HtmlScriptTransform::OnParagraph(const HtmlParagraph& p, Edits& edits) {
  ++paragraphs_;
  const std::u16string text = p.Text();
  const bool letters = std::any_of(text.begin(), text.end(), [](char16_t c) {
    return c >= 0x80 || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
  });
  if (!letters) {
    if (!text.empty()) meant_.push_back(text);
    return;
  }
  // Line breaks in the source are blanks to the reader, except in <pre>.
  std::u16string conv = text;
  if (!p.pre) std::replace_if(conv.begin(), conv.end(), [](char16_t c) { return c == u'\n' || c == u'\r' || c == u'\t' || c == u'\f'; }, u' ');
  std::vector<std::size_t> map;
  const std::u16string out = sc::Convert(conv, options_, &map);
  std::u16string meant;
  std::size_t k = 0, start = 0;
  for (std::size_t s = 0; s < p.pieces.size(); ++s) {
    const HtmlPiece& piece = p.pieces[s];
    const std::size_t end = s + 1 == p.pieces.size() ? std::string::npos : start + piece.text.size();
    std::u16string mine;
    std::vector<std::size_t> from;
    for (; k < out.size() && map[k] < end; ++k) {
      const std::size_t src = std::max(map[k], start);
      const bool blank = out[k] == u' ' && src < text.size() && conv[src] == u' ';
      mine += blank ? text[src] : out[k];
      from.push_back(std::min(src - start, piece.text.empty() ? 0 : piece.text.size() - 1));
    }
    start += piece.text.size();
    meant += mine;
    if (mine == piece.text) continue;
    edits.push_back({piece.raw.begin, piece.raw.end, Piece(piece, mine, from)});
    ++runs_changed_;
  }
  if (!meant.empty()) meant_.push_back(std::move(meant));  // an emptied paragraph is read as none
}

namespace {

// Counts the letters of every paragraph for telling the script.
class CollectHtml : public HtmlHandler {
 public:
  void OnParagraph(const HtmlParagraph& p, Edits&) override { sc::CountLetters(p.Text(), detection); }
  sc::Detection detection;
};

// The written page read again: every paragraph holds the text meant for it.
class CheckHtml : public HtmlHandler {
 public:
  explicit CheckHtml(const std::vector<std::u16string>& meant) : meant_(meant) {}
  void OnParagraph(const HtmlParagraph& p, Edits&) override {
    if (p.Text().empty()) return;
    if (at_ >= meant_.size() || p.Text() != meant_[at_])
      throw DocumentError("paragraph " + std::to_string(at_ + 1) + " does not hold the text meant for it");
    ++at_;
  }
  void Done() const {
    if (at_ != meant_.size()) throw DocumentError("it has a different number of paragraphs");
  }

 private:
  const std::vector<std::u16string>& meant_;
  std::size_t at_ = 0;
};

std::string ReadPage(InputFile& in) {
  if (in.size() > kMaxHtml) throw DocumentError("the page is larger than " + std::to_string(kMaxHtml >> 20) + " MB");
  std::string page(static_cast<std::size_t>(in.size()), '\0');
  for (std::size_t got = 0; got < page.size();) {
    const ssize_t n = ::pread(in.fd(), page.data() + got, page.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw FileError(FileError::Kind::Read, in.path(), n < 0 ? ErrnoText(errno) : "the file became shorter");
    got += static_cast<std::size_t>(n);
  }
  return page;
}

sc::Options ScriptOptions(const ConvertOptions& o, std::string_view page, const HtmlCodec& codec, ConvertSummary& summary) {
  sc::Options so;
  so.to = o.to;
  so.e_acute = o.e_acute;
  so.wrap = o.wrap;
  so.words = o.words;
  if (o.from) {
    so.from = *o.from;
  } else {
    CollectHtml collect;
    Edits none;
    WalkHtml(page, codec, collect, none);
    sc::Detection& d = collect.detection;
    sc::Decide(d);
    if (!d.script && d.arabic + d.latin + d.cyrillic == 0) throw DocumentError("no letters to tell the script from; give --from");
    if (!d.script)
      throw DocumentError("no script clearly leads (" + std::to_string(d.arabic) + " Arabic, " + std::to_string(d.latin) +
                          " Latin, " + std::to_string(d.cyrillic) + " Cyrillic letters); give --from");
    so.from = *d.script;
    summary.assumed = d.assumed;
  }
  if (so.from == so.to) throw DocumentError("the text is in " + std::string(sc::Name(so.to)) + " already");
  return so;
}

}  // namespace

void CheckHtmlPage(std::string_view out, const HtmlCodec& codec, const std::vector<std::u16string>& meant) {
  const HtmlCodec again(out);
  if (again.name() != codec.name()) throw DocumentError("its charset reads differently");
  CheckHtml check(meant);
  Edits none;
  WalkHtml(out, again, check, none);
  check.Done();
}

ConvertSummary ConvertHtml(InputFile& in, const fs::path& output, const ConvertOptions& options) {
  const std::string page = ReadPage(in);
  const HtmlCodec codec(page);
  ConvertSummary summary;
  summary.type = DocumentType::kHtml;
  const sc::Options so = ScriptOptions(options, page, codec, summary);
  summary.from = so.from;
  HtmlScriptTransform transform(so, page, codec);
  Edits edits;
  WalkHtml(page, codec, transform, edits);
  const std::string out = ApplyEdits(page, std::move(edits));
  summary.paragraphs = transform.paragraphs();
  summary.runs_changed = transform.runs_changed();
  AtomicFileWriter writer(output, in.permissions());
  try {
    CheckHtmlPage(out, codec, transform.meant());
    writer.Write(out.data(), out.size());
    if (ReadWholeFile(writer.temp_path()) != out) throw DocumentError("the written page reads back differently");
  } catch (const DocumentError& e) {
    throw FileError(FileError::Kind::Write, output, std::string("check failed, nothing written: ") + e.what());
  }
  writer.Commit();
  return summary;
}

}  // namespace uy::docscript
