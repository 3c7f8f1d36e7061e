// SPDX-License-Identifier: GPL-3.0-or-later
// The transforms of word-processing parts: the script conversion, and the collection of the
// text that tells a document's script.
#pragma once

#include <cstddef>
#include <string_view>

#include "script.h"
#include "word_walk.h"

namespace uy::docscript {

// Converts every paragraph's text at once and gives each output letter the run of the source
// letter it came from. Between the Arabic script and the others, runs whose text changed take
// the complex-script bold, italic and size as the western ones (and back), lose (or gain) the
// right-to-left run flag, and ug language tags follow the script; paragraphs, sections and
// tables turn their direction, alignment kept at the same logical edge.
class ScriptTransform : public WordTransform {
 public:
  explicit ScriptTransform(const script::Options& options) : options_(options) {}
  // The part about to be walked and what the walk learns of it.
  void Begin(std::string_view part, const PartInfo* info) {
    part_ = part;
    info_ = info;
  }
  void OnParagraph(const Paragraph& p, Edits& edits) override;
  void OnProps(const Props& props, Edits& edits) override;

  std::size_t paragraphs() const { return paragraphs_; }
  std::size_t runs_changed() const { return runs_changed_; }

 private:
  enum class Turn { kNone, kToLeftToRight, kToRightToLeft };
  Turn turn() const;
  void RunProps(const Props& rpr, Edits& edits) const;
  void DirectionProps(const Props& props, Edits& edits) const;

  script::Options options_;
  std::string_view part_;
  const PartInfo* info_ = nullptr;
  std::size_t paragraphs_ = 0, runs_changed_ = 0;
};

// Counts the letters of every paragraph for telling the script.
class CollectTransform : public WordTransform {
 public:
  void OnParagraph(const Paragraph& p, Edits&) override { script::CountLetters(p.Text(), detection); }
  void OnProps(const Props&, Edits&) override {}
  script::Detection detection;
};

}  // namespace uy::docscript
