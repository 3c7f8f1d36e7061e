// SPDX-License-Identifier: GPL-3.0-or-later
// HTML pages between the scripts: paragraph text converted across inline tags, references
// decoded and kept, direction, alignment and language turned, the page's charset kept;
// hostile pages refused by name.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "docscript.h"
#include "file_io.h"
#include "html_walk.h"
#include "test_util.h"

namespace {

namespace ds = uy::docscript;
namespace sc = uy::script;
namespace fs = std::filesystem;
using uytest::TempDir;

constexpr auto kUey = sc::Script::Uey, kUly = sc::Script::Uly, kUky = sc::Script::Uky;
constexpr std::optional<sc::Script> kTold;  // no --from: told from the page

ds::ConvertOptions To(std::optional<sc::Script> from, sc::Script to) {
  ds::ConvertOptions o;
  o.from = from;
  o.to = to;
  o.words = &sc::WordList::BuiltIn();
  return o;
}

struct PageCase {
  const char* what;
  std::optional<sc::Script> from;
  sc::Script to;
  std::string page, expected;
};

const std::string k1256 = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1256\"></head>";

const PageCase kPages[] = {
    {"a word across inline tags keeps its letters' tags; dir, align and CSS turn", kTold, kUly,
     R"(<!DOCTYPE html><body dir="rtl"><p dir=RTL align="right" style="direction:rtl; text-align: right">سا<b>ئەت</b>
&amp; ئانار 2015 Qt.</p></body>)",
     "<!DOCTYPE html><body dir=\"ltr\"><p dir=ltr align=\"left\" style=\"direction:ltr; text-align: left\">Sa<b>'et</b>\n"
     "&amp; anar 2015 \u200BQt\uFEFF.</p></body>"},
    {"references decoded for the conversion, kept where the letter stayed; unknown ones stay", kUey, kUly,
     "<p>&#1575;&#x646;&#1575;&#1585;&nbsp;&#128512;&foo;\u0628\u0627\u0631</p>",
     "<p>anar&nbsp;&#128512;&foo;bar</p>"},
    {"style sheets turn; scripts, comments and attributes stay; the title converts", kUey, kUky,
     "<html lang=\"ug\"><head><title>ئانار</title><style>p{direction:rtl;text-align:right;flex-direction:row}</style>"
     "<script>s=\"<p>ئانار</p>\"</script></head><!-- ئانار --><p title=\"ئانار\" xml:lang=\"ug-CN\">ئانار</p></html>",
     "<html lang=\"ug-Cyrl\"><head><title>анар</title><style>p{direction:ltr;text-align:left;flex-direction:row}</style>"
     "<script>s=\"<p>ئانار</p>\"</script></head><!-- ئانار --><p title=\"ئانار\" xml:lang=\"ug-Cyrl\">анар</p></html>"},
    {"the way back: the body right to left, left alignment to the right, inline Latin stays left to right; a note number is no text", kTold, kUey,
     "<html><body><p align=left>anar<a href=\"#sdfootnote1sym\"><sup>1</sup></a> &lt;bar&gt;</p><td>x &amp; y "
     "<span dir=ltr style=\"direction:ltr\">\u200BQt\uFEFF</span></td></body></html>",
     "<html><body dir=\"rtl\"><p align=right>\u0626\u0627\u0646\u0627\u0631<a href=\"#sdfootnote1sym\"><sup>1</sup></a> "
     "&lt;\u0628\u0627\u0631&gt;</p><td>\u062E &amp; \u064A <span dir=ltr style=\"direction:ltr\">Qt</span></td></body></html>"},
    {"Word's page: unquoted and single-quoted attributes, its style sheet in a comment, conditional comments", kTold, kUly,
     "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=windows-1256\"><style><!--\np.MsoNormal\n"
     "\t{direction:RTL;\n\ttext-align:right;}\n--></style><!--[if gte mso 9]><xml><w:x>\xC7</w:x></xml><![endif]--></head>"
     "<body lang=EN-US dir=RTL><p class=MsoNormal align=right dir=RTL style='text-align:right;direction:rtl;unicode-bidi:embed'>"
     "<![if !supportLists]><span lang=UG style='font-family:\"UKIJ Tuz\"'>\xC7\xE4<b>\xC7\xD1</b><o:p></o:p></span></p></body></html>",
     "<html><head><meta http-equiv=Content-Type content=\"text/html; charset=windows-1256\"><style><!--\np.MsoNormal\n"
     "\t{direction:ltr;\n\ttext-align:left;}\n--></style><!--[if gte mso 9]><xml><w:x>\xC7</w:x></xml><![endif]--></head>"
     "<body lang=EN-US dir=ltr><p class=MsoNormal align=left dir=ltr style='text-align:left;direction:ltr;unicode-bidi:embed'>"
     "<![if !supportLists]><span lang=ug-Latn style='font-family:\"UKIJ Tuz\"'>an<b>ar</b><o:p></o:p></span></p></body></html>"},
    {"Latin to Cyrillic: text and language only", kUly, kUky,
     R"(<div dir="ltr" lang="ug-Latn"><span lang="ug-latn">anar</span></div>)",
     R"(<div dir="ltr" lang="ug-Cyrl"><span lang="ug-Cyrl">анар</span></div>)"},
    {"a legacy charset: letters it lacks as references", kUey, kUly,
     k1256 + "<p>\xC6\xC7\xE4\xC7\xD1 \xC6&#1734;\xED</p>", k1256 + "<p>anar &#246;y</p>"},
    {"a legacy charset: the way back writes its bytes", kUly, kUey, k1256 + "<p>anar &ouml;y</p>",
     k1256 + "<p>\xC6\xC7\xE4\xC7\xD1 \xC6&#1734;\xED</p>"},
};

class PageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageTest, Converts) {
  const PageCase& c = GetParam();
  TempDir dir;
  uytest::WriteFile(dir / "in.html", c.page);
  ds::ConvertDocument(dir / "in.html", dir / "out.html", To(c.from, c.to));
  EXPECT_EQ(uytest::ReadFile(dir / "out.html"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PageTest, ::testing::ValuesIn(kPages),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(DocScriptHtml, TypeByContentOrName) {
  const std::tuple<const char*, std::string, ds::DocumentType> cases[] = {
      {"a.txt", "\xEF\xBB\xBF <!-- x -->\n<!doctype HTML>", ds::DocumentType::kHtml},
      {"a", "<HTML xmlns:o=\"urn:x\">", ds::DocumentType::kHtml},
      {"a.HTM", "  <p>", ds::DocumentType::kHtml},
      {"a.txt", "<p>", ds::DocumentType::kNone},
      {"a.html", "text <p>", ds::DocumentType::kNone},
  };
  TempDir dir;
  for (const auto& [name, head, type] : cases) {
    uytest::WriteFile(dir / name, head);
    EXPECT_EQ(ds::TypeOf(dir / name), type) << name << " " << head;
  }
}

// LibreOffice's page (right to left, right aligned, ug-CN, a word half bold and half italic)
// to Latin and Cyrillic, and back to the same bytes.
TEST(DocScriptHtml, LibreOfficePageAndBack) {
  const fs::path in = fs::path(UY_TEST_DATA) / "docscript" / "writer.html";
  const std::string original = uytest::ReadFile(in);
  const std::pair<sc::Script, std::vector<std::string>> targets[] = {
      {kUly, {"<b>mek</b><i>tepke</i>", "<b>Uyghur\ntili we yëziqi</b>", "dir=\"ltr\"", "lang=\"ug-Latn\">mëwe<",
              ">Izahatning\n\ttëkisti<"}},
      {kUky, {"<b>мәк</b><i>тәпкә</i>", "dir=\"ltr\"", "lang=\"ug-Cyrl\">мевә<"}},
  };
  for (const auto& [to, expected] : targets) {
    TempDir dir;
    const ds::ConvertSummary s = ds::ConvertDocument(in, dir / "out.html", To(kTold, to));
    EXPECT_EQ(s.from, kUey);
    const std::string out = uytest::ReadFile(dir / "out.html");
    for (const std::string& e : expected) EXPECT_NE(out.find(e), std::string::npos) << e << "\n" << out;
    for (const char* gone : {"dir=\"rtl\"", "align=\"right\"", "ug-CN"}) EXPECT_EQ(out.find(gone), std::string::npos) << gone;
    ds::ConvertDocument(dir / "out.html", dir / "back.html", To(to, kUey));
    EXPECT_EQ(uytest::ReadFile(dir / "back.html"), original);
  }
}

TEST(DocScriptHtml, RefusalsNameThePageAndLeaveTheOutput) {
  const std::pair<std::string, std::string> cases[] = {
      {"<html><p>ئانار</p><p class=\"x", "a tag at byte 23 is not closed"},
      {"<html><p>ئانار</p><!-- x", "a comment at byte 23 is not closed"},
      {"<html><p>ئانار</p><script>x", "a <script> element at byte 23 is not closed"},
      {"<html><p" + [] { std::string a; for (int i = 0; i < 5000; ++i) a += " a"; return a; }() + ">ئانار</p>", "more than 4096 attributes"},
      {std::string("\xFF\xFE<\0h\0t\0m\0l\0>\0", 14), "UTF-16"},
      {"<html><meta charset=\"x-nothing\"><p>ئانار</p>", "charset \"x-nothing\""},
      {"<html><meta charset=\"utf-7\"><p>ئانار</p>", "charset \"utf-7\""},
      {"<html><meta charset=\"utf-8\"><p>\xC7\xE4</p>", "not valid UTF-8 in the text at byte 31"},
      {"<html><p>\xC7\xE4</p>", "declares no charset and is not UTF-8"},
      {"<html><p>anar</p>", "in Latin already"},
      {"<html><p>2015</p>", "no letters"},
  };
  for (const auto& [bytes, reason] : cases) {
    TempDir dir;
    uytest::WriteFile(dir / "in.html", bytes);
    uytest::WriteFile(dir / "out.html", "old");
    try {
      ds::ConvertDocument(dir / "in.html", dir / "out.html", To(kTold, kUly));
      ADD_FAILURE() << "converted: " << reason;
    } catch (const uy::FileError& e) {
      EXPECT_NE(std::string(e.what()).find((dir / "in.html").string()), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(uytest::ReadFile(dir / "out.html"), "old");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.html", "out.html"}));
  }
  // A page past the size limit is refused before it is read.
  TempDir dir;
  uytest::WriteFile(dir / "big.html", "<html>");
  fs::resize_file(dir / "big.html", ds::kMaxHtml + 1);
  EXPECT_THROW(ds::ConvertDocument(dir / "big.html", dir / "out.html", To(kUey, kUly)), uy::FileError);
  EXPECT_FALSE(fs::exists(dir / "out.html"));
}

}  // namespace
