// SPDX-License-Identifier: GPL-3.0-or-later
// Right-to-left paragraph ordering: a line in logical order to the order in which a
// right-to-left paragraph shows it (the Unicode Bidirectional Algorithm), with the
// characters that end at an odd level mirrored.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace uy::exporter {

// Appends the visual order of `line`, laid out as one right-to-left paragraph, to `out`:
// exactly what ICU's ubidi_setPara(UBIDI_RTL) and ubidi_writeReordered(UBIDI_DO_MIRRORING
// | UBIDI_REMOVE_BIDI_CONTROLS) give. The bidi controls (embeddings, overrides, isolates,
// marks) are obeyed and dropped: kept in visual order they would only split runs, and
// programs that cannot lay out text would show them as boxes. Common text (no controls,
// non-spacing marks, surrogates or paragraph separators) is ordered here; the rest goes
// through ICU. One exception: U+2029, U+FDD0 and U+FDD1, which the editor shows as boxes
// inside a line, are ordered as left-to-right characters, as the boxes are; so a U+2029
// never splits the line into two paragraphs.
void AppendRtlVisual(std::u16string_view line, std::u16string& out);

// The same, always through ICU (the reference the fast paths are tested against), with
// the same exception.
void AppendRtlVisualIcu(std::u16string_view line, std::u16string& out);

// A right-to-left paragraph shown as several lines: the levels are resolved over the
// whole paragraph (a number or a neutral at the start of a line takes its level from the
// letters on the lines before it), then each line is ordered on its own, with its trailing
// white space at the paragraph level. Exactly what ICU's ubidi_setPara on the paragraph
// and ubidi_setLine + ubidi_writeReordered (same options as above) per line give; a line
// that reaches across a paragraph separator is ordered as a paragraph of its own.
class RtlParagraph {
 public:
  // `paragraph` must outlive the object.
  explicit RtlParagraph(std::u16string_view paragraph);
  ~RtlParagraph();
  RtlParagraph(const RtlParagraph&) = delete;
  RtlParagraph& operator=(const RtlParagraph&) = delete;

  // Appends the visual order of the line paragraph[start, end) to `out`.
  void AppendLine(std::size_t start, std::size_t end, std::u16string& out);

 private:
  struct State;
  std::u16string_view text_;
  std::unique_ptr<State> state_;
};

}  // namespace uy::exporter
