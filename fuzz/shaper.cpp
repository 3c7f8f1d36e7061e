// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary UTF-16 (little-endian byte pairs; an odd last byte is dropped) through the
// shaper and the visual-order export.
//
// ShapeRun: one unit less per lam-alef pair, and unit by unit: a lam-alef pair gives one
// of the two ligatures, a letter with a row one of its four forms, a bracket its partner,
// anything else itself.
// ConvertLine: the same length, LTR units and brackets as they are, RTL-run letters shaped.
// VisualLine: lines of fewer than two units stay as they are; any other line is
// ConvertLine ordered by ICU as a right-to-left paragraph, mirrored at odd levels, bidi
// controls dropped (the engine orders common lines itself, so the two are compared);
// well-formed surrogate pairs stay well-formed. The ordering alone agrees with ICU on the
// raw input too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <unicode/ubidi.h>

#include "bidi.h"
#include "check.h"
#include "shaper.h"
#include "utf.h"
#include "visual.h"

namespace {

using uy::exporter::kAlef;
using uy::exporter::kLam;

std::size_t LamAlefCount(std::u16string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i + 1 < s.size(); ++i) n += s[i] == kLam && s[i + 1] == kAlef;
  return n;
}

const uy::exporter::ShapeRow* Row(char16_t c) {
  for (const auto& row : uy::exporter::kShapeTable)
    if (row.base == c) return &row;
  return nullptr;
}

// The units that make up right-to-left runs: the base letters and this punctuation.
bool IsRtl(char16_t c) {
  constexpr std::u16string_view kPunct = u" ()-.:[]{}\u00AB\u00BB\u060C\u061B\u061F\u2039\u203A";
  return Row(c) != nullptr || kPunct.find(c) != std::u16string_view::npos;
}

char16_t Partner(char16_t c) {
  constexpr std::u16string_view kOpen = u"([{\u00AB\u2039", kClose = u")]}\u00BB\u203A";
  if (const auto k = kOpen.find(c); k != kOpen.npos) return kClose[k];
  if (const auto k = kClose.find(c); k != kClose.npos) return kOpen[k];
  return c;
}

void CheckShapeRun(std::u16string_view in) {
  const std::u16string out = uy::exporter::ShapeRun(in);
  FUZZ_CHECK(out.size() == in.size() - LamAlefCount(in));
  std::size_t j = 0;
  for (std::size_t i = 0; i < in.size(); ++i, ++j) {
    const char16_t o = out[j];
    if (in[i] == kLam && i + 1 < in.size() && in[i + 1] == kAlef) {
      FUZZ_CHECK(o == uy::exporter::kLamAlefIsolated || o == uy::exporter::kLamAlefFinal);
      ++i;
    } else if (const auto* row = Row(in[i])) {
      FUZZ_CHECK(o != 0 && (o == row->isolated || o == row->initial || o == row->medial || o == row->final));
    } else {
      FUZZ_CHECK(o == Partner(in[i]));
    }
  }
}

std::u16string IcuOrder(std::u16string_view logical) {
  UErrorCode err = U_ZERO_ERROR;
  UBiDi* bidi = ubidi_open();
  ubidi_setPara(bidi, logical.data(), static_cast<int32_t>(logical.size()), UBIDI_RTL, nullptr, &err);
  std::u16string out(logical.size(), u'\0');
  out.resize(static_cast<std::size_t>(ubidi_writeReordered(
      bidi, out.data(), static_cast<int32_t>(out.size()), UBIDI_DO_MIRRORING | UBIDI_REMOVE_BIDI_CONTROLS, &err)));
  ubidi_close(bidi);
  FUZZ_CHECK(U_SUCCESS(err));
  return out;
}

// The boxes the editor shows for U+2029, U+FDD0 and U+FDD1 are ordered as left-to-right
// letters, which ICU does not know: compare with a letter in their place.
std::u16string AsLetters(std::u16string s) {
  for (char16_t& c : s)
    if (c == 0x2029 || c == 0xFDD0 || c == 0xFDD1) c = u'A';
  return s;
}

void CheckVisualLine(std::u16string_view in) {
  const std::u16string converted = uy::exporter::ConvertLine(in);
  FUZZ_CHECK(converted.size() == in.size() - LamAlefCount(in));
  for (std::size_t i = 0, j = 0; i < in.size(); ++i, ++j) {
    if (in[i] == kLam && i + 1 < in.size() && in[i + 1] == kAlef && IsRtl(in[i])) ++i;
    if (!IsRtl(in[i]) || !Row(in[i])) FUZZ_CHECK(converted[j] == in[i]);
  }
  if (std::all_of(in.begin(), in.end(), IsRtl)) {
    std::u16string shaped = uy::exporter::ShapeRun(in);
    for (char16_t& c : shaped) c = Partner(c);  // brackets unmirrored
    FUZZ_CHECK(converted == shaped);
  }

  const std::u16string out = uy::exporter::VisualLine(in);
  if (in.size() < 2) {
    FUZZ_CHECK(out == in);
  } else {
    FUZZ_CHECK(out.size() <= converted.size());  // controls (ZWJ and ZWNJ too) dropped
    FUZZ_CHECK(AsLetters(out) == IcuOrder(AsLetters(converted)));
  }
  if (WellFormed(in)) FUZZ_CHECK(WellFormed(out));

  std::u16string ordered;
  uy::exporter::AppendRtlVisual(in, ordered);
  FUZZ_CHECK(AsLetters(ordered) == IcuOrder(AsLetters(std::u16string(in))));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  uy::DecodeUtf16Bytes({data, size}, false, text.data());
  CheckShapeRun(text);
  CheckVisualLine(text);
  return 0;
}
