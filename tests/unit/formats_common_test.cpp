// SPDX-License-Identifier: GPL-3.0-or-later
// The content-aware recoder as a whole: the kind told by content, the checks of written
// files, real office documents written by LibreOffice, and uyconv's recode command.
#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

#include "document_builders.h"
#include "file_io.h"
#include "formats_internal.h"
#include "utf.h"

namespace {

using namespace uytest;

TEST(Detect, ByContentNotByName) {
  using K = fm::DocumentKind;
  EXPECT_EQ(fm::DetectKind(Bytes(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)), false), K::kCompound);
  EXPECT_EQ(fm::DetectKind(Bytes("PK\x03\x04rest"), false), K::kZip);
  EXPECT_EQ(fm::DetectKind(Bytes("\xFF\xFE<\0"), false), K::kUtf16Text);
  EXPECT_EQ(fm::DetectKind(Bytes("\xFE\xFF\0<"), false), K::kUtf16Text);
  EXPECT_EQ(fm::DetectKind(Bytes("{\\rtf1 x}"), false), K::kRtf);
  EXPECT_EQ(fm::DetectKind(Bytes("\xEF\xBB\xBFx"), false), K::kUtf8Text);
  EXPECT_EQ(fm::DetectKind(Bytes("plain \u0638 text"), true), K::kUtf8Text);
  EXPECT_EQ(fm::DetectKind(Bytes("plain \u0638 text"), false), K::kOther);  // not seen whole
  EXPECT_EQ(fm::DetectKind(Bytes(std::string("a\0b", 3)), true), K::kOther);
  // A few NULs (one in 64 bytes) leave text text; UTF-16 without a mark has far more.
  std::string nul = "\u0638 text with a NUL:" + std::string(1, '\0');
  nul.resize(64, '.');
  EXPECT_EQ(fm::DetectKind(Bytes(nul), true), K::kUtf8Text);
  EXPECT_EQ(fm::DetectKind(Bytes(nul + '\0'), true), K::kOther);
  EXPECT_EQ(fm::DetectKind(Bytes(uytest::Utf16Le(u"plain \u0638 text")), true), K::kOther);
  EXPECT_EQ(fm::DetectKind(Bytes("bad \xD8 utf8"), true), K::kOther);
  EXPECT_EQ(fm::DetectKind(Bytes(""), true), K::kOther);
}

TEST(RecodeByContent, OtherFilesGetTheUnitPassWithProgressHeldTo100) {
  TempDir dir;
  std::string bin = uytest::RandomBytes(6000, 3);
  bin[0] = '\0';  // not text
  bin.replace(2560, 4, std::string("\x38\x06\x26\x06", 4));
  WriteFile(dir / "x.bin", bin);
  Recorder r;
  const auto s = fm::RecodeByContent(dir / "x.bin", dir / "y.bin", 0, &r);
  EXPECT_EQ(s.kind, fm::DocumentKind::kOther);
  rc::RecodeDocument(dir / "x.bin", dir / "z.bin", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "y.bin"), ReadFile(dir / "z.bin"));
  ExpectGoodProgress(r);

  // A short file: the unit pass would show 256000 / 100; here the bar ends at 100.
  WriteFile(dir / "s.bin", std::string("\0\x38\x06", 3));
  Recorder r2;
  fm::RecodeByContent(dir / "s.bin", dir / "t.bin", 0, &r2);
  EXPECT_EQ(ReadFile(dir / "t.bin"), std::string("\0\x38\x06", 3));
  ExpectGoodProgress(r2);
}

TEST(RecodeByContent, RefusesTheInputAsOutputAndBadDirections) {
  TempDir dir;
  WriteFile(dir / "a.txt", "\u0638");
  EXPECT_THROW(fm::RecodeByContent(dir / "a.txt", dir / "a.txt", 0, nullptr), uy::FileError);
  EXPECT_THROW(fm::RecodeByContent(dir / "a.txt", dir / "b.txt", 8, nullptr), std::out_of_range);
  EXPECT_THROW(fm::RecodeByContent(dir / "missing", dir / "b.txt", 0, nullptr), uy::FileError);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"a.txt"});
}

