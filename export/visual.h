// SPDX-License-Identifier: GPL-3.0-or-later
// Visual-order export: lines of Uyghur text turned into presentation forms in
// left-to-right order, for programs that neither shape nor reorder Arabic script.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace uy::exporter {

// True for the 55 units that belong to right-to-left runs: the base letters of the
// shaping table, space, ( ) - . : [ ] { } « » ، ؛ ؟ ‹ ›. Everything else (digits, Latin,
// the ASCII comma and other punctuation, tabs, Chinese, surrogates...) forms LTR runs.
bool IsRtlRunChar(char16_t unit);

// The line shaped, still in logical order: every RTL run shaped on its own (joining and
// lam-alef never reach across an LTR run), brackets not yet mirrored, LTR runs copied.
// An empty line gives an empty string.
std::u16string ConvertLine(std::u16string_view line);

// The export line: a line of fewer than 2 units as it is; any other line shaped
// (ConvertLine) and put in the order in which a right-to-left paragraph shows it, by the
// Unicode Bidirectional Algorithm, with the characters at odd levels mirrored. So Uyghur
// words read right to left and numbers and Latin words left to right, as the editor shows
// them. Lines of any length are converted whole; surrogate pairs stay well-formed.
std::u16string VisualLine(std::u16string_view line);

// Appends VisualLine(line) to out without a temporary string.
void AppendVisualLine(std::u16string_view line, std::u16string& out);

// The export lines of one paragraph shown as several lines, each followed by `separator`:
// line i is paragraph[ends[i - 1], ends[i]) (the first starts at 0, `ends` ascends and the
// last is paragraph.size()). As a text area lays out a wrapped paragraph, the paragraph is
// shaped whole (a word cut by the wrap keeps its joining forms) and its levels resolved
// whole, then each line is reordered. A single line gives exactly AppendVisualLine's
// result; a line of fewer than 2 units is copied as it is.
void AppendVisualLines(std::u16string_view paragraph, std::span<const std::size_t> ends,
                       std::u16string_view separator, std::u16string& out);

// The clipboard text of an export: the export line of every line, each followed by CR LF.
// No lines give an empty text.
std::u16string ExportText(std::span<const std::u16string> lines);
std::u16string ExportText(std::span<const std::u16string_view> lines);

}  // namespace uy::exporter
