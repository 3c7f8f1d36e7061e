// SPDX-License-Identifier: GPL-3.0-or-later
#include "visual.h"

#include <algorithm>
#include <vector>

#include "bidi.h"
#include "shape_core.h"

namespace uy::exporter {
namespace {

using detail::ClassOf;
using detail::kLtr;
using detail::ShapeCore;

// Shapes line into out[0..), which has room for line.size() units; returns the units
// written. Every RTL run is shaped on its own, which one pass over the whole line gives
// too: a unit outside the runs is copied, turns the joining letter before it and starts a
// new group, as the end and the start of a run do, and lam-alef never straddles it.
std::size_t ShapeLine(std::u16string_view line, char16_t* out) {
  return ShapeCore<1, false>(line.data(), line.size(), out).written;
}

template <typename Lines>
std::u16string JoinExportLines(const Lines& lines) {
  std::size_t total = 0;
  for (const auto& l : lines) total += l.size() + 2;
  std::u16string out;
  out.reserve(total);
  for (const auto& l : lines) {
    AppendVisualLine(l, out);
    out += u"\r\n";
  }
  return out;
}

}  // namespace

bool IsRtlRunChar(char16_t unit) { return ClassOf(unit) != kLtr; }

std::u16string ConvertLine(std::u16string_view line) {
  std::u16string out(line.size(), u'\0');
  out.resize(ShapeLine(line, out.data()));
  return out;
}

std::u16string VisualLine(std::u16string_view line) {
  std::u16string out;
  AppendVisualLine(line, out);
  return out;
}

void AppendVisualLine(std::u16string_view line, std::u16string& out) {
  if (line.size() < 2) {
    out.append(line);
    return;
  }
  thread_local std::u16string shaped;
  if (shaped.size() < line.size()) shaped.resize(line.size());
  const std::size_t n = ShapeLine(line, shaped.data());
  AppendRtlVisual(std::u16string_view(shaped.data(), n), out);
}

void AppendVisualLines(std::u16string_view paragraph, std::span<const std::size_t> ends,
                       std::u16string_view separator, std::u16string& out) {
  if (ends.size() <= 1) {
    AppendVisualLine(paragraph, out);
    out.append(separator);
    return;
  }
  // The paragraph is shaped whole: a word cut by the wrap keeps its joining forms, as the
  // text area draws it. Shaping only shortens at lam-alef, which a line never splits.
  thread_local std::u16string shaped;
  if (shaped.size() < paragraph.size()) shaped.resize(paragraph.size());
  const std::size_t n = ShapeLine(paragraph, shaped.data());
  std::vector<std::size_t> shaped_ends;
  shaped_ends.reserve(ends.size());
  std::size_t ligatures = 0, scanned = 0;
  for (std::size_t end : ends) {
    end = std::min(end, paragraph.size());
    for (; scanned + 1 < end; ++scanned)
      ligatures += paragraph[scanned] == kLam && paragraph[scanned + 1] == kAlef;
    shaped_ends.push_back(std::min(n, std::max(end - ligatures, shaped_ends.empty() ? 0 : shaped_ends.back())));
  }
  std::size_t start = 0;
  RtlParagraph ordered(std::u16string_view(shaped.data(), n));
  std::size_t shaped_start = 0;
  for (std::size_t k = 0; k < ends.size(); ++k) {
    const std::size_t end = std::clamp(ends[k], start, paragraph.size());
    if (end - start < 2) out.append(paragraph.substr(start, end - start));
    else ordered.AppendLine(shaped_start, shaped_ends[k], out);
    out.append(separator);
    start = end;
    shaped_start = shaped_ends[k];
  }
}

std::u16string ExportText(std::span<const std::u16string> lines) { return JoinExportLines(lines); }

std::u16string ExportText(std::span<const std::u16string_view> lines) {
  return JoinExportLines(lines);
}

}  // namespace uy::exporter
