// SPDX-License-Identifier: GPL-3.0-or-later
// OpenDocument files between the scripts: paragraph text converted across spans, each letter
// keeping its span; converted text formatted by western values taken from complex ones (and
// back); writing modes and alignment turned; notes, headers and cells; hostile parts refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "docscript.h"
#include "document_builders.h"
#include "file_io.h"
#include "test_util.h"

namespace {

namespace ds = uy::docscript;
namespace sc = uy::script;
using uytest::TempDir;

constexpr auto kUey = sc::Script::Uey, kUly = sc::Script::Uly, kUky = sc::Script::Uky;

const std::string kNs =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
    " xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\""
    " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\"";

std::string Content(const std::string& automatic, const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content" + kNs +
         "><office:automatic-styles>" + automatic + "</office:automatic-styles><office:body>" + body +
         "</office:body></office:document-content>";
}

std::string Styles(const std::string& common, const std::string& automatic = "", const std::string& master = "") {
  return "<office:document-styles" + kNs + "><office:styles>" + common + "</office:styles><office:automatic-styles>" +
         automatic + "</office:automatic-styles><office:master-styles>" + master +
         "</office:master-styles></office:document-styles>";
}

// Common styles as a Uyghur writer sets them: complex size and language by default, the
// standard paragraph right to left.
const std::string kCommon =
    R"(<style:default-style style:family="paragraph"><style:text-properties fo:font-size="12pt" )"
    R"(style:font-size-complex="14pt" style:language-complex="ug" style:country-complex="CN"/></style:default-style>)"
    R"(<style:style style:name="Standard" style:family="paragraph"><style:paragraph-properties )"
    R"(style:writing-mode="rl-tb" fo:text-align="end"/></style:style>)"
    R"(<style:style style:name="Strong" style:family="text"><style:text-properties style:font-weight-complex="bold"/></style:style>)";

std::string Odf(const std::string& mimetype, const std::string& content, const std::string& styles) {
  return uytest::MakeZip({{"mimetype", "application/vnd.oasis.opendocument." + mimetype, true},
                          {"content.xml", content},
                          {"styles.xml", styles},
                          {"META-INF/manifest.xml", "<manifest/>"}});
}

std::string PartOf(const std::filesystem::path& file, const std::string& name) {
  for (const auto& e : uytest::ReadZip(file))
    if (e.name == name) return e.data;
  ADD_FAILURE() << name << " missing";
  return {};
}

ds::ConvertOptions To(sc::Script from, sc::Script to) {
  ds::ConvertOptions o;
  o.from = from;
  o.to = to;
  o.words = &sc::WordList::BuiltIn();
  return o;
}

struct Case {
  const char* what;
  const char* mimetype;
  sc::Script from, to;
  std::string automatic, body, expected_automatic, expected_body;
};

const std::string kToLatin = R"( fo:language="ug" fo:script="Latn" style:rfc-language-tag="ug-Latn")";

const Case kCases[] = {
    {"a word across two spans keeps each letter's formatting; spans take new styles, plain text gets one",
     "text", kUey, kUly,
     R"(<style:style style:name="T1" style:family="text"><style:text-properties fo:color="#ff0000" style:font-style-complex="italic"/></style:style>)",
     R"(<office:text><text:p text:style-name="Standard">سا<text:span text:style-name="Strong">ئەت</text:span> <text:span text:style-name="T1">ئانار</text:span></text:p></office:text>)",
     R"(<style:style style:name="T1" style:family="text"><style:text-properties fo:color="#ff0000" style:font-style-complex="italic"/></style:style>)"
     R"(<style:style style:name="uyT1" style:family="text"><style:text-properties fo:font-weight="normal" fo:font-style="normal" fo:font-size="14pt")" + kToLatin + "/></style:style>"
     R"(<style:style style:name="uyT2" style:family="text" style:parent-style-name="Strong"><style:text-properties fo:font-weight="bold" fo:font-style="normal" fo:font-size="14pt")" + kToLatin + "/></style:style>"
     R"(<style:style style:name="uyT3" style:family="text"><style:text-properties fo:color="#ff0000" style:font-style-complex="italic" fo:font-weight="normal" fo:font-style="italic" fo:font-size="14pt")" + kToLatin + "/></style:style>",
     R"(<office:text><text:p text:style-name="Standard"><text:span text:style-name="uyT1">sa</text:span><text:span text:style-name="uyT2">'et</text:span> <text:span text:style-name="uyT3">anar</text:span></text:p></office:text>)"},
    {"a note's body is a paragraph of its own; spaces, tabs, fields and kept words stay", "text", kUey, kUky, "",
     R"(<office:text><text:h>ئانار<text:note text:note-class="footnote"><text:note-citation>1</text:note-citation><text:note-body><text:p>بار</text:p></text:note-body></text:note><text:s text:c="1000000000"/>2015<text:tab/>Qt<text:page-number>3</text:page-number></text:h></office:text>)",
     R"(<style:style style:name="uyT1" style:family="text"><style:text-properties fo:font-weight="normal" fo:font-style="normal" fo:font-size="14pt" fo:language="ug" fo:script="Cyrl" style:rfc-language-tag="ug-Cyrl"/></style:style>)",
     R"(<office:text><text:h><text:span text:style-name="uyT1">анар</text:span><text:note text:note-class="footnote"><text:note-citation>1</text:note-citation><text:note-body><text:p><text:span text:style-name="uyT1">бар</text:span></text:p></text:note-body></text:note><text:s text:c="1000000000"/>2015<text:tab/>Qt<text:page-number>3</text:page-number></text:h></office:text>)"},
    {"the way back: western values become complex ones; directions turn, text goes to the right edge", "text", kUly, kUey,
     R"(<style:style style:name="P1" style:family="paragraph"><style:paragraph-properties fo:text-align="left" style:writing-mode="lr-tb"/></style:style>)"
     R"(<style:style style:name="Tb" style:family="table"><style:table-properties style:width="6in"/></style:style>)"
     R"(<style:style style:name="B" style:family="text"><style:text-properties fo:font-weight="bold" fo:language="ug" fo:script="Latn"/></style:style>)",
     R"(<office:text><table:table table:style-name="Tb"><table:table-row><table:table-cell><text:p text:style-name="P1"><text:span text:style-name="B">anar</text:span> 2015</text:p></table:table-cell></table:table-row></table:table></office:text>)",
     R"(<style:style style:name="P1" style:family="paragraph"><style:paragraph-properties fo:text-align="end" style:writing-mode="rl-tb"/></style:style>)"
     R"(<style:style style:name="Tb" style:family="table"><style:table-properties style:width="6in" style:writing-mode="rl-tb"/></style:style>)"
     R"(<style:style style:name="B" style:family="text"><style:text-properties fo:font-weight="bold" fo:language="ug" fo:script="Latn"/></style:style>)"
     R"(<style:style style:name="uyT1" style:family="text"><style:text-properties fo:font-weight="bold" fo:language="ug" fo:script="Latn" style:font-weight-complex="bold" style:font-style-complex="normal" style:font-size-complex="12pt" style:language-complex="ug" style:country-complex="CN"/></style:style>)",
     R"(<office:text><table:table table:style-name="Tb"><table:table-row><table:table-cell><text:p text:style-name="P1"><text:span text:style-name="uyT1">ئانار</text:span> 2015</text:p></table:table-cell></table:table-row></table:table></office:text>)"},
    {"Latin to Cyrillic: the text and the language's script only", "text", kUly, kUky,
     R"(<style:style style:name="L" style:family="text"><style:text-properties fo:language="ug" fo:script="Latn"/></style:style>)",
     R"(<office:text><text:p><text:span text:style-name="L">anar</text:span>bar</text:p></office:text>)",
     R"(<style:style style:name="L" style:family="text"><style:text-properties fo:language="ug" fo:script="Latn"/></style:style>)"
     R"(<style:style style:name="uyT1" style:family="text"><style:text-properties fo:language="ug" fo:script="Cyrl" style:rfc-language-tag="ug-Cyrl"/></style:style>)",
     R"(<office:text><text:p><text:span text:style-name="uyT1">анар</text:span>бар</text:p></office:text>)"},
    {"sheet: right-to-left tables turn, cells take their column's default style", "spreadsheet", kUey, kUly,
     R"(<style:style style:name="ta1" style:family="table"><style:table-properties style:writing-mode="rl-tb"/></style:style>)"
     R"(<style:style style:name="ce1" style:family="table-cell"><style:text-properties style:font-weight-complex="bold"/></style:style>)",
     R"(<office:spreadsheet><table:table table:style-name="ta1"><table:table-column table:number-columns-repeated="2"/><table:table-column table:default-cell-style-name="ce1"/><table:table-row><table:table-cell table:number-columns-repeated="2"/><table:table-cell><text:p>بار</text:p></table:table-cell><table:table-cell office:value-type="float"><text:p>42</text:p></table:table-cell></table:table-row></table:table></office:spreadsheet>)",
     R"(<style:style style:name="ta1" style:family="table"><style:table-properties style:writing-mode="lr-tb"/></style:style>)"
     R"(<style:style style:name="ce1" style:family="table-cell"><style:text-properties style:font-weight-complex="bold"/></style:style>)"
     R"(<style:style style:name="uyT1" style:family="text"><style:text-properties fo:font-weight="bold" fo:font-style="normal" fo:font-size="14pt")" + kToLatin + "/></style:style>",
     R"(<office:spreadsheet><table:table table:style-name="ta1"><table:table-column table:number-columns-repeated="2"/><table:table-column table:default-cell-style-name="ce1"/><table:table-row><table:table-cell table:number-columns-repeated="2"/><table:table-cell><text:p><text:span text:style-name="uyT1">bar</text:span></text:p></table:table-cell><table:table-cell office:value-type="float"><text:p>42</text:p></table:table-cell></table:table-row></table:table></office:spreadsheet>)"},
    {"slides: text in a shape takes its presentation style's values", "presentation", kUey, kUly,
     R"(<style:style style:name="pr1" style:family="presentation"><style:text-properties style:font-size-complex="32pt"/></style:style>)",
     R"(<office:presentation><draw:page><draw:frame presentation:style-name="pr1"><draw:text-box><text:p>ماۋزۇ</text:p></draw:text-box></draw:frame></draw:page></office:presentation>)",
     R"(<style:style style:name="pr1" style:family="presentation"><style:text-properties style:font-size-complex="32pt"/></style:style>)"
     R"(<style:style style:name="uyT1" style:family="text"><style:text-properties fo:font-weight="normal" fo:font-style="normal" fo:font-size="32pt")" + kToLatin + "/></style:style>",
     R"(<office:presentation><draw:page><draw:frame presentation:style-name="pr1"><draw:text-box><text:p><text:span text:style-name="uyT1">mawzu</text:span></text:p></draw:text-box></draw:frame></draw:page></office:presentation>)"},
};

class OdfTest : public ::testing::TestWithParam<Case> {};

TEST_P(OdfTest, Converts) {
  const Case& c = GetParam();
  TempDir dir;
  uytest::WriteFile(dir / "in.od", Odf(c.mimetype, Content(c.automatic, c.body), Styles(kCommon)));
  ds::ConvertDocument(dir / "in.od", dir / "out.od", To(c.from, c.to));
  EXPECT_EQ(PartOf(dir / "out.od", "content.xml"), Content(c.expected_automatic, c.expected_body));
}

INSTANTIATE_TEST_SUITE_P(Cases, OdfTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// styles.xml: headers and footers are converted, page layouts and paragraph styles turn, the
// new styles go where automatic styles go (made when missing); other parts stay as they were.
TEST(DocScriptOdf, StylesPartAndTheWayBack) {
  const std::string master =
      R"(<style:master-page style:name="Standard"><style:header><text:p>بەت</text:p></style:header></style:master-page>)";
  const std::string layout = R"(<style:page-layout style:name="pm1"><style:page-layout-properties style:writing-mode="rl-tb"/></style:page-layout>)";
  const std::string styles = Styles(kCommon, layout, master);
  const std::string content = "<office:document-content" + kNs + "><office:body><office:text><text:p>ئانار</text:p></office:text></office:body></office:document-content>";
  TempDir dir;
  uytest::WriteFile(dir / "in.odt", Odf("text", content, styles));
  ds::ConvertOptions o;
  o.to = kUly;
  EXPECT_EQ(ds::ConvertDocument(dir / "in.odt", dir / "out.odt", o).from, kUey);
  const std::string out = PartOf(dir / "out.odt", "styles.xml");
  for (const char* s : {R"(<style:page-layout-properties style:writing-mode="lr-tb"/>)",
                        R"(style:writing-mode="lr-tb" fo:text-align="start")", "<text:span text:style-name=\"uyT", ">bet</text:span>"})
    EXPECT_NE(out.find(s), std::string::npos) << s << "\n" << out;
  const std::string converted = PartOf(dir / "out.odt", "content.xml");
  EXPECT_NE(converted.find("<office:automatic-styles><style:style style:name=\"uyT"), std::string::npos) << converted;
  EXPECT_NE(converted.find(">anar</text:span>"), std::string::npos) << converted;
  const auto parts = uytest::ReadZip(dir / "out.odt");
  EXPECT_EQ(parts[0].name, "mimetype");
  EXPECT_EQ(parts[0].method, ZIP_CM_STORE);
  // And back: the same text, right to left again.
  o.to = kUey;
  ds::ConvertDocument(dir / "out.odt", dir / "back.odt", o);
  const std::string back = PartOf(dir / "back.odt", "styles.xml");
  EXPECT_NE(back.find(R"(<style:page-layout-properties style:writing-mode="rl-tb"/>)"), std::string::npos) << back;
  EXPECT_NE(back.find(">بەت</text:span>"), std::string::npos) << back;
  EXPECT_NE(PartOf(dir / "back.odt", "content.xml").find(">ئانار</text:span>"), std::string::npos);
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(DocScriptOdf, HostilePartsAreRefusedByName) {
  const std::string styles = Styles(kCommon);
  const std::pair<std::string, std::string> cases[] = {
      {Odf("text", Content("", "<office:text><text:p>ئانار</office:text>"), styles),
       "content.xml: an XML part is not well-formed"},
      {Odf("text", "<!DOCTYPE d [<!ENTITY a \"ئانار\">]><d>&a;</d>", styles), "document type declaration"},
      {Odf("text", Content("", "<office:text><text:p><![CDATA[ئانار]]></text:p></office:text>"), styles), "CDATA"},
      {Odf("text", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + Content("", "").substr(39), styles), "not in UTF-8"},
      {Odf("text", Content("", "<office:text><text:p>ئانار</text:p></office:text>"), "<x><y></x>"),
       "styles.xml: an XML part is not well-formed"},
      {Odf("text", Content("", Repeat("<text:span>", 300) + Repeat("</text:span>", 300)), styles),
       "nests elements more than 256 deep"},
      {Odf("text", Content("", "<office:text><text:p>" + Repeat("<text:span>ئا</text:span>", 70000) + "</text:p></office:text>"), styles),
       "more than 65536 runs"},
  };
  for (const auto& [bytes, reason] : cases) {
    TempDir dir;
    uytest::WriteFile(dir / "in.odt", bytes);
    ds::ConvertOptions o;
    o.to = kUly;
    try {
      ds::ConvertDocument(dir / "in.odt", dir / "out.odt", o);
      ADD_FAILURE() << "converted: " << reason;
    } catch (const uy::FileError& e) {
      EXPECT_NE(std::string(e.what()).find((dir / "in.odt").string()), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{"in.odt"});
  }
}

}  // namespace
