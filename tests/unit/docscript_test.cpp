// SPDX-License-Identifier: GPL-3.0-or-later
// Word documents between the scripts: paragraph text converted across runs, formatting and
// direction turned with the script, everything else copied; damaged documents refused.
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

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document "
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
const std::string kTail = "</w:body></w:document>";

std::string Part(const std::string& body) { return kHead + body + kTail; }

// A word-processing document whose main part holds `body`, with more parts after it.
std::string Docx(const std::string& body, std::vector<uytest::ZipPart> more = {}) {
  std::vector<uytest::ZipPart> parts{{"[Content_Types].xml", "<?xml version=\"1.0\"?><Types/>"},
                                     {"word/document.xml", Part(body)}};
  parts.insert(parts.end(), more.begin(), more.end());
  return uytest::MakeZip(parts);
}

std::string PartOf(const std::filesystem::path& docx, const std::string& name) {
  for (const auto& e : uytest::ReadZip(docx))
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

struct BodyCase {
  const char* what;
  sc::Script from, to;
  std::string body, expected;
};

constexpr auto kUey = sc::Script::Uey, kUly = sc::Script::Uly, kUky = sc::Script::Uky;

const BodyCase kBodies[] = {
    {"a word across two runs: its capital, carrier and formatting follow the letters", kUey, kUly,
     R"(<w:p><w:pPr><w:bidi/><w:jc w:val="right"/></w:pPr><w:r><w:rPr><w:bCs/><w:rtl/><w:lang w:val="en-US" w:bidi="ug-CN"/></w:rPr><w:t>سا</w:t></w:r><w:r><w:rPr><w:b/><w:rtl/><w:szCs w:val="28"/></w:rPr><w:t xml:space="preserve">ئەت ئانار. </w:t></w:r></w:p>)",
     R"(<w:p><w:pPr><w:jc w:val="left"/></w:pPr><w:r><w:rPr><w:b/><w:bCs/><w:lang w:val="ug-Latn"/></w:rPr><w:t>Sa</w:t></w:r><w:r><w:rPr><w:sz w:val="28"/><w:szCs w:val="28"/></w:rPr><w:t xml:space="preserve">'et anar. </w:t></w:r></w:p>)"},
    {"the way back: western values become complex ones, runs and paragraphs right to left", kUly, kUey,
     R"(<w:p><w:r><w:rPr><w:i/><w:sz w:val="24"/></w:rPr><w:t>anar</w:t></w:r><w:r><w:rPr/><w:t xml:space="preserve"> alma</w:t></w:r></w:p>)",
     R"(<w:p><w:pPr><w:bidi/></w:pPr><w:r><w:rPr><w:i/><w:iCs/><w:sz w:val="24"/><w:szCs w:val="24"/><w:rtl/></w:rPr><w:t>ئانار</w:t></w:r><w:r><w:rPr><w:rtl/></w:rPr><w:t xml:space="preserve"> ئالما</w:t></w:r></w:p>)"},
    {"kept words and numbers keep their run as it was; tabs and breaks stay", kUey, kUly,
     R"(<w:p><w:r><w:rPr><w:rtl/></w:rPr><w:t>ئانار</w:t><w:tab/><w:t>بار</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t xml:space="preserve"> Qt 2015</w:t><w:br/></w:r></w:p>)",
     "<w:p><w:r><w:rPr></w:rPr><w:t>anar</w:t><w:tab/><w:t>bar</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\"> "
     "\u200BQt\uFEFF 2015</w:t><w:br/></w:r></w:p>"},
    {"a text box is a paragraph of its own; field codes and tracked changes stay", kUey, kUly,
     R"(<w:p><w:r><w:rPr><w:rPrChange><w:rPr><w:rtl/></w:rPr></w:rPrChange></w:rPr><w:instrText>ئانار</w:instrText><w:drawing><w:txbxContent><w:p><w:r><w:t>بار</w:t></w:r></w:p></w:txbxContent></w:drawing><w:t>ئانار</w:t></w:r></w:p>)",
     R"(<w:p><w:r><w:rPr><w:rPrChange><w:rPr><w:rtl/></w:rPr></w:rPrChange></w:rPr><w:instrText>ئانار</w:instrText><w:drawing><w:txbxContent><w:p><w:r><w:t>bar</w:t></w:r></w:p></w:txbxContent></w:drawing><w:t>anar</w:t></w:r></w:p>)"},
    {"tables and sections turn, escapes stay escaped", kUey, kUky,
     R"(<w:tbl><w:tblPr><w:bidiVisual/><w:tblW w:w="0"/></w:tblPr><w:tr><w:tc><w:p><w:r><w:t>ئانار &amp; &lt;بار&gt;</w:t></w:r></w:p></w:tc></w:tr></w:tbl><w:sectPr><w:pgSz w:w="11906"/><w:bidi/></w:sectPr>)",
     R"(<w:tbl><w:tblPr><w:tblW w:w="0"/></w:tblPr><w:tr><w:tc><w:p><w:r><w:t>анар &amp; &lt;бар&gt;</w:t></w:r></w:p></w:tc></w:tr></w:tbl><w:sectPr><w:pgSz w:w="11906"/></w:sectPr>)"},
    {"Latin to Cyrillic: only the text and the language tag", kUly, kUky,
     R"(<w:p><w:r><w:rPr><w:b/><w:lang w:val="ug-Latn"/></w:rPr><w:t>anar</w:t></w:r></w:p><w:p/>)",
     R"(<w:p><w:r><w:rPr><w:b/><w:lang w:val="ug-Cyrl"/></w:rPr><w:t>анар</w:t></w:r></w:p><w:p/>)"},
    {"the way back puts new children where the schema wants them", kUly, kUey,
     R"(<w:p><w:pPr><w:pStyle w:val="a"/><w:jc w:val="right"/></w:pPr><w:r><w:rPr><w:rFonts w:ascii="x"/><w:lang w:val="ug-Latn"/></w:rPr><w:t>bar</w:t><w:t/></w:r></w:p>)",
     R"(<w:p><w:pPr><w:pStyle w:val="a"/><w:bidi/><w:jc w:val="left"/></w:pPr><w:r><w:rPr><w:rFonts w:ascii="x"/><w:rtl/><w:lang w:bidi="ug-CN"/></w:rPr><w:t>بار</w:t><w:t/></w:r></w:p>)"},
    {"deleted text converts where it comes back, beside the text around it; field instructions stay", kUey, kUly,
     R"(<w:p><w:r><w:t>سا</w:t></w:r><w:del><w:r><w:rPr><w:rtl/></w:rPr><w:delText>ئەت</w:delText></w:r></w:del><w:ins><w:r><w:t>ئانار</w:t></w:r></w:ins><w:r><w:instrText xml:space="preserve"> PAGE ئانار</w:instrText></w:r></w:p>)",
     R"(<w:p><w:r><w:t>sa</w:t></w:r><w:del><w:r><w:rPr></w:rPr><w:delText>'et</w:delText></w:r></w:del><w:ins><w:r><w:t>'anar</w:t></w:r></w:ins><w:r><w:instrText xml:space="preserve"> PAGE ئانار</w:instrText></w:r></w:p>)"},
};

class BodyTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(BodyTest, Converts) {
  const BodyCase& c = GetParam();
  TempDir dir;
  uytest::WriteFile(dir / "in.docx", Docx(c.body));
  ds::ConvertDocument(dir / "in.docx", dir / "out.docx", To(c.from, c.to));
  EXPECT_EQ(PartOf(dir / "out.docx", "word/document.xml"), Part(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, BodyTest, ::testing::ValuesIn(kBodies),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(DocScript, TextPartsConvertedOtherPartsCopiedInOrder) {
  TempDir dir;
  const std::string picture = uytest::RandomBytes(5000, 7);
  const std::string settings = "<w:settings xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                               "<w:t>ئانار</w:t></w:settings>";
  const std::string styles = Part(R"(<w:style><w:pPr><w:bidi/></w:pPr><w:rPr><w:bCs/><w:rtl/></w:rPr></w:style>)");
  uytest::WriteFile(dir / "in.docx", Docx("<w:p><w:r><w:t>بار</w:t></w:r></w:p>",
                                          {{"word/media/a.png", picture, true},
                                           {"word/header1.xml", Part("<w:p><w:r><w:t>ئانار</w:t></w:r></w:p>")},
                                           {"word/footnotes.xml", Part("<w:p><w:r><w:t>ئانار</w:t></w:r></w:p>")},
                                           {"word/settings.xml", settings},
                                           {"word/styles.xml", styles}}));
  // The script is told from the text.
  ds::ConvertOptions o;
  o.to = sc::Script::Uly;
  const ds::ConvertSummary s = ds::ConvertDocument(dir / "in.docx", dir / "out.docx", o);
  EXPECT_EQ(s.from, sc::Script::Uey);
  const auto out = uytest::ReadZip(dir / "out.docx");
  const std::vector<std::string> names{"[Content_Types].xml", "word/document.xml", "word/media/a.png",
                                       "word/header1.xml", "word/footnotes.xml", "word/settings.xml", "word/styles.xml"};
  ASSERT_EQ(out.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(out[i].name, names[i]);
  EXPECT_EQ(out[1].data, Part("<w:p><w:r><w:t>bar</w:t></w:r></w:p>"));
  EXPECT_EQ(out[2].data, picture);
  EXPECT_EQ(out[2].method, ZIP_CM_STORE);
  EXPECT_EQ(out[3].data, Part("<w:p><w:r><w:t>anar</w:t></w:r></w:p>"));
  EXPECT_EQ(out[4].data, Part("<w:p><w:r><w:t>anar</w:t></w:r></w:p>"));
  EXPECT_EQ(out[5].data, settings);
  EXPECT_EQ(out[6].data, Part(R"(<w:style><w:pPr></w:pPr><w:rPr><w:b/><w:bCs/></w:rPr></w:style>)"));
  // And back: styles turn right to left, only runs are marked so.
  o.to = sc::Script::Uey;
  EXPECT_EQ(ds::ConvertDocument(dir / "out.docx", dir / "back.docx", o).from, sc::Script::Uly);
  EXPECT_EQ(PartOf(dir / "back.docx", "word/styles.xml"),
            Part(R"(<w:style><w:pPr><w:bidi/></w:pPr><w:rPr><w:b/><w:bCs/></w:rPr></w:style>)"));
  EXPECT_EQ(PartOf(dir / "back.docx", "word/document.xml"),
            Part("<w:p><w:pPr><w:bidi/></w:pPr><w:r><w:rPr><w:rtl/></w:rPr><w:t>بار</w:t></w:r></w:p>"));
  // Latin to Cyrillic: told as Latin though the conversion first assumed the Arabic script.
  o.to = sc::Script::Uky;
  EXPECT_EQ(ds::ConvertDocument(dir / "out.docx", dir / "cyrillic.docx", o).from, sc::Script::Uly);
  EXPECT_EQ(PartOf(dir / "cyrillic.docx", "word/header1.xml"), Part("<w:p><w:r><w:t>анар</w:t></w:r></w:p>"));
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(DocScript, WorkbookStringsAndSheetDirection) {
  const std::string ns = " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
  auto sst = [&](const std::string& items) { return "<sst" + ns + ">" + items + "</sst>"; };
  auto sheet = [&](const std::string& view, const std::string& text) {
    return "<worksheet" + ns + "><sheetViews><sheetView workbookViewId=\"0\"" + view + "/></sheetViews><sheetData><row>"
           "<c t=\"inlineStr\"><is><t>" + text + "</t></is></c><c><v>2015</v></c></row></sheetData></worksheet>";
  };
  auto styles = [&](const char* order) {
    const char* edge = order[0] == '2' ? "right" : "left";
    return "<styleSheet" + ns + "><cellXfs><xf><alignment horizontal=\"" + edge + "\" readingOrder=\"" + order +
           "\"/></xf></cellXfs></styleSheet>";
  };
  TempDir dir;
  uytest::WriteFile(dir / "in.xlsx",
                    uytest::MakeZip({{"xl/workbook.xml", "<workbook" + ns + "/>"},
                                     {"xl/sharedStrings.xml", sst("<si><t>ئانار</t></si><si><r><rPr><b/></rPr><t>سا</t></r>"
                                                                  "<r><t>ئەت.</t></r><rPh><t>ئا</t></rPh></si>")},
                                     {"xl/worksheets/sheet1.xml", sheet(" rightToLeft=\"1\"", "بار")},
                                     {"xl/styles.xml", styles("2")}}));
  ds::ConvertDocument(dir / "in.xlsx", dir / "out.xlsx", To(kUey, kUly));
  // Rich text keeps its runs, the letters in the run they came from; phonetic runs stay.
  EXPECT_EQ(PartOf(dir / "out.xlsx", "xl/sharedStrings.xml"),
            sst("<si><t>anar</t></si><si><r><rPr><b/></rPr><t>Sa</t></r><r><t>'et.</t></r><rPh><t>ئا</t></rPh></si>"));
  EXPECT_EQ(PartOf(dir / "out.xlsx", "xl/worksheets/sheet1.xml"), sheet("", "bar"));
  EXPECT_EQ(PartOf(dir / "out.xlsx", "xl/styles.xml"), styles("1"));
  ds::ConvertDocument(dir / "out.xlsx", dir / "back.xlsx", To(kUly, kUey));
  EXPECT_EQ(PartOf(dir / "back.xlsx", "xl/worksheets/sheet1.xml"), sheet(" rightToLeft=\"1\"", "بار"));
  EXPECT_EQ(PartOf(dir / "back.xlsx", "xl/styles.xml"), styles("2"));
}

// A sheet's headers and footers: each section (&L &C &R) converts as a paragraph, the & codes
// (fields, fonts, sizes, &&) as they were.
TEST(DocScript, WorkbookHeadersAndFooters) {
  const std::string ns = " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
  auto sheet = [&](const std::string& header, const std::string& footer) {
    return "<worksheet" + ns + "><sheetData/><headerFooter differentFirst=\"1\"><oddHeader>" + header +
           "</oddHeader><firstFooter>" + footer + "</firstFooter></headerFooter></worksheet>";
  };
  struct Case {
    sc::Script from, to;
    std::string header, footer, header_out, footer_out;
  };
  const Case cases[] = {
      {kUey, kUly, R"(&amp;L&amp;"Arial,Bold"ئانار&amp;C&amp;P / &amp;N&amp;Rبار &amp;&amp; سا&amp;Bئەت)",
       "&amp;12ئانار &amp;D", R"(&amp;L&amp;"Arial,Bold"anar&amp;C&amp;P / &amp;N&amp;Rbar &amp;&amp; sa&amp;B'et)",
       "&amp;12anar &amp;D"},
      {kUly, kUey, "&amp;Lanar&amp;K00FF00&amp;Ubar", "&amp;Rsa&amp;Iet&amp;A", "&amp;Lئانار&amp;K00FF00&amp;Uبار",
       "&amp;Rسا&amp;Iەت&amp;A"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    uytest::WriteFile(dir / "in.xlsx", uytest::MakeZip({{"xl/workbook.xml", "<workbook" + ns + "/>"},
                                                        {"xl/worksheets/sheet1.xml", sheet(c.header, c.footer)}}));
    ds::ConvertDocument(dir / "in.xlsx", dir / "out.xlsx", To(c.from, c.to));
    EXPECT_EQ(PartOf(dir / "out.xlsx", "xl/worksheets/sheet1.xml"), sheet(c.header_out, c.footer_out));
  }
}

TEST(DocScript, SlidesTextDirectionAndLanguage) {
  auto slide = [](const std::string& paras) {
    return "<p:sld xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
           "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"><p:txBody>" + paras +
           "</p:txBody></p:sld>";
  };
  TempDir dir;
  uytest::WriteFile(dir / "in.pptx",
                    uytest::MakeZip({{"ppt/presentation.xml", "<p/>"},
                                     {"ppt/slides/slide1.xml",
                                      slide(R"(<a:p><a:pPr rtl="1" algn="r"/><a:r><a:rPr lang="ug-CN" b="1"/><a:t>سا</a:t></a:r>)"
                                            R"(<a:r><a:rPr lang="ug-CN"/><a:t>ئەت.</a:t></a:r><a:br/><a:fld type="slidenum"><a:t>2</a:t></a:fld></a:p>)"
                                            "<a:p><a:r><a:t>بار</a:t></a:r></a:p>")}}));
  ds::ConvertDocument(dir / "in.pptx", dir / "out.pptx", To(kUey, kUky));
  EXPECT_EQ(PartOf(dir / "out.pptx", "ppt/slides/slide1.xml"),
            slide(R"(<a:p><a:pPr algn="l"/><a:r><a:rPr lang="ug-Cyrl" b="1"/><a:t>Са</a:t></a:r>)"
                  R"(<a:r><a:rPr lang="ug-Cyrl"/><a:t>'әт.</a:t></a:r><a:br/><a:fld type="slidenum"><a:t>2</a:t></a:fld></a:p>)"
                  "<a:p><a:r><a:t>бар</a:t></a:r></a:p>"));
  // The way back: every paragraph right to left and aligned right.
  ds::ConvertDocument(dir / "out.pptx", dir / "back.pptx", To(kUky, kUey));
  EXPECT_EQ(PartOf(dir / "back.pptx", "ppt/slides/slide1.xml"),
            slide(R"(<a:p><a:pPr algn="r" rtl="1"/><a:r><a:rPr lang="ug-CN" b="1"/><a:t>سا</a:t></a:r>)"
                  R"(<a:r><a:rPr lang="ug-CN"/><a:t>ئەت.</a:t></a:r><a:br/><a:fld type="slidenum"><a:t>2</a:t></a:fld></a:p>)"
                  R"(<a:p><a:pPr rtl="1" algn="r"/><a:r><a:t>بار</a:t></a:r></a:p>)"));
}

// Documents written by LibreOffice (their letters in a legacy encoding, Arabic letters all
// the same) convert, open and lose their right-to-left marks.
TEST(DocScript, LibreOfficeDocuments) {
  TempDir dir;
  for (const std::string name : {"writer.docx", "calc.xlsx", "impress.pptx"}) {
    const std::filesystem::path in = std::filesystem::path(UY_TEST_DATA) / "formats" / name;
    const ds::ConvertSummary s = ds::ConvertDocument(in, dir / name, To(kUey, kUly));
    EXPECT_GT(s.runs_changed, 0u) << name;
    for (const auto& part : uytest::ReadZip(dir / name)) {
      EXPECT_EQ(part.data.find("<w:bidi w:val=\"1\""), std::string::npos) << name << " " << part.name;
      EXPECT_EQ(part.data.find("<w:rtl"), std::string::npos) << name << " " << part.name;
      EXPECT_EQ(part.data.find("rtl=\"1\""), std::string::npos) << name << " " << part.name;
    }
  }
}

TEST(DocScript, RefusalsNameTheDocumentAndLeaveTheOutput) {
  const std::string docx = Docx("<w:p><w:r><w:t>ئانار</w:t></w:r></w:p>");
  const std::string sheet_ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
  const std::pair<std::string, std::string> cases[] = {
      {std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'), "save it as .docx, .xlsx or .pptx first"},
      {docx.substr(0, docx.size() / 2), "end of directory"},
      {"junk" + docx, "self-extracting"},
      {Docx("<w:p><w:r><w:t>ئانار</w:r></w:p>"), "word/document.xml: an XML part is not well-formed"},
      {uytest::MakeZip({{"word/document.xml", "<!DOCTYPE d [<!ENTITY a \"ئانار\">]><d>&a;</d>"}}),
       "document type declaration"},
      {uytest::MakeZip({{"mimetype", "application/vnd.oasis.opendocument.text"}}), "no letters to tell the script from"},
      {uytest::MakeZip({{"a.txt", "x"}}), "no office document"},
      {Docx("<w:p><w:r><w:t>anar</w:t></w:r></w:p>"), "in Latin already"},
      {Docx(Repeat("<w:sdt>", 300) + Repeat("</w:sdt>", 300)), "nests elements more than 256 deep"},
      {Docx("<w:p>" + Repeat("<w:r/>", 70000) + "</w:p>"), "more than 65536 runs"},
      {uytest::MakeZip({{"xl/workbook.xml", "<workbook " + sheet_ns + "/>"},
                        {"xl/sharedStrings.xml", "<sst " + sheet_ns + "><si><t>ئانار</t></si></sst>"},
                        {"xl/worksheets/sheet1.xml", "<worksheet " + sheet_ns + "><headerFooter><oddHeader>" +
                                                         Repeat("&amp;B", 70000) + "</oddHeader></headerFooter></worksheet>"}}),
       "header or footer has more than 65536"},
  };
  for (const auto& [bytes, reason] : cases) {
    TempDir dir;
    uytest::WriteFile(dir / "in.docx", bytes);
    uytest::WriteFile(dir / "out.docx", "old");
    ds::ConvertOptions o;
    o.to = sc::Script::Uly;
    try {
      ds::ConvertDocument(dir / "in.docx", dir / "out.docx", o);
      ADD_FAILURE() << "converted: " << reason;
    } catch (const uy::FileError& e) {
      EXPECT_NE(std::string(e.what()).find((dir / "in.docx").string()), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(uytest::ReadFile(dir / "out.docx"), "old");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.docx", "out.docx"}));
  }
}

}  // namespace
