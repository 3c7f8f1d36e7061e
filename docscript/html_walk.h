// SPDX-License-Identifier: GPL-3.0-or-later
// The walk over an HTML page: its tags, with the byte ranges of their attributes, and its
// paragraphs (the text between block tags) made of text pieces (the text between any two
// tags; a footnote's or endnote's number is none), each piece with its byte range and its text decoded, character references included.
// A small tokenizer of its own: it keeps no element stack, so deep nesting costs nothing, and
// it reads every charset whose bytes below 0x80 are ASCII without converting the page.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "word_walk.h"

namespace uy::docscript {

// The largest page converted (it is held in memory with its output).
inline constexpr std::size_t kMaxHtml = std::size_t{64} << 20;

// An HTML page told by its first bytes: an optional UTF-8 mark, blanks and comments, then
// <!DOCTYPE html or <html (any case); or, for an .htm/.html name, any tag first (in marked
// UTF-16 too, which the conversion refuses).
bool LooksLikeHtml(std::string_view head, const std::filesystem::path& path);

// The page's charset: bytes to text and text to bytes. UTF-8 or anything iconv knows whose
// bytes below 0x80 are ASCII.
class HtmlCodec {
 public:
  // The charset the page declares (a meta charset or http-equiv content type among its first
  // tags; a UTF-8 mark wins); none declared: UTF-8. Throws DocumentError for a charset that
  // cannot be read (UTF-16, stateful ones, unknown names) and for bytes it cannot decode.
  explicit HtmlCodec(std::string_view page);
  ~HtmlCodec();
  HtmlCodec(const HtmlCodec&) = delete;
  HtmlCodec& operator=(const HtmlCodec&) = delete;

  const std::string& name() const { return name_; }
  bool utf8() const { return utf8_; }
  // Appends the text of `bytes` (no references: those are the walk's). Throws DocumentError
  // for bytes the charset does not hold.
  void Decode(std::string_view bytes, std::u16string& out) const;
  // `text` in the charset, < and & escaped, characters it cannot hold as &#N; references.
  std::string Encode(std::u16string_view text) const;

 private:
  struct Iconv;
  std::string name_;
  bool utf8_ = true;
  std::unique_ptr<Iconv> iconv_;
};

struct HtmlAttr {
  std::string name;  // lower case
  Range whole;       // name to the end of the value
  Range value;       // inside the quotes (empty at whole.end without a value)
  std::string_view Value(std::string_view page) const { return page.substr(value.begin, value.end - value.begin); }
};

struct HtmlTag {
  std::string name;  // lower case
  bool end = false;
  bool block = false;  // a tag that ends a paragraph
  Range whole;
  std::size_t name_end = 0;  // where new attributes go
  std::vector<HtmlAttr> attrs;
  const HtmlAttr* Find(std::string_view name) const;
};

// The text between two tags. A character reference is one unit of `text` (two beyond the
// BMP); `refs` says which units came from which reference (by unit index and byte range).
// A named reference the walk does not know stands as U+FFFC, kept as written.
struct HtmlPiece {
  Range raw;
  std::u16string text;
  std::vector<std::pair<std::size_t, Range>> refs;
};

struct HtmlParagraph {
  std::vector<HtmlPiece> pieces;
  bool pre = false;  // inside <pre>: line breaks are line breaks
  std::u16string Text() const;
};

class HtmlHandler {
 public:
  virtual ~HtmlHandler() = default;
  virtual void OnTag(const HtmlTag& /*tag*/, Edits& /*edits*/) {}
  // The content of a <style> element.
  virtual void OnStyleSheet(Range /*content*/, Edits& /*edits*/) {}
  virtual void OnParagraph(const HtmlParagraph& p, Edits& edits) = 0;
};

// Walks the page. Throws DocumentError naming what is wrong and where: a tag, comment or
// script not closed, a tag with too many attributes, text the charset does not hold.
void WalkHtml(std::string_view page, const HtmlCodec& codec, HtmlHandler& handler, Edits& edits);

}  // namespace uy::docscript
