// SPDX-License-Identifier: GPL-3.0-or-later
// The right-to-left ordering against ICU: on random lines and on the Unicode bidi
// conformance cases.
#include <gtest/gtest.h>
#include <unicode/ubidi.h>
#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bidi.h"
#include "export_model.h"

namespace {

std::u16string Order(const std::u16string& line) {
  std::u16string out = u"<";  // appends after what is there
  uy::exporter::AppendRtlVisual(line, out);
  return out.substr(1);
}

// Lines over a small alphabet that brings every rule into play: Uyghur letters and their
// presentation forms, Hebrew, Latin, European and Arabic-Indic digits, separators and
// terminators, spaces, tabs, brackets, other neutrals; with `rare`, a few with marks,
// controls or surrogate pairs (ICU's share).
std::u16string RandomLine(exportmodel::RandomText& random, std::size_t length, bool rare_units) {
  const std::u16string alphabet[] = {
      u"\u0628\u0627\u0644\uFE91\uFEFB\u0626",  // Uyghur
      u"\u05D0\u05D1",                       // Hebrew
      u"abC\u4E2D",                          // left to right
      u"0123\u0661\u0662\u06F1",             // digits
      u"+-$%#,.:/\u00A0",                    // separators and terminators
      u"  \t",                               // white space, tab
      u"()[]{}\u00AB\u00BB\u2039\u203A<>",   // brackets and other mirrored characters
      u"!?\"'&*@",                           // other neutrals
  };
  const std::u16string rare[] = {u"\u064B", u"\u202A", u"\u202B", u"\u202C", u"\u2067",
                                 u"\u2069", u"\u200F", u"\u200E", u"\U0001F600", u"\u00AD"};
  std::u16string line;
  for (std::size_t k = 0; k < length; ++k) {
    const std::u16string& group = alphabet[random.Next() % std::size(alphabet)];
    line += group[random.Next() % group.size()];
    if (rare_units && random.Next() % 12 == 0) line += rare[random.Next() % std::size(rare)];
  }
  return line;
}

TEST(RtlOrder, AgreesWithIcuOnRandomLines) {
  exportmodel::RandomText random(12);
  for (int i = 0; i < 4000; ++i) {
    const std::u16string line = RandomLine(random, random.Next() % 24, i % 8 == 0);
    ASSERT_EQ(Order(line), exportmodel::RtlOrder(line)) << i;
  }
  // Deep bracket nesting overflows the pairing stack.
  std::u16string deep(70, u'(');
  deep += u"a\u0628" + std::u16string(70, u')');
  EXPECT_EQ(Order(deep), exportmodel::RtlOrder(deep));
}

// A paragraph shown as several lines: ICU's ordering of each line of the paragraph.
std::u16string IcuLine(const std::u16string& paragraph, std::size_t start, std::size_t end) {
  UErrorCode err = U_ZERO_ERROR;
  UBiDi* para = ubidi_open();
  UBiDi* line = ubidi_open();
  ubidi_setPara(para, paragraph.data(), static_cast<int32_t>(paragraph.size()), UBIDI_RTL, nullptr, &err);
  ubidi_setLine(para, static_cast<int32_t>(start), static_cast<int32_t>(end), line, &err);
  std::u16string out(end - start, u'\0');
  out.resize(static_cast<std::size_t>(ubidi_writeReordered(line, out.data(), static_cast<int32_t>(out.size()),
                                                           UBIDI_DO_MIRRORING | UBIDI_REMOVE_BIDI_CONTROLS, &err)));
  ubidi_close(line);
  ubidi_close(para);
  EXPECT_TRUE(U_SUCCESS(err)) << u_errorName(err);
  return out;
}

// Random paragraphs cut at random points (a surrogate pair never cut), and a few cut
// where the per-line and per-paragraph orders differ.
TEST(RtlOrder, LinesOfAParagraphAgreeWithIcu) {
  exportmodel::RandomText random(29);
  struct Case {
    std::u16string paragraph;
    std::vector<std::size_t> ends;
  };
  std::vector<Case> cases = {
      {u"Hello 2011 world", {6, 16}},               // W7: 2011 follows the Latin word
      {u"\u0628\u0627 12-34", {3, 8}},              // W2: Arabic numbers, the '-' is no separator
      {u"\u0628 ab \u0628 cd", {5, 9}},             // trailing white space
      {u"a (\u0628) b", {2, 4, 7}},                 // a bracket pair across lines
  };
  for (int i = 0; i < 3000; ++i) {
    Case c{RandomLine(random, 1 + random.Next() % 40, i % 8 == 0), {}};
    for (std::size_t at = 0; at < c.paragraph.size();) {
      at = std::min(c.paragraph.size(), at + 1 + random.Next() % 12);
      if (at < c.paragraph.size() && U16_IS_TRAIL(c.paragraph[at])) ++at;
      c.ends.push_back(at);
    }
    cases.push_back(std::move(c));
  }
  int differs_from_lines = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    uy::exporter::RtlParagraph paragraph(c.paragraph);
    std::size_t start = 0;
    for (const std::size_t end : c.ends) {
      std::u16string got = u"<";
      paragraph.AppendLine(start, end, got);
      const std::u16string want = IcuLine(c.paragraph, start, end);
      ASSERT_EQ(got.substr(1), want) << i << " at " << start;
      differs_from_lines += want != exportmodel::RtlOrder(c.paragraph.substr(start, end - start));
      start = end;
    }
  }
  EXPECT_GT(differs_from_lines, 100);
}

