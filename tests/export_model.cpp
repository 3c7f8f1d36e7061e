#include "export_model.h"

#include <algorithm>

#include "export/shaper.h"

namespace exportmodel {
namespace {

using uy::shape::kShapeTable;
using uy::shape::ShapeRow;

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

std::u16string Shape(const std::u16string& run) {
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
  for (std::size_t i = 0; i < n; ++i) result += Mirror(run[i]) != run[i] ? Mirror(run[i]) : out[i];
  for (std::size_t k = 0; k < ligatures.size(); ++k) result.erase(ligatures[k] + 1 - k, 1);
  return result;
}

std::u16string Convert(const std::u16string& line) {
  std::vector<std::u16string> rtl_runs, ltr_runs;
  std::vector<int> kinds;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const int kind = IsRtl(line[i]) ? 1 : 2;
    if (kinds.empty() || kinds.back() != kind) {
      kinds.push_back(kind);
      (kind == 1 ? rtl_runs : ltr_runs).emplace_back();
    }
    (kind == 1 ? rtl_runs : ltr_runs).back() += line[i];
  }
  for (auto& r : rtl_runs) r = Shape(r);
  std::u16string result;
  std::size_t next_rtl = 0, next_ltr = 0;
  for (int kind : kinds) {
    if (kind == 1) {
      result += rtl_runs[next_rtl++];
    } else {
      std::u16string r = ltr_runs[next_ltr++];
      std::reverse(r.begin(), r.end());
      result += r;
    }
  }
  return result;
}

std::u16string Visual(const std::u16string& line) {
  if (line.size() < 2) return line;
  std::u16string r = Convert(line);
  std::reverse(r.begin(), r.end());
  return r;
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