TEST(Verification, WrittenFilesThatDifferFromTheIntentAreRejected) {
  namespace d = uy::formats;
  TempDir dir;
  const std::string file = uytest::WriteCompoundFile({{"A", uytest::RandomBytes(9000, 1)}, {"B", "small"}});
  const auto layout = fm::cfb::CompoundFile::Parse(Bytes(file));
  EXPECT_NO_THROW(d::VerifyCompound(file, file, layout));
  std::string changed = file;
  changed[layout.Find("A")->extents[0].offset] ^= 1;  // inside a stream: allowed
  EXPECT_NO_THROW(d::VerifyCompound(changed, file, layout));
  for (const auto& x : layout.structures()) {  // any container sector touched: rejected
    std::string broken = file;
    broken[x.offset + x.length - 1] ^= 1;
    EXPECT_THROW(d::VerifyCompound(broken, file, layout), fm::DocumentError) << x.offset;
  }
  EXPECT_THROW(d::VerifyCompound(file.substr(0, 1024), file, layout), fm::DocumentError);

  WriteFile(dir / "z.zip", MakeZip({{"a.xml", "<a/>"}}));
  std::vector<d::ZipEntryCheck> checks{{"a.xml", 4, 0}};
  EXPECT_THROW(d::VerifyZip(dir / "z.zip", checks), fm::DocumentError);  // wrong CRC
  checks.clear();
  EXPECT_THROW(d::VerifyZip(dir / "z.zip", checks), fm::DocumentError);  // a part too many
  WriteFile(dir / "n.zip", "PK\x03\x04 not really");
  EXPECT_THROW(d::VerifyZip(dir / "n.zip", checks), fm::DocumentError);
}

// The \uN characters of rich text, in order.
std::u16string RtfText(const std::string& rtf) {
  std::u16string out;
  for (std::size_t i = 0; (i = rtf.find("\\u", i)) != std::string::npos; i += 2) {
    if (i > 0 && rtf[i - 1] == '\\') continue;
    std::size_t j = i + 2;
    if (j < rtf.size() && rtf[j] == '-') ++j;
    if (j >= rtf.size() || !std::isdigit(static_cast<unsigned char>(rtf[j]))) continue;
    out.push_back(static_cast<char16_t>(std::stoi(rtf.substr(i + 2, 8))));
  }
  return out;
}

class FixtureTest : public testing::TestWithParam<Fixture> {};

TEST_P(FixtureTest, RecodedTextIsUnicodeAndNothingElseChanged) {
  const Fixture& f = GetParam();
  TempDir dir;
  const fs::path in = fs::path(UY_TEST_DATA) / "formats" / f.name;
  const fs::path out = dir / rc::OutputFileName(f.name, f.direction);
  Recorder r;
  const auto summary = fm::RecodeByContent(in, out, f.direction, &r);
  ExpectGoodProgress(r);
  const std::string a = ReadFile(in), b = ReadFile(out);

  switch (summary.kind) {
    case fm::DocumentKind::kZip: {
      const auto za = ReadZip(in), zb = ReadZip(out);
      ASSERT_EQ(za.size(), zb.size());
      std::u16string text;
      for (std::size_t i = 0; i < za.size(); ++i) {
        EXPECT_EQ(za[i].name, zb[i].name);
        EXPECT_EQ(za[i].method, zb[i].method) << za[i].name;
        const bool xml = za[i].name.ends_with(".xml") || za[i].name.ends_with(".rels");
        if (!xml) {
          EXPECT_EQ(za[i].data, zb[i].data) << za[i].name;
          EXPECT_EQ(za[i].comp_size, zb[i].comp_size) << za[i].name;
          continue;
        }
        ASSERT_EQ(za[i].data.size(), zb[i].data.size()) << za[i].name;
        const std::u16string ta = uy::FromUtf8(za[i].data), tb = uy::FromUtf8(zb[i].data);
        EXPECT_EQ(tb, Map(ta, f.direction)) << za[i].name;
        text += tb;
      }
      if (f.name.ends_with(".odt") || f.name.ends_with(".ods") || f.name.ends_with(".odp")) {
        EXPECT_EQ(zb[0].name, "mimetype");
        EXPECT_EQ(zb[0].method, ZIP_CM_STORE);
      }
      ExpectLines(text, f);
      break;
    }
    case fm::DocumentKind::kCompound: {
      const TextAndExtents ta = CompoundText(a), tb = CompoundText(b);
      EXPECT_EQ(tb.text, Map(ta.text, f.direction));
      ExpectLines(tb.text, f);
      ExpectSameOutside(a, b, ta.extents);
      EXPECT_NE(summary.handling, fm::Handling::kCompoundStreams) << "the document did not parse";
      break;
    }
    case fm::DocumentKind::kUtf16Text:
    case fm::DocumentKind::kUtf8Text:
    case fm::DocumentKind::kRtf: {
      ASSERT_EQ(a.size(), b.size());
      const auto text = [&](const std::string& x) {
        return summary.kind == fm::DocumentKind::kRtf ? RtfText(x)
               : summary.kind == fm::DocumentKind::kUtf8Text ? uy::FromUtf8(x)
                                                             : Units(Bytes(x), 2, x.size() / 2 - 1);
      };
      EXPECT_EQ(text(b), Map(text(a), f.direction));
      if (summary.kind == fm::DocumentKind::kUtf16Text) {
        EXPECT_EQ(b.substr(0, 2), "\xFF\xFE");
      }
      ExpectLines(text(b), f);
      for (std::size_t i = 0; i < a.size(); ++i) {  // in rich text only the digits of \uN differ
        if (summary.kind == fm::DocumentKind::kRtf && a[i] != b[i]) {
          ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(a[i]))) << "byte " << i;
        }
      }
      break;
    }
    case fm::DocumentKind::kOther:
      ADD_FAILURE() << f.name << " was not recognised";
  }
}

