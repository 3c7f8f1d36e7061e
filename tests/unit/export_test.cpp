// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "export_model.h"
#include "keyboard.h"
#include "letters.h"
#include "shaper.h"
#include "visual.h"

namespace {

using uy::exporter::ConvertLine;
using uy::exporter::ExportText;
using uy::exporter::IsRtlRunChar;
using uy::exporter::VisualLine;
using uy::exporter::kShapeTable;
using uy::exporter::ShapeRun;

// Readable failure output: "U+0628 U+FE91".
std::string Hex(const std::u16string& s) {
  std::string out;
  char buf[8];
  for (char16_t c : s) {
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
    if (!out.empty()) out += ' ';
    out += std::string("U+") + buf;
  }
  return out;
}

#define EXPECT_U16(actual, ...) EXPECT_EQ(Hex(actual), Hex(__VA_ARGS__))

const char16_t kBeh = u'\u0628';

// The case lists under data/shape: "input;expected" a line, code points as U+XXXX joined
// by commas, '#' comments. Each file is run through the function it is named after.
std::u16string CodePoints(const std::string& field) {
  std::u16string out;
  for (std::size_t at = 0; at < field.size();) {
    const std::size_t end = std::min(field.find(',', at), field.size());
    const char32_t c = static_cast<char32_t>(std::stoul(field.substr(at + 2, end - at - 2), nullptr, 16));
    if (c > 0xFFFF) {
      out += static_cast<char16_t>(0xD7C0 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    at = end + 1;
  }
  return out;
}

struct CaseList {
  const char* file;
  std::u16string (*run)(std::u16string_view);
};

class ShapeCases : public testing::TestWithParam<CaseList> {};

TEST_P(ShapeCases, MatchTheList) {
  std::ifstream in(std::filesystem::path(UY_TEST_DATA) / "shape" / GetParam().file);
  ASSERT_TRUE(in) << GetParam().file;
  int cases = 0, line_number = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_number;
    if (line.empty() || line[0] == '#') continue;
    const std::size_t semicolon = line.find(';');
    ASSERT_NE(semicolon, std::string::npos) << GetParam().file << ':' << line_number;
    const std::u16string input = CodePoints(line.substr(0, semicolon));
    EXPECT_U16(GetParam().run(input), CodePoints(line.substr(semicolon + 1)))
        << GetParam().file << ':' << line_number;
    ++cases;
  }
  EXPECT_GT(cases, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ShapeCases,
    testing::Values(CaseList{"shape_run.tests", [](std::u16string_view s) { return ShapeRun(s); }},
                    CaseList{"convert_line.tests", [](std::u16string_view s) { return ConvertLine(s); }},
                    CaseList{"visual_line.tests", [](std::u16string_view s) { return VisualLine(s); }},
                    CaseList{"keyboard.tests",
                             [](std::u16string_view keys) {
                               uy::editor::PhoneticKeyboard keyboard;  // Uyghur mode, at a word start
                               return keyboard.PressAll(keys);
                             }}),
    [](const testing::TestParamInfo<CaseList>& info) {
      return std::string(info.param.file).substr(0, std::string(info.param.file).find('.'));
    });

TEST(ShapeTable, RegularRowsFollowThePresentationFormLayout) {
  // The usual layout of the presentation-form blocks: isolated, final, initial, medial
  // in consecutive units. Only the deliberately irregular rows leave it.
  const std::set<char16_t> irregular{u'\u0626', u'\u06BE', u'\u06C9', u'\u0640', u'\u0649'};
  std::set<char16_t> bases;
  for (const auto& r : kShapeTable) {
    bases.insert(r.base);
    if (irregular.count(r.base)) continue;
    const bool right_only = r.joining == 1;
    EXPECT_TRUE(r.final == r.isolated + 1 && (right_only || r.joining == 0) &&
                r.initial == (right_only ? 0 : r.isolated + 2) && r.medial == (right_only ? 0 : r.isolated + 3))
        << Hex(std::u16string(1, r.base));
  }
  EXPECT_EQ(bases.size(), 38u);
  for (const auto& letter : uy::kLetters) EXPECT_TRUE(bases.count(letter.code)) << letter.name;
  for (char16_t extra : std::u16string_view(u"\u06C5\u06C9\u062D\u0639\u0640"))
    EXPECT_TRUE(bases.count(extra));
  EXPECT_EQ(kShapeTable[0].joining, 2);
}

TEST(ShapeRun, FormsByPositionForEveryRow) {
  for (const auto& r : kShapeTable) {
    SCOPED_TRACE(Hex(std::u16string(1, r.base)));
    const std::u16string x(1, r.base);
    const bool joins_on = r.joining != 1;
    EXPECT_U16(ShapeRun(x), std::u16string(1, r.isolated));
    // Alone, before a joining letter, between two, after one.
    EXPECT_U16(ShapeRun(x + kBeh), joins_on ? std::u16string{r.initial, u'\uFE90'}
                                            : std::u16string{r.isolated, u'\uFE8F'});
    EXPECT_U16(ShapeRun(kBeh + x), (std::u16string{u'\uFE91', r.final}));
    EXPECT_U16(ShapeRun(kBeh + x + kBeh),
               joins_on ? std::u16string{u'\uFE91', r.medial, u'\uFE90'}
                        : std::u16string{u'\uFE91', r.final, u'\uFE8F'});
  }
}

TEST(ShapeRun, LamAlef) {
  // Several ligatures: every placeholder goes, whatever stands between them.
  EXPECT_U16(ShapeRun(u"\u0628\u0644\u0627 (\u0644\u0627) \u0644\u0644\u0627\u0628"),
             u"\uFE91\uFEFC )\uFEFB( \uFEDF\uFEFC\uFE8F");
  // An alef at position 0 is an ordinary alef; so is a lam with no alef after it.
}

TEST(ShapeRun, UnitsWithoutARowAreNeverTurned) {
  // Text exported once and exported again keeps its presentation forms.
  // U+0000 after a right-joining letter stays U+0000.
  EXPECT_U16(ShapeRun(std::u16string(u"\u0631\0x", 3)), std::u16string(u"\uFEAD\0x", 3));
  EXPECT_U16(ShapeRun(std::u16string(u"\u0631\0", 2)), std::u16string(u"\uFEAD\0", 2));
  const std::u16string shaped = ShapeRun(u"\u0628\u0627\u0644\u0627 \u0633\u06BE\u0644");
  EXPECT_EQ(ShapeRun(shaped), shaped);
}

TEST(IsRtlRunChar, HoldsExactlyTheFiftyFiveUnits) {
  int count = 0;
  for (int c = 0; c < 0x10000; ++c) {
    const bool rtl = IsRtlRunChar(static_cast<char16_t>(c));
    count += rtl;
    EXPECT_EQ(rtl, exportmodel::IsRtl(static_cast<char16_t>(c))) << c;
  }
  EXPECT_EQ(count, 55);
}

// Lines are ordered as a right-to-left paragraph shows them (the editor's display), not
// run by run: these all came out differently when space, hyphen, period and colon made
// right-to-left runs of their own.
TEST(VisualLine, OrderedAsTheEditorShowsThem) {
  const struct {
    std::u16string line, want;
  } cases[] = {
      // Numbers keep their separators and their order.
      {u"1-2", u"1-2"},
      {u"3.14", u"3.14"},
      {u"12:30", u"12:30"},
      {u"1,5", u"1,5"},
      {u"\u0633\u0627\u0644\u0627\u0645 3.14 12:30", u"12:30 3.14 \uFEE1\uFEFB\uFE8E\uFEB3"},
      {u"2011 12", u"12 2011"},
      // Left-to-right text keeps its order; a neutral at either end goes to the right
      // margin's side, a tab separates segments laid out from the right.
      {u"Hello world", u"Hello world"},
      {u"!AB", u"AB!"},
      {u"AB?", u"?AB"},
      {u"A\tB", u"B\tA"},
      {u"Hello,\u4E2D\u6587!", u"!Hello,\u4E2D\u6587"},
      // Brackets between Latin letters are neither reversed nor mirrored.
      {u"A(B)C", u"A(B)C"},
      {u"\u0628 (AB) \u0628", u"\uFE8F (AB) \uFE8F"},
      // Letters of other right-to-left scripts are reversed like Uyghur letters.
      {u"\u05E9\u05DC\u05D5\u05DD", u"\u05DD\u05D5\u05DC\u05E9"},
      {u"\u0636\u0636 \u0628", u"\uFE8F \u0636\u0636"},
      // Bidi controls are obeyed and dropped.
      {u"\u202AA\u0628\u202C", u"A\uFE8F"},
      {u"\u2067A\u0628\u2069 x", u"x \uFE8FA"},
  };
  for (const auto& c : cases) EXPECT_U16(VisualLine(c.line), c.want) << Hex(c.line);
}

TEST(VisualLine, SurrogatePairsStayWellFormed) {
  EXPECT_U16(VisualLine(u"\u0628\U0001F600\U00020000 \u0644\u0627 x\U0001F600"),
             u"\U0001F600x \uFEFB \U00020000\U0001F600\uFE8F");
}

TEST(VisualLine, LongLinesAreConvertedWhole) {
  exportmodel::RandomText random(7);
  for (std::size_t length : {10239u, 10240u, 10241u, 100000u}) {
    const std::u16string line = random.Line(length, true);
    EXPECT_EQ(VisualLine(line), exportmodel::Visual(line)) << length;
  }
}

TEST(ExportText, EveryLineFollowedByCrLf) {
  EXPECT_U16(ExportText(std::vector<std::u16string>{}), u"");
  const std::vector<std::u16string> lines{u"\u0628\u0628 1", u"", u"\u0628", u"ab"};
  EXPECT_U16(ExportText(lines), u"1 \uFE90\uFE91\r\n\r\n\u0628\r\nab\r\n");
}

// The engine against the step-by-step model, on random runs and lines.
TEST(ExportModel, EngineAgreesOnRandomText) {
  exportmodel::RandomText random(2026);
  std::vector<std::u16string> lines;
  for (int i = 0; i < 8000; ++i) {
    const std::u16string line = random.Line(random.Next() % 90, true);
    ASSERT_EQ(ShapeRun(line), exportmodel::Shape(line)) << Hex(line);
    ASSERT_EQ(ConvertLine(line), exportmodel::Convert(line)) << Hex(line);
    ASSERT_EQ(VisualLine(line), exportmodel::Visual(line)) << Hex(line);
    lines.push_back(line);
  }
  std::u16string want;
  for (const auto& l : lines) want += exportmodel::Visual(l) + u"\r\n";
  EXPECT_EQ(ExportText(lines), want);
}

// A paragraph shown as several lines: shaped whole (a word cut by the wrap keeps its
// joining forms), ordered as lines of the whole paragraph; one line as VisualLine gives it,
// a line of one unit as it is.
TEST(VisualLines, LinesOfOneParagraph) {
  const struct {
    std::u16string paragraph;
    std::vector<std::size_t> ends;
    std::u16string want;
  } cases[] = {
      {u"\u0628\u0627 12-34", {8}, uy::exporter::VisualLine(u"\u0628\u0627 12-34") + u"|"},
      {u"\u0628\u0628\u0628\u0628", {2, 4}, u"\uFE92\uFE91|\uFE90\uFE92|"},
      {u"\u0628\u0644\u0627 \u0628\u0644\u0627", {4, 7}, u" \uFEFC\uFE91|\uFEFC\uFE91|"},
      {u"Hello 2011 world", {6, 16}, u" Hello|2011 world|"},
      {u"\u0628\u0627 12-34", {3, 8}, u" \uFE8E\uFE91|34-12|"},
      {u"\u0628 (", {2, 3}, u" \uFE8F|(|"},
  };
  for (const auto& c : cases) {
    std::u16string got;
    uy::exporter::AppendVisualLines(c.paragraph, c.ends, u"|", got);
    EXPECT_EQ(got, c.want) << c.ends.size();
  }
}

}  // namespace
