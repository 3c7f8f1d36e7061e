#include "export/shaper.h"

#include "export/char_class.h"

namespace uy::shape {
namespace detail {
namespace {

constexpr int kLamRow = 21;
static_assert(kShapeTable[kLamRow].base == kLam);
static_assert(kClassTables.block_of_high[0x06] != 0 && kClassTables.block_of_high[0x20] != 0);

// Pass by pass this is: forms by position (lam-alef ligature, its alef a placeholder,
// joining and right-joining letters by the group-start flag, other units copied and the
// letter before them turned isolated or final), the same turn at the end of the run,
// brackets mirrored, placeholders dropped. All four happen in one walk: the placeholder
// is simply never written, and a bracket is written mirrored.
//
// Only a unit that a joining letter (class 0 or 2) produced is ever turned; a character
// without a row that happens to equal a form (U+0000, a presentation form already shaped)
// is copied as it is.
template <int kStep>
std::size_t Shape(const char16_t* in, std::size_t n, char16_t* out) {
  std::ptrdiff_t k = 0;  // units written; unit k goes to out[k * kStep]
  bool group_start = true;
  // When the last written unit came from a joining letter: the unit it turns into before
  // a character without a row or the end of the run.
  bool pending = false;
  char16_t pending_value = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = in[i];
    const std::uint8_t cls = ClassOf(c);
    if (cls != kLtr && cls < kRtlPlain) {
      const int row_index = cls - 1;
      if (row_index == kLamRow && i + 1 < n && in[i + 1] == kAlef) {
        out[k++ * kStep] = group_start ? kLamAlefIsolated : kLamAlefFinal;
        ++i;  // the alef: a placeholder, never written; it starts a new group
        group_start = true;
        pending = false;
        continue;
      }
      const ShapeRow& row = kShapeTable[static_cast<std::size_t>(row_index)];
      if (row.joining != 1) {
        out[k * kStep] = group_start ? row.initial : row.medial;
        pending = true;
        pending_value = group_start ? row.isolated : row.final;
        group_start = false;
      } else {
        out[k * kStep] = group_start ? row.isolated : row.final;
        pending = false;
        group_start = true;
      }
    } else {
      if (pending) out[(k - 1) * kStep] = pending_value;
      out[k * kStep] = cls >= kBracketFirst ? kMirrored[cls - kBracketFirst] : c;
      pending = false;
      group_start = true;
    }
    ++k;
  }
  if (pending) out[(k - 1) * kStep] = pending_value;
  return static_cast<std::size_t>(k);
}

}  // namespace

std::size_t ShapeForward(const char16_t* in, std::size_t n, char16_t* out) {
  return Shape<1>(in, n, out);
}

std::size_t ShapeBackward(const char16_t* in, std::size_t n, char16_t* out) {
  return Shape<-1>(in, n, out);
}

}  // namespace detail

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
  out.resize(detail::ShapeForward(run.data(), run.size(), out.data()));
  return out;
}

}  // namespace uy::shape
