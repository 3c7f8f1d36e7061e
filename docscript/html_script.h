// SPDX-License-Identifier: GPL-3.0-or-later
// HTML pages between the scripts: every paragraph's text converted whole, each output letter
// written into the text piece of its source letter (so the tags around it stay its
// formatting), and dir, align, lang and the CSS direction and text-align turned with the
// script. Everything else is copied as it was.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "docscript.h"
#include "file_io.h"
#include "html_walk.h"

namespace uy::docscript {

class HtmlScriptTransform : public HtmlHandler {
 public:
  HtmlScriptTransform(const script::Options& options, std::string_view page, const HtmlCodec& codec)
      : options_(options), page_(page), codec_(codec) {}
  void OnTag(const HtmlTag& tag, Edits& edits) override;
  void OnStyleSheet(Range content, Edits& edits) override;
  void OnParagraph(const HtmlParagraph& p, Edits& edits) override;

  std::size_t paragraphs() const { return paragraphs_; }
  std::size_t runs_changed() const { return runs_changed_; }
  // The text every paragraph is meant to have after the conversion, in order (paragraphs left
  // empty are none).
  const std::vector<std::u16string>& meant() const { return meant_; }

 private:
  enum class Turn { kNone, kToLeftToRight, kToRightToLeft };
  Turn turn() const;
  void Css(Range css, Edits& edits, bool direction) const;
  std::string Piece(const HtmlPiece& piece, std::u16string_view out, const std::vector<std::size_t>& from) const;

  script::Options options_;
  std::string_view page_;
  const HtmlCodec& codec_;
  bool page_dir_ = false;  // the page's direction seen (or set)
  std::size_t paragraphs_ = 0, runs_changed_ = 0;
  std::vector<std::u16string> meant_;
};

// Throws DocumentError unless the converted page `out` reads in the same charset as the page
// (`codec`) and its paragraphs hold the texts meant for them.
void CheckHtmlPage(std::string_view out, const HtmlCodec& codec, const std::vector<std::u16string>& meant);

// Converts the HTML page `in` into `output` (see ConvertDocument).
ConvertSummary ConvertHtml(InputFile& in, const std::filesystem::path& output, const ConvertOptions& options);

}  // namespace uy::docscript
