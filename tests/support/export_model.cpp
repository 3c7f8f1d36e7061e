// SPDX-License-Identifier: GPL-3.0-or-later
#include "export_model.h"

#include <unicode/ubidi.h>

#include <algorithm>
#include <stdexcept>

#include "shaper.h"

namespace exportmodel {
namespace {

using uy::exporter::kShapeTable;
using uy::exporter::ShapeRow;

const ShapeRow* Row(char16_t c) {
  for (const ShapeRow& r : kShapeTable)
    if (r.base == c) return &r;
  return nullptr;
}

const std::u16string kOpen = u"([{\u00AB\u2039";
const std::u16string kClose = u")]}\u00BB\u203A";

char16_t Mirror(char16_t c) {
  if (auto p = kOpen.find(c); p != std::u16string::npos) return kClose[p];
  if (auto p = kClose.find(c); p != std::u16string::npos) return kOpen[p];
  return c;
}

}  // namespace

bool IsRtl(char16_t c) {
  static const std::u16string kExtra = u" ()-.:[]{}\u00AB\u00BB\u060C\u061B\u061F\u2039\u203A";
  return c != 0 && (Row(c) != nullptr || kExtra.find(c) != std::u16string::npos);
}

std::u16string Shape(const std::u16string& run, bool mirror) {
  const std::size_t n = run.size();
  std::vector<char16_t> out(n);
  std::vector<bool> by_joining_letter(n, false);
  std::vector<std::size_t> ligatures;
  bool flag = true;
  const ShapeRow* last = nullptr;
  auto fix_up = [&](std::size_t p) {
    // Only a unit that a joining letter produced turns isolated or final.
    if (!last || !by_joining_letter[p]) return;
    if (out[p] == last->initial) out[p] = last->isolated;
    else if (out[p] == last->medial) out[p] = last->final;
  };
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = run[i];
    const ShapeRow* r = Row(c);
    if (c == 0x0644 && i + 1 < n && run[i + 1] == 0x0627) {
      out[i] = flag ? 0xFEFB : 0xFEFC;
      ligatures.push_back(i);
      flag = false;
    } else if (c == 0x0627 && i > 0 && run[i - 1] == 0x0644) {
      out[i] = 0x0627;
      flag = true;
    } else if (r && (r->joining == 0 || r->joining == 2)) {
      out[i] = flag ? r->initial : r->medial;
      by_joining_letter[i] = true;
      last = r;
      flag = false;
    } else if (r && r->joining == 1) {
      out[i] = flag ? r->isolated : r->final;
      last = r;
      flag = true;
    } else {
      out[i] = c;
      if (i > 0) fix_up(i - 1);
      flag = true;
    }
  }
  if (n > 0) fix_up(n - 1);
  std::u16string result;
  for (std::size_t i = 0; i < n; ++i) result += mirror && Mirror(run[i]) != run[i] ? Mirror(run[i]) : out[i];
  for (std::size_t k = 0; k < ligatures.size(); ++k) result.erase(ligatures[k] + 1 - k, 1);
  return result;
}

std::u16string Convert(const std::u16string& line) {
  std::u16string result, run;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    if (i < line.size() && IsRtl(line[i])) {
      run += line[i];
      continue;
    }
    result += Shape(run, false);
    run.clear();
    if (i < line.size()) result += line[i];
  }
  return result;
}

std::u16string RtlOrder(const std::u16string& logical) {
  UErrorCode err = U_ZERO_ERROR;
  UBiDi* bidi = ubidi_open();
  ubidi_setPara(bidi, logical.data(), static_cast<int32_t>(logical.size()), UBIDI_RTL, nullptr, &err);
  std::u16string out(logical.size() + 8, u'\0');
  out.resize(static_cast<std::size_t>(ubidi_writeReordered(
      bidi, out.data(), static_cast<int32_t>(out.size()), UBIDI_DO_MIRRORING | UBIDI_REMOVE_BIDI_CONTROLS, &err)));
  ubidi_close(bidi);
  if (U_FAILURE(err)) throw std::runtime_error(u_errorName(err));
  return out;
}

std::u16string Visual(const std::u16string& line) {
  return line.size() < 2 ? line : RtlOrder(Convert(line));
}

std::uint32_t RandomText::Next() {
  state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
  return static_cast<std::uint32_t>(state_ >> 33);
}

std::u16string RandomText::Line(std::size_t length, bool lone_surrogates) {
  using namespace std::string_literals;
  static const std::u16string kPunct =
      u" ()-.:[]{}\u00AB\u00BB\u060C\u061B\u061F\u2039\u203A,;!?\"'/\t0123456789"s;
  static const std::u16string kOdd = u"\u0000\uFE91\uFE92\uFE8F\uFEFB\uFEFC\u0647\u0629\uFEDF"
                                     u"\u0661\u4E2D\u00E9\uFFFF"s;
  std::u16string s;
  while (s.size() < length) {
    const std::uint32_t pick = Next() % 100;
    if (pick < 15) {
      s += (Next() & 1) ? u'\u0644' : u'\u0627';
    } else if (pick < 60) {
      s += kShapeTable[Next() % kShapeTable.size()].base;
    } else if (pick < 80) {
      s += kPunct[Next() % kPunct.size()];
    } else if (pick < 88) {
      s += static_cast<char16_t>(u'a' + Next() % 26);
    } else if (pick < 93) {
      s += kOdd[Next() % kOdd.size()];
    } else if (pick < 96) {
      s += u"\U0001F600";
    } else if (lone_surrogates && pick < 97) {
      s += static_cast<char16_t>(0xD800 + Next() % 0x800);
    } else {
      char16_t c = static_cast<char16_t>(Next() % 0x10000);
      if (c == u'\r' || c == u'\n' || c == u'\u2028' || (c >= 0xD800 && c < 0xE000)) c = u'x';
      s += c;
    }
  }
  s.resize(length);
  if (!lone_surrogates && !s.empty() && s.back() >= 0xD800 && s.back() < 0xDC00) s.back() = u'y';
  return s;
}

}  // namespace exportmodel