// U+2029, U+FDD0 and U+FDD1, which the editor shows as boxes inside a line, are ordered
// as a Latin letter in their place, in a line and in the lines of a paragraph: a U+2029
// splits nothing. Embeddings send a line through ICU.
TEST(RtlOrder, CharactersShownAsBoxesAreOrderedAsLetters) {
  const std::u16string lines[] = {u"\u0628\u0627 12# \u062A", u"AB#\u0628\u0631 CD", u"\u0628 #(x) \u0631",
                                  u"12 # \u0628 ab", u"\u0628\u202B#\u202C 1 \u0631"};
  auto with = [](std::u16string s, char16_t from, char16_t to) {
    std::replace(s.begin(), s.end(), from, to);
    return s;
  };
  for (const char16_t box : {u'\u2029', u'\uFDD0', u'\uFDD1'}) {
    for (const std::u16string& line : lines) {
      const std::u16string shown = with(line, u'#', box), as_letter = with(line, u'#', u'z');
      EXPECT_EQ(Order(shown), with(exportmodel::RtlOrder(as_letter), u'z', box)) << int(box);
      uy::exporter::RtlParagraph paragraph(shown);
      std::u16string got;
      paragraph.AppendLine(0, 4, got);
      paragraph.AppendLine(4, shown.size(), got);
      EXPECT_EQ(got, with(IcuLine(as_letter, 0, 4) + IcuLine(as_letter, 4, shown.size()), u'z', box)) << int(box);
    }
  }
}

// BidiCharacterTest.txt: code points; paragraph direction; resolved level; levels; visual
// order. The cases for a right-to-left paragraph without paragraph separators are
// compared as text: the expected order, mirrored at odd levels, without the bidi controls
// that the export drops (isolates and marks as well as those the algorithm removes).
// Every fourth case is run, which keeps the test quick under the sanitizers.
TEST(RtlOrder, PassesTheUnicodeConformanceCases) {
  std::ifstream file("/usr/share/unicode/BidiCharacterTest.txt");
  if (!file) GTEST_SKIP() << "unicode-data is not installed";
  std::string row;
  int passed = 0, failed = 0, icu_differs = 0, seen = 0;
  while (std::getline(file, row)) {
    if (row.empty() || row[0] == '#') continue;
    std::stringstream fields(row);
    std::string points, direction, paragraph_level, levels_text, order_text;
    std::getline(fields, points, ';');
    std::getline(fields, direction, ';');
    std::getline(fields, paragraph_level, ';');
    std::getline(fields, levels_text, ';');
    std::getline(fields, order_text, ';');
    if (paragraph_level != "1" || direction == "0" || seen++ % 4 != 0) continue;
    std::vector<UChar32> cps;
    std::stringstream ps(points);
    for (std::string hex; ps >> hex;) cps.push_back(static_cast<UChar32>(std::stoul(hex, nullptr, 16)));
    bool separator = false;
    std::u16string line;
    for (UChar32 c : cps) {
      separator |= u_charDirection(c) == U_BLOCK_SEPARATOR;
      if (U_IS_BMP(c)) line += static_cast<char16_t>(c);
      else line += {U16_LEAD(c), U16_TRAIL(c)};
    }
    if (separator) continue;
    std::vector<std::string> levels;
    std::stringstream ls(levels_text);
    for (std::string l; ls >> l;) levels.push_back(l);
    std::u16string want;
    std::stringstream os(order_text);
    for (std::size_t index; os >> index;) {
      UChar32 c = cps[index];
      if (u_hasBinaryProperty(c, UCHAR_BIDI_CONTROL)) continue;
      if ((std::stoi(levels[index]) & 1) != 0) c = u_charMirror(c);
      if (U_IS_BMP(c)) want += static_cast<char16_t>(c);
      else want += {U16_LEAD(c), U16_TRAIL(c)};
    }
    auto visible = [](const std::u16string& s) {
      std::u16string v;
      for (char16_t c : s)
        if (u_charDirection(c) != U_BOUNDARY_NEUTRAL) v += c;
      return v;
    };
    const std::u16string got = visible(Order(line));
    if (got == want) {
      ++passed;
    } else if (got == visible(exportmodel::RtlOrder(line))) {
      // ICU itself differs here (embeddings and overrides around isolates): we follow it.
      ++icu_differs;
    } else if (++failed <= 5) {
      ADD_FAILURE() << row;
    }
  }
  EXPECT_EQ(failed, 0);
  EXPECT_GT(passed, 11000);
  EXPECT_LT(icu_differs, 10);
  std::printf("bidi conformance: %d of %d right-to-left cases pass, %d as ICU orders them\n", passed,
              passed + failed + icu_differs, icu_differs);
}

}  // namespace
