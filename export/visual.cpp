#include "export/visual.h"

#include <algorithm>
#include <cstring>

#include "export/shape_core.h"

namespace uy::exporter {
namespace {

using shape::detail::ClassOf;
using shape::detail::kLtr;
using shape::detail::ShapeCore;

// End of the LTR run that starts at i.
std::size_t LtrRunEnd(std::u16string_view line, std::size_t i) {
  const std::size_t n = line.size();
  while (i < n && ClassOf(line[i]) == kLtr) ++i;
  return i;
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
  std::size_t w = 0;
  for (std::size_t i = 0; i < line.size();) {
    if (IsRtlRunChar(line[i])) {
      const auto count = ShapeCore<1, true>(line.data() + i, line.size() - i, out.data() + w);
      w += count.written;
      i += count.consumed;
    } else {
      const std::size_t end = LtrRunEnd(line, i);
      std::reverse_copy(line.data() + i, line.data() + end, out.data() + w);
      w += end - i;
      i = end;
    }
  }
  out.resize(w);
  return out;
}

std::u16string VisualLine(std::u16string_view line) {
  std::u16string out;
  AppendVisualLine(line, out);
  return out;
}

// Builds the reversed ConvertLine directly: the runs are taken in line order and laid
// down from the end of the room backwards, RTL runs shaped backwards, LTR runs copied in
// their own order. Ligatures leave a gap at the front, closed by one move.
void AppendVisualLine(std::u16string_view line, std::u16string& out) {
  const std::size_t n = line.size();
  if (n < 2) {
    out.append(line);
    return;
  }
  const std::size_t base = out.size();
  out.resize(base + n);
  char16_t* room = out.data() + base;
  std::size_t free_end = n;  // room[free_end..n) is written
  for (std::size_t i = 0; i < n;) {
    if (IsRtlRunChar(line[i])) {
      const auto count = ShapeCore<-1, true>(line.data() + i, n - i, room + free_end - 1);
      free_end -= count.written;
      i += count.consumed;
    } else {
      const std::size_t end = LtrRunEnd(line, i);
      free_end -= end - i;
      std::memcpy(room + free_end, line.data() + i, (end - i) * sizeof(char16_t));
      i = end;
    }
  }
  if (free_end != 0) std::memmove(room, room + free_end, (n - free_end) * sizeof(char16_t));
  out.resize(base + n - free_end);
}

std::u16string ExportText(std::span<const std::u16string> lines) { return JoinExportLines(lines); }

std::u16string ExportText(std::span<const std::u16string_view> lines) {
  return JoinExportLines(lines);
}

}  // namespace uy::exporter
