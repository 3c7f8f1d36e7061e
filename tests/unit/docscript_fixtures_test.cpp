// SPDX-License-Identifier: GPL-3.0-or-later
// The LibreOffice-made documents of tests/data/docscript/ to Latin and Cyrillic and back: the
// key paragraphs' text as the scripts library converts it, left to right and start aligned,
// bold at the letters that came from bold letters; back in the Arabic script, the source's
// text, right to left and right aligned again.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "doc_reader.h"
#include "docscript.h"
#include "file_io.h"
#include "test_util.h"
#include "utf.h"

namespace {

namespace ds = uy::docscript;
namespace sc = uy::script;
using uytest::ShownParagraph;

const std::filesystem::path kDir = std::filesystem::path(UY_TEST_DATA) / "docscript";

// MANIFEST: the key paragraphs' source text, the half-bold word, what each file holds.
struct Manifest {
  std::map<std::string, std::u16string> text;
  std::u16string split_word, split_bold;
  std::map<std::string, std::vector<std::string>> keys;
};

const Manifest& Keys() {
  static const Manifest m = [] {
    Manifest m;
    std::ifstream in(kDir / "MANIFEST");
    for (std::string line; std::getline(in, line);) {
      std::vector<std::string> f;
      std::stringstream ss(line);
      for (std::string s; std::getline(ss, s, '\t');) f.push_back(s);
      if (f.size() < 2 || f[0].starts_with("#")) continue;
      if (f[0] == "text") m.text[f[1]] = uy::FromUtf8(f.at(2));
      if (f[0] == "split") m.split_word = uy::FromUtf8(f[1]), m.split_bold = uy::FromUtf8(f.at(2));
      if (f[0] == "file") {
        std::stringstream names(f.size() > 2 ? f[2] : "");
        for (std::string n; names >> n;) m.keys[f[1]].push_back(n);
      }
    }
    return m;
  }();
  return m;
}

// The first paragraph holding `text`, and where.
std::pair<const ShownParagraph*, std::size_t> Find(const std::vector<ShownParagraph>& ps, const std::u16string& text) {
  for (const auto& p : ps)
    if (const auto at = p.text.find(text); at != std::u16string::npos) return {&p, at};
  return {nullptr, 0};
}

bool IsLetter(char16_t c) { return sc::ToLower(c) != sc::ToUpper(c) || uytest::IsArabicUnit(c); }

ds::ConvertOptions To(sc::Script from, sc::Script to) {
  ds::ConvertOptions o;
  o.from = from;
  o.to = to;
  o.words = &sc::WordList::BuiltIn();
  return o;
}

struct Fixture {
  const char* file;
};
const Fixture kFixtures[] = {{"writer.docx"}, {"calc.xlsx"}, {"impress.pptx"}, {"writer.odt"},
                             {"calc.ods"},    {"impress.odp"}, {"writer.rtf"},  {"writer.html"}};

// The readers must see the sources as LibreOffice wrote them, or the checks below prove nothing.
TEST(DocscriptFixtureReaders, SeeTheSourcesAsWritten) {
  const Manifest& m = Keys();
  for (const Fixture& f : kFixtures) {
    SCOPED_TRACE(f.file);
    const auto src = uytest::ReadShown(kDir / f.file);
    ASSERT_FALSE(m.keys.at(f.file).empty());
    for (const auto& k : m.keys.at(f.file)) {
      const auto [p, at] = Find(src, m.text.at(k));
      if (!p) {
        ADD_FAILURE() << k << " not found";
        continue;
      }
      EXPECT_TRUE(p->rtl && p->align == 'R') << k << " rtl " << p->rtl << " align " << p->align;
      if (k.starts_with("cell")) {
        EXPECT_TRUE(p->rtl_table) << k;
      }
      if (k != "split") continue;
      const std::size_t w = p->text.find(m.split_word);
      for (std::size_t i = 0; i < m.split_word.size(); ++i)
        EXPECT_EQ(p->bold[w + i], i < m.split_bold.size()) << "letter " << i << " of the half-bold word";
    }
  }
}

void PrintTo(const Fixture& f, std::ostream* os) { *os << f.file; }

class DocscriptFixtures : public ::testing::TestWithParam<std::tuple<Fixture, sc::Script>> {};

TEST_P(DocscriptFixtures, ToTheScriptAndBack) {
  const auto [f, script] = GetParam();
  const std::filesystem::path in = kDir / f.file;
  const std::string ext = in.extension().string();
  uytest::TempDir dir;
  ds::ConvertOptions told = To(sc::Script::Uey, script);
  told.from.reset();  // told from the document's text
  ds::ConvertDocument(in, dir / ("out" + ext), told);
  ds::ConvertDocument(dir / ("out" + ext), dir / ("back" + ext), To(script, sc::Script::Uey));
  const auto src = uytest::ReadShown(in), out = uytest::ReadShown(dir / ("out" + ext)),
             back = uytest::ReadShown(dir / ("back" + ext));
  sc::Options so;
  so.to = script;
  so.words = &sc::WordList::BuiltIn();
  for (const auto& k : Keys().keys.at(f.file)) {
    const std::u16string& text = Keys().text.at(k);
    std::vector<std::size_t> map;
    const std::u16string expected = sc::Convert(text, so, &map);
    const auto [s, s_at] = Find(src, text);
    const auto [o, o_at] = Find(out, expected);
    const auto [b, b_at] = Find(back, text);
    ASSERT_TRUE(s && o && b) << k << ": source " << !!s << " converted " << !!o << " back " << !!b;
    EXPECT_TRUE(!o->rtl && o->align == 'L' && !o->rtl_table)
        << k << " rtl " << o->rtl << " align " << o->align;
    EXPECT_TRUE(b->rtl && b->align == 'R' && b->rtl_table == s->rtl_table) << k << " back: rtl " << b->rtl
                                                                           << " align " << b->align;
    for (std::size_t j = 0; j < expected.size(); ++j) {
      if (IsLetter(expected[j]) && uytest::IsArabicUnit(text[map[j]])) {
        EXPECT_EQ(o->bold[o_at + j], s->bold[s_at + map[j]]) << k << ": letter " << j << " of " << uy::ToUtf8(expected);
      }
    }
    for (std::size_t j = 0; j < text.size(); ++j) {
      if (uytest::IsArabicUnit(text[j])) {
        EXPECT_EQ(b->bold[b_at + j], s->bold[s_at + j]) << k << ": back, letter " << j;
      }
    }
  }
}

std::string Name(const ::testing::TestParamInfo<DocscriptFixtures::ParamType>& info) {
  std::string n = std::get<0>(info.param).file;
  for (char& c : n)
    if (c == '.') c = '_';
  return n + "_" + std::string(sc::Code(std::get<1>(info.param)));
}

INSTANTIATE_TEST_SUITE_P(All, DocscriptFixtures,
                         ::testing::Combine(::testing::ValuesIn(kFixtures),
                                            ::testing::Values(sc::Script::Uly, sc::Script::Uky)),
                         Name);

}  // namespace
