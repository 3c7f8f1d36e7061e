// SPDX-License-Identifier: GPL-3.0-or-later
// The transforms of word-processing parts: the script conversion, and the collection of the
// text that tells a document's script.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script.h"
#include "word_walk.h"

namespace uy::docscript {

class OdfScript;

// The converted text `out` (with its offset map) parted among the paragraph's slots: each
// output letter goes to the slot of the source letter it came from.
std::vector<std::u16string> Distribute(const Paragraph& p, std::u16string_view out,
                                       const std::vector<std::size_t>& map);

// Converts every paragraph's text at once and gives each output letter the run of the source
// letter it came from. Between the Arabic script and the others, runs whose text changed take
// the complex-script bold, italic and size as the western ones (and back), lose (or gain) the
// right-to-left run flag, and ug language tags follow the script; paragraphs, sections and
// tables turn their direction, alignment kept at the same logical edge.
class ScriptTransform : public WordTransform {
 public:
  explicit ScriptTransform(const script::Options& options);
  ~ScriptTransform() override;
  ScriptTransform(const ScriptTransform&) = delete;
  ScriptTransform& operator=(const ScriptTransform&) = delete;
  // The part about to be walked and what the walk learns of it.
  void Begin(std::string_view part, const PartInfo* info, Markup markup = Markup::kWord) {
    part_ = part;
    info_ = info;
    markup_ = markup;
    if (markup == Markup::kOdf) BeginOdf(part);
  }
  // OpenDocument files: the shared styles (styles.xml) the text of every part resolves against.
  void PrepareOdf(std::string_view styles_part);
  OdfTransform* Odf() override;
  // Every paragraph's letters counted into `count` as well (none: not counted).
  void CountInto(script::Detection* count);
  void OnParagraph(const Paragraph& p, Edits& edits) override;
  // Each section (&L &C &R) is a paragraph; the & codes stay as they are.
  void OnHeaderFooter(const TextSlot& slot, Edits& edits) override;
  void OnProps(const Props& props, Edits& edits) override;
  // Spreadsheets: right-to-left sheets (sheetView rightToLeft) and reading orders of cell
  // formats turn with the script; their one size and weight stay.
  void OnTag(std::string_view local, Range tag, const char** attrs, Edits& edits) override;

  std::size_t paragraphs() const { return paragraphs_; }
  std::size_t runs_changed() const { return runs_changed_; }

 private:
  enum class Turn { kNone, kToLeftToRight, kToRightToLeft };
  Turn turn() const;
  // `run`: a run's own properties (the way back marks those right to left; styles and
  // defaults are not, or kept Latin words would be laid out right to left too).
  void RunProps(const Props& rpr, bool run, Edits& edits) const;
  void DirectionProps(const Props& props, Edits& edits) const;
  void SlideTag(std::string_view local, Range tag, const char** attrs, Edits& edits) const;
  void BeginOdf(std::string_view part);
  // A paragraph's text converted, with the source index of every output unit; one converter
  // serves every paragraph.
  std::u16string ConvertText(std::u16string_view text, std::vector<std::size_t>& map);
  // The converted text of the slots `keep` picks, as one paragraph, parted into `pieces`
  // (one per slot of `p`; those not picked are left as they are).
  template <typename Keep>
  void ConvertSlots(const Paragraph& p, Keep keep, std::vector<std::u16string>& pieces);

  script::Options options_;
  std::unique_ptr<script::Converter> converter_;
  script::Detection* count_ = nullptr;
  std::string_view part_;
  const PartInfo* info_ = nullptr;
  Markup markup_ = Markup::kWord;
  std::size_t paragraphs_ = 0, runs_changed_ = 0;
  std::unique_ptr<OdfScript> odf_;
};

// Counts the letters of every paragraph for telling the script.
class CollectTransform : public WordTransform {
 public:
  void OnParagraph(const Paragraph& p, Edits&) override { script::CountLetters(p.Text(), detection); }
  void OnProps(const Props&, Edits&) override {}
  script::Detection detection;
};

}  // namespace uy::docscript
