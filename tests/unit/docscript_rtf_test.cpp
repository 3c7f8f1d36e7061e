// SPDX-License-Identifier: GPL-3.0-or-later
// Rich text between the scripts: paragraphs converted across groups, notes on their own,
// formatting and direction turned, text written back as the file writes it; hostile documents
// refused; LibreOffice's document there and back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "docscript.h"
#include "document_error.h"
#include "file_io.h"
#include "rtf_script.h"
#include "test_util.h"
#include "utf.h"

namespace {

namespace ds = uy::docscript;
namespace sc = uy::script;
using uy::formats::DocumentError;

constexpr auto kUey = sc::Script::Uey, kUly = sc::Script::Uly, kUky = sc::Script::Uky;

sc::Options Pair(sc::Script from, sc::Script to) {
  sc::Options o;
  o.from = from;
  o.to = to;
  o.words = &sc::WordList::BuiltIn();
  return o;
}

std::string Rtf(const std::string& body) { return "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}" + body + "}"; }

struct Case {
  const char* what;
  sc::Script from, to;
  std::string in, out;
};

const Case kCases[] = {
    {"a word across two groups: capital, carrier and each letter's complex formatting as western", kUey, kUly,
     Rtf(R"(\pard\qr\rtlpar{\rtlch\ab\afs28 \u1587?\u1575?}{\rtlch\ai \u1574?\u1749?\u1578?} {\cf2 \u1574?\u1575?\u1606?\u1575?\u1585?}.\par)"),
     Rtf(R"(\pard\ql\ltrpar{\rtlch\ab\afs28 {\ltrch\b\fs28 Sa}}{\rtlch\ai {\ltrch\i 'et}} {\cf2 anar}.\par)")},
    {"the way back: western formatting as complex, right to left and aligned right", kUly, kUey,
     Rtf(R"(\pard\ltrpar\qr{\b\fs32 anar} {\i bar}\par)"),
     Rtf(R"(\pard\rtlpar\qr{\b\fs32 {\rtlch\ab\afs32 \u1574?\u1575?\u1606?\u1575?\u1585?}} {\i {\rtlch\ai \u1576?\u1575?\u1585?}}\rtlpar\par)")},
    {"a note is a paragraph of its own; a field's result converts, its instruction and other destinations stay",
     kUey, kUly,
     Rtf(R"({\*\generator \u1576?;}\u1574?\u1575?{\*\footnote \pard\rtlpar \u1576?\u1575?\u1585?\par}\u1606?\u1575?\u1585? {\field{\*\fldinst HYPERLINK "\u1576?"}{\fldrslt \u1576?\u1575?\u1585?}}\par)"),
     Rtf(R"({\*\generator \u1576?;}a{\*\footnote \pard\ltrpar bar\par}nar {\field{\*\fldinst HYPERLINK "\u1576?"}{\fldrslt bar}}\par)")},
    {"code-page bytes: the document's and a font's character set", kUey, kUly,
     R"({\rtf1\ansi\ansicpg1256 \'c6\'c7\'e4\'c7\'d1 {\fonttbl{\f1\fcharset178 X;}}{\f1\ansicpg1252 \'c8\'c7\'d1}\par})",
     R"({\rtf1\ansi\ansicpg1256 anar {\fonttbl{\f1\fcharset178 X;}}{\f1\ansicpg1252 bar}\par})"},
    {"fallbacks as \\uc says; a huge one gets a group of \\uc1; a control word keeps its delimiter", kUly, kUey,
     Rtf(R"({\uc0\rtlch anar} {\uc2\rtlch bar} {\uc99\rtlch bar}{\rtlch\b0 bar})"),
     Rtf(R"({\uc0\rtlch \u1574 \u1575 \u1606 \u1575 \u1585 } {\uc2\rtlch \u1576??\u1575??\u1585??} {\uc99\rtlch {\uc1 \u1576?\u1575?\u1585?}}{\rtlch\b0 \u1576?\u1575?\u1585?})")},
    {"escaped and special characters stay; kept Latin words are marked", kUey, kUly,
     Rtf(R"(\u1576?\u1575?\u1585?\tab \{Qt\}\\\~2015)"),
     Rtf(R"(bar\tab \{\u8203?Qt\u-257?\}\\\~2015)")},
    {"paragraph styles, sections, rows and the document turn; left-to-right paragraphs keep their alignment", kUey,
     kUly,
     Rtf(R"({\stylesheet{\s1\qr\rtlpar Normal;}{\s2\qr\ltrpar Left;}}\rtldoc\sectd\rtlsect\trowd\taprtl\rtlrow \pard\intbl\rtlpar\qr \u1576?\u1575?\u1585?\cell\row\pard\qr\ltrpar 2015\par)"),
     Rtf(R"({\stylesheet{\s1\ql\ltrpar Normal;}{\s2\qr\ltrpar Left;}}\ltrdoc\sectd\ltrsect\trowd\ltrrow\ltrrow \pard\intbl\ltrpar\ql bar\cell\row\pard\qr\ltrpar 2015\par)")},
    {"the way back turns sections and rows after their resets; a paragraph not aligned is aligned right", kUky, kUey,
     Rtf(R"(\sectd\ltrsect\trowd\pard\ltrpar\qc\rtlch \u1072?\u1085?\u1072?\u1088?\par\pard \u1072?\par)"),
     Rtf(R"(\sectd\rtlsect\rtlsect\trowd\rtlrow\pard\rtlpar\qc\rtlch \u1574?\u1575?\u1606?\u1575?\u1585?\rtlpar\par\pard \u1574?\u1575?\rtlpar\qr\par)")},
    {"Latin to Cyrillic: the text only", kUly, kUky, Rtf(R"(\pard\ltrpar{\b anar}\par)"),
     Rtf(R"(\pard\ltrpar{\b \u1072?\u1085?\u1072?\u1088?}\par)")},
};

TEST(DocScriptRtf, Conversions) {
  for (const Case& c : kCases) {
    std::string out;
    try {
      out = ds::ConvertRtfText(c.in, Pair(c.from, c.to));
    } catch (const DocumentError& e) {
      ADD_FAILURE() << c.what << ": " << e.what();
      continue;
    }
    EXPECT_EQ(out, c.out) << c.what;
  }
}

TEST(DocScriptRtf, HostileDocumentsRefused) {
  const std::pair<std::string, const char*> cases[] = {
      {"{\\rtf1 " + std::string(5000, '{'), "nested deeper than 1000"},
      {"{\\rtf1 {\\b \\u1576?}", "groups are not closed"},
      {"{\\rtf1 \\bin99999 ab}", "past the end"},
      {"{\\rtf1 ab\\", "inside a control word"},
      {"<p>\\rtf1</p>", "not rich text"},
  };
  for (const auto& [doc, reason] : cases) {
    try {
      ds::ConvertRtfText(doc, Pair(kUey, kUly));
      ADD_FAILURE() << reason << ": not refused";
    } catch (const DocumentError& e) {
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
  }
  // Huge counts cost only what the document holds.
  EXPECT_EQ(ds::ConvertRtfText(Rtf("{\\uc2147483647 \\u1576 \\bin0 \\'c8\\u1575}\\u1575?"), Pair(kUey, kUly)),
            Rtf("{\\uc2147483647 b}a"));
  EXPECT_EQ(ds::ConvertRtfText(Rtf("{\\uc2147483647 b}a"), Pair(kUly, kUky)),
            Rtf("{\\uc2147483647 {\\uc1 \\u1073?}}\\u1072?"));
}

TEST(DocScriptRtf, FilesTellTheirScriptAndFailWithoutTrace) {
  uytest::TempDir dir;
  ds::ConvertOptions o;
  o.to = kUly;
  // Arabic text with a few Latin words is Arabic.
  uytest::WriteFile(dir / "a.rtf",
                    Rtf(R"(\rtlpar \u1576?\u1575?\u1585? Qt 2015 \u1574?\u1575?\u1606?\u1575?\u1585?\par)"));
  const ds::ConvertSummary s = ds::ConvertDocument(dir / "a.rtf", dir / "b.rtf", o);
  EXPECT_EQ(s.type, ds::DocumentType::kRtf);
  EXPECT_EQ(s.from, kUey);
  EXPECT_EQ(s.paragraphs, 1u);
  EXPECT_EQ(uytest::ReadFile(dir / "b.rtf"), Rtf("\\ltrpar bar \\u8203?Qt\\u-257? 2015 anar\\par"));
  for (const auto& [body, reason] : {std::pair<std::string, const char*>{"anar", "in Latin already"},
                                     {"{\\b x", "groups are not closed"}, {"2015", "no letters"}}) {
    uytest::WriteFile(dir / "c.rtf", Rtf(body));
    uytest::WriteFile(dir / "out.rtf", "old");
    try {
      ds::ConvertDocument(dir / "c.rtf", dir / "out.rtf", o);
      ADD_FAILURE() << reason;
    } catch (const uy::FileError& e) {
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("c.rtf"), std::string::npos) << e.what();
    }
    EXPECT_EQ(uytest::ReadFile(dir / "out.rtf"), "old");
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.rtf", "b.rtf", "c.rtf", "out.rtf"}));
}

// Every paragraph with its slots, as the walk gives them.
struct Paragraphs : ds::RtfSink {
  void OnParagraph(const ds::RtfParagraph& p) override {
    if (!p.Text().empty()) all.push_back(p);
  }
  const ds::RtfParagraph* With(const std::u16string& text) const {
    for (const auto& p : all)
      if (p.Text() == text) return &p;
    return nullptr;
  }
  std::vector<ds::RtfParagraph> all;
};

Paragraphs Walk(const std::string& doc) {
  Paragraphs p;
  ds::WalkRtf(doc, p);
  return p;
}

// The key paragraphs of the fixtures' manifest: name and Arabic text.
std::vector<std::pair<std::string, std::u16string>> Manifest() {
  std::ifstream in(std::filesystem::path(UY_TEST_DATA) / "docscript" / "MANIFEST");
  std::vector<std::pair<std::string, std::u16string>> keys;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string kind, name, text;
    if (std::getline(fields, kind, '\t') && kind == "text" && std::getline(fields, name, '\t') &&
        std::getline(fields, text))
      keys.emplace_back(name, uy::FromUtf8(text));
  }
  return keys;
}

// LibreOffice's document to Latin and Cyrillic and back: every key paragraph converted (the
// note's on its own), left to right; the split word's letters bold and italic as they were, the
// heading's size; the way back gives the text again, right to left, complex bold where it was.
TEST(DocScriptRtf, LibreOfficeDocumentThereAndBack) {
  const std::string doc = uytest::ReadFile(std::filesystem::path(UY_TEST_DATA) / "docscript" / "writer.rtf");
  const auto keys = Manifest();
  ASSERT_GE(keys.size(), 9u);
  struct Target {
    sc::Script script;
    std::u16string bold, italic;
  };
  for (const Target& t : {Target{kUly, u"mek", u"tepke"}, Target{kUky, u"мәк", u"тәпкә"}}) {
    const std::string there = ds::ConvertRtfText(doc, Pair(kUey, t.script));
    EXPECT_EQ(there.find("\\rtlpar"), std::string::npos);
    const Paragraphs out = Walk(there);
    for (const auto& [name, text] : keys) {
      const ds::RtfParagraph* p = out.With(sc::Convert(text, Pair(kUey, t.script)));
      ASSERT_TRUE(p) << name;
      EXPECT_FALSE(p->rtl) << name;
      for (const auto& s : p->slots) EXPECT_FALSE(s.state.rtl && !s.text.empty() && s.text[0] > 0x7F) << name;
      if (name == "heading") {
        EXPECT_EQ(p->slots.at(0).state.fs, 40);
      }
      if (name != "split") continue;
      std::u16string bold, italic, plain;
      for (const auto& s : p->slots) (s.state.b ? bold : s.state.i ? italic : plain) += s.text;
      EXPECT_EQ(bold, t.bold);
      EXPECT_EQ(italic, t.italic);
    }
    const Paragraphs back = Walk(ds::ConvertRtfText(there, Pair(t.script, kUey)));
    const Paragraphs source = Walk(doc);
    ASSERT_EQ(back.all.size(), source.all.size());
    for (std::size_t i = 0; i < back.all.size(); ++i) {
      EXPECT_EQ(back.all[i].Text(), source.all[i].Text());
      EXPECT_TRUE(back.all[i].rtl) << i;
    }
    const ds::RtfParagraph* split = nullptr;
    for (const auto& [name, text] : keys)
      if (name == "split") split = back.With(text);
    ASSERT_TRUE(split);
    std::u16string bold;
    for (const auto& s : split->slots)
      if (s.state.ab && s.state.rtl) bold += s.text;
    EXPECT_EQ(bold, u"مەك");
  }
}

}  // namespace