INSTANTIATE_TEST_SUITE_P(LibreOffice, FixtureTest, testing::ValuesIn(Fixtures()),
                         [](const testing::TestParamInfo<Fixture>& info) {
                           std::string n;
                           for (char c : info.param.name) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

// Whether a document of the kind, or handled so, must be among the fixtures; nothing for a
// value outside the enum. Without a default, a kind or a handling added to the product and
// not named here stops the build.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"
std::optional<bool> NeedsFixture(fm::DocumentKind kind) {
  switch (kind) {
    case fm::DocumentKind::kZip:
    case fm::DocumentKind::kCompound:
    case fm::DocumentKind::kUtf16Text:
    case fm::DocumentKind::kUtf8Text:
    case fm::DocumentKind::kRtf:
      return true;
    case fm::DocumentKind::kOther:  // not a kind of document: the unit pass, tested above
      return false;
  }
  return std::nullopt;
}
std::optional<bool> NeedsFixture(fm::Handling handling) {
  switch (handling) {
    case fm::Handling::kUtf8Characters:
    case fm::Handling::kUtf16Units:
    case fm::Handling::kRtfEscapes:
    case fm::Handling::kXmlParts:
    case fm::Handling::kSpreadsheetStrings:
    case fm::Handling::kWordProcessorText:
    case fm::Handling::kPresentationText:
      return true;
    case fm::Handling::kNone:
    case fm::Handling::kUnitPass:
    case fm::Handling::kCompoundStreams:  // the fallback for compound files it cannot read
      return false;
  }
  return std::nullopt;
}
#pragma GCC diagnostic pop

// Every kind the product tells apart, and every handling it has for a kind of document,
// is shown by a real document that it recognises and recodes; and every fixture is
// recoded in one of those ways.
TEST(FixtureSet, CoversEveryFormat) {
  TempDir dir;
  std::set<fm::DocumentKind> kinds;
  std::set<fm::Handling> handlings;
  for (const Fixture& f : Fixtures()) {
    const fs::path in = fs::path(UY_TEST_DATA) / "formats" / f.name, out = dir / f.name;
    const auto s = fm::RecodeByContent(in, out, f.direction, nullptr);
    EXPECT_EQ(NeedsFixture(s.kind), true) << f.name << ": kind " << static_cast<int>(s.kind);
    EXPECT_EQ(NeedsFixture(s.handling), true) << f.name << ": handling " << static_cast<int>(s.handling);
    EXPECT_GT(s.changed, 0u) << f.name;
    ASSERT_TRUE(fs::exists(out)) << f.name << ": nothing written";
    EXPECT_NE(ReadFile(out), ReadFile(in)) << f.name;
    kinds.insert(s.kind);
    handlings.insert(s.handling);
  }
  for (int v = 0; v < 64; ++v) {  // beyond the last value of either enum
    const auto kind = static_cast<fm::DocumentKind>(v);
    const auto handling = static_cast<fm::Handling>(v);
    EXPECT_TRUE(!NeedsFixture(kind).value_or(false) || kinds.count(kind)) << "no fixture of kind " << v;
    EXPECT_TRUE(!NeedsFixture(handling).value_or(false) || handlings.count(handling)) << "no fixture handled as " << v;
  }
}

// ---------------------------------------------------------------------------------------
// uyconv

TEST(UyconvRecode, DefaultIsContentAwareAndRawIsTheUnitPass) {
  TempDir dir;
  std::string u16 = "\xFF\xFE";
  for (int i = 0; i < 10; ++i) u16 += std::string("\x38\x06", 2);
  WriteFile(dir / "a.txt", u16);
  auto r = uytest::RunProgram({uytest::kUyconv, "recode", "-d", "0", (dir / "a.txt").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(ReadFile(dir / "a(Unicode).txt"), u16);  // recoded from the first unit
  r = uytest::RunProgram({uytest::kUyconv, "recode", "--raw", "-d", "0", (dir / "a.txt").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "a(Unicode).txt"), u16);  // short: the header is all of it

  std::string bad = "PK\x03\x04" + std::string(100, '\0');
  WriteFile(dir / "b.docx", bad);
  r = uytest::RunProgram({uytest::kUyconv, "recode", (dir / "b.docx").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("b.docx"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "b(Unicode).docx"));
}

}  // namespace
