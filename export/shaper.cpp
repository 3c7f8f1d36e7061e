// SPDX-License-Identifier: GPL-3.0-or-later
#include "shaper.h"

#include "shape_core.h"

namespace uy::exporter {

const ShapeRow* FindRow(char16_t c) {
  const std::uint8_t cls = detail::ClassOf(c);
  if (cls == detail::kLtr || cls >= detail::kRtlPlain) return nullptr;
  return &kShapeTable[static_cast<std::size_t>(cls - 1)];
}

char16_t MirrorBracket(char16_t c) {
  const std::uint8_t cls = detail::ClassOf(c);
  return cls >= detail::kBracketFirst ? detail::kMirrored[cls - detail::kBracketFirst] : c;
}

std::u16string ShapeRun(std::u16string_view run) {
  std::u16string out(run.size(), u'\0');
  out.resize(detail::ShapeCore<1>(run.data(), run.size(), out.data()).written);
  return out;
}

}  // namespace uy::exporter
