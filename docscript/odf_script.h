// SPDX-License-Identifier: GPL-3.0-or-later
// The script conversion of OpenDocument parts. Every paragraph's text is converted at once and
// each output letter stays in the text piece of the source letter it came from. Between the
// Arabic script and the others, converted text is put in a span of a new automatic text style
// whose western bold, italic, size and font are the complex-script values its letters showed
// (and back); ug language tags follow the script. Writing modes turn with the script in every
// style and layout that holds one, and text at an edge goes to the start.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "odf_walk.h"
#include "script.h"

namespace uy::docscript {

class OdfScript : public OdfTransform {
 public:
  // The counts go to the given counters.
  OdfScript(const script::Options& options, std::size_t& paragraphs, std::size_t& runs_changed)
      : options_(options), paragraphs_(paragraphs), runs_changed_(runs_changed) {}
  // The styles of styles.xml, which content.xml's text resolves against. Throws DocumentError.
  void Prepare(std::string_view styles_part);
  // The part about to be walked.
  void Begin(std::string_view part);
  // Every paragraph's letters counted into `count` as well (none: not counted).
  void CountInto(script::Detection* count) { count_ = count; }

  OdfStyles& Styles() override { return styles_; }
  void OnParagraph(const OdfParagraph& p, Edits& edits) override;
  void OnProperties(std::string_view local, bool in_default, Range tag, const char** attrs, Edits& edits) override;
  void OnEnd(const OdfStylePlace& place, Edits& edits) override;

 private:
  enum class Turn { kNone, kToLeftToRight, kToRightToLeft };
  Turn turn() const;
  // The automatic text style the converted text of a run with these properties takes, in
  // place of `base` (the style of the span holding it; empty: none); empty when it needs none.
  std::string StyleFor(const OdfTextProps& props, const std::string& base);
  std::string StyleXml(const std::string& name, const std::string& base,
                       const std::vector<std::pair<OdfAttrName, std::string>>& set) const;
  // The styles of each run's text (runs of one span share its new style).
  std::vector<std::string> RunStyles(const OdfParagraph& p, const std::vector<std::u16string>& before,
                                     const std::vector<std::u16string>& after);

  // Spans whose style is replaced (with the text prefix bound at the root); others are wrapped.
  bool Retargets(const OdfHolder& h) const { return retarget_ && h.kind == OdfHolder::Kind::kSpan; }

  script::Options options_;
  script::Detection* count_ = nullptr;
  bool retarget_ = false;
  std::size_t& paragraphs_;
  std::size_t& runs_changed_;
  std::string_view part_;
  OdfStyles shared_, styles_;
  std::map<std::string, std::string> derived_;  // the text-properties' attributes, the style's name
  std::string derived_xml_;                     // the new styles, to go with the part's automatic ones
  std::size_t next_ = 0;
};

}  // namespace uy::docscript
