// SPDX-License-Identifier: GPL-3.0-or-later
// The content-aware recoder: real office documents written by LibreOffice, large
// compound files built here, text files, and the failures it must report.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <numeric>
#include <set>
#include <random>
#include <sstream>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <zip.h>

#include "cfb_writer.h"
#include "file_io.h"
#include "utf.h"
#include "batch.h"
#include "cfb.h"
#include "formats.h"
#include "formats_internal.h"
#include "office_binary.h"
#include "pass.h"
#include "tables.h"
#include "text_recode.h"
#include "recoder_test_util.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;
namespace rc = uy::recode;
using uytest::ReadFile;
using uytest::TempDir;
using uytest::WriteFile;

std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

using Recorder = uytest::RecordingSink;

void ExpectGoodProgress(const Recorder& r) {
  ASSERT_EQ(r.ranges, (std::vector<std::pair<int, int>>{{1, 100}}));
  ASSERT_FALSE(r.positions.empty());
  EXPECT_GE(r.positions.front(), 1);
  EXPECT_TRUE(std::adjacent_find(r.positions.begin(), r.positions.end(), std::greater_equal<int>()) ==
              r.positions.end());  // strictly rising
  EXPECT_EQ(r.positions.back(), 100);
}

std::u16string Map(std::u16string text, int direction) {
  for (char16_t& c : text) c = rc::RecodeUnit(direction, c);
  return text;
}

// The characters of U+0600..U+06FF, in order: what a comparison of document text keeps
// of it, free of the blanks, breaks and markup that each format places differently.
std::u16string ArabicOnly(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text)
    if (c >= 0x0600 && c <= 0x06FF) out.push_back(c);
  return out;
}

std::u16string Units(std::span<const std::uint8_t> b, std::uint64_t offset, std::uint64_t count) {
  std::u16string s(count, u'\0');
  uy::DecodeUtf16Bytes(b.subspan(offset, 2 * count), false, s.data());
  return s;
}

// ---------------------------------------------------------------------------------------
// Text in memory

std::vector<std::uint8_t> Buf(std::string_view s) { return {s.begin(), s.end()}; }
std::string Str(const std::vector<std::uint8_t>& b) { return {b.begin(), b.end()}; }

TEST(TextRecode, Utf8RecodesTwoByteArabicOnceAndKeepsEverythingElse) {
  // U+0638 U+0626 U+0639 U+0649 in direction 0: no second lookup in the chains.
  auto b = Buf("a\u0638\u0626 \u0639\u0649 \u4E2D\u0627\xF0\x9F\x98\x80");
  const std::string before = Str(b);
  EXPECT_EQ(rc::RecodeUtf8(b, 0), 4u);
  EXPECT_EQ(Str(b), "a\u0626\u06D0 \u0649\u06C8 \u4E2D\u0627\xF0\x9F\x98\x80");
  EXPECT_EQ(b.size(), before.size());
  // A stray lead byte at the end, and a lead without a continuation, stay.
  auto c = Buf("\xD8\x38\xD8");
  EXPECT_EQ(rc::RecodeUtf8(c, 0), 0u);
  EXPECT_EQ(Str(c), "\xD8\x38\xD8");
}

TEST(TextRecode, Utf16BothByteOrders) {
  auto le = Buf(std::string("\x38\x06\x26\x06\x06\x38", 6));
  EXPECT_EQ(rc::RecodeUtf16(le, false, 0), 2u);
  EXPECT_EQ(Str(le), std::string("\x26\x06\xD0\x06\x06\x38", 6));
  auto be = Buf(std::string("\x06\x38\x06\x26\x38\x06", 6));
  EXPECT_EQ(rc::RecodeUtf16(be, true, 0), 2u);
  EXPECT_EQ(Str(be), std::string("\x06\x26\x06\xD0\x38\x06", 6));
}

TEST(TextRecode, CharacterReferencesKeepTheirWidthAndCase) {
  auto b = Buf("<p>&#1592;&#x638;&#X0626;&#x6d0;&#1574; &#65; &#99999999999;</p>");
  EXPECT_EQ(rc::RecodeCharacterReferences(b, 0), 4u);  // U+06D0 has no pair in direction 0
  EXPECT_EQ(Str(b), "<p>&#1574;&#x626;&#X06D0;&#x6d0;&#1744; &#65; &#99999999999;</p>");
  // Without the ';' that browsers do without: ended by any other byte or by the text's end,
  // but not by a ninth digit.
  auto e = Buf("&#x638 &#1592<&#1592&#1592;&#0001592x&#000001592 &#x0000638g&#x000000638;&#1592");
  EXPECT_EQ(rc::RecodeCharacterReferences(e, 0), 7u);
  EXPECT_EQ(Str(e), "&#x626 &#1574<&#1574&#1574;&#0001574x&#000001592 &#x0000626g&#x000000638;&#1574");
  auto d = Buf("&#1744;&#x6C7;");
  EXPECT_EQ(rc::RecodeCharacterReferences(d, 1), 2u);
  EXPECT_EQ(Str(d), "&#1574;&#x630;");
}

TEST(TextRecode, RtfEscapesOnlyWhereTheyAreCharacters) {
  auto b = Buf("{\\rtf1\\uc1 \\u1592?\\u1574\\'c6 \\\\u1592 \\ul1592 \\u-1592 {\\bin4 \\u1592}\\u1593 \\u00000015921 x}");
  EXPECT_EQ(rc::RecodeRtfEscapes(b, 0), 3u);  // the last escape is U+3E31, all its digits read
  EXPECT_EQ(Str(b), "{\\rtf1\\uc1 \\u1574?\\u1744\\'c6 \\\\u1592 \\ul1592 \\u-1592 {\\bin4 \\u1592}\\u1609 \\u00000015921 x}");
  // Leading zeros stay; a value past 32 bits is not taken for its low bits (2^32 + 1592).
  auto c = Buf("\\u0000000001592?\\u4294968888?");
  EXPECT_EQ(rc::RecodeRtfEscapes(c, 0), 1u);
  EXPECT_EQ(Str(c), "\\u0000000001574?\\u4294968888?");
}

TEST(Detect, ByContentNotByName) {
  using K = rc::DocumentKind;
  EXPECT_EQ(rc::DetectKind(Bytes(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)), false), K::kCompound);
  EXPECT_EQ(rc::DetectKind(Bytes("PK\x03\x04rest"), false), K::kZip);
  EXPECT_EQ(rc::DetectKind(Bytes("\xFF\xFE<\0"), false), K::kUtf16Text);
  EXPECT_EQ(rc::DetectKind(Bytes("\xFE\xFF\0<"), false), K::kUtf16Text);
  EXPECT_EQ(rc::DetectKind(Bytes("{\\rtf1 x}"), false), K::kRtf);
  EXPECT_EQ(rc::DetectKind(Bytes("\xEF\xBB\xBFx"), false), K::kUtf8Text);
  EXPECT_EQ(rc::DetectKind(Bytes("plain \u0638 text"), true), K::kUtf8Text);
  EXPECT_EQ(rc::DetectKind(Bytes("plain \u0638 text"), false), K::kOther);  // not seen whole
  EXPECT_EQ(rc::DetectKind(Bytes(std::string("a\0b", 3)), true), K::kOther);
  // A few NULs (one in 64 bytes) leave text text; UTF-16 without a mark has far more.
  std::string nul = "\u0638 text with a NUL:" + std::string(1, '\0');
  nul.resize(64, '.');
  EXPECT_EQ(rc::DetectKind(Bytes(nul), true), K::kUtf8Text);
  EXPECT_EQ(rc::DetectKind(Bytes(nul + '\0'), true), K::kOther);
  EXPECT_EQ(rc::DetectKind(Bytes(uytest::Utf16Le(u"plain \u0638 text")), true), K::kOther);
  EXPECT_EQ(rc::DetectKind(Bytes("bad \xD8 utf8"), true), K::kOther);
  EXPECT_EQ(rc::DetectKind(Bytes(""), true), K::kOther);
}

// ---------------------------------------------------------------------------------------
// Files

TEST(RecodeByContent, TextFilesAreRecodedFromTheFirstByte) {
  TempDir dir;
  // A stray NUL in UTF-8 text: still text, recoded.
  const std::string nul = std::string("\u0638 one NUL: \0 ") + std::string(60, '.');
  WriteFile(dir / "n.txt", nul);
  const auto s = rc::RecodeByContent(dir / "n.txt", dir / "m.txt", 0, nullptr);
  EXPECT_EQ(s.kind, rc::DocumentKind::kUtf8Text);
  EXPECT_EQ(s.changed, 1u);
  EXPECT_EQ(ReadFile(dir / "m.txt"), std::string("\u0626 one NUL: \0 ") + std::string(60, '.'));
  // Unmarked UTF-8 markup: characters and references.
  WriteFile(dir / "c.html", "<p>\u0638 &#1592;</p>");
  rc::RecodeByContent(dir / "c.html", dir / "d.html", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "d.html"), "<p>\u0626 &#1574;</p>");
  // Plain UTF-8 text: "&#1592;" is literal text there.
  WriteFile(dir / "e.txt", "\u0638 &#1592;");
  rc::RecodeByContent(dir / "e.txt", dir / "f.txt", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "f.txt"), "\u0626 &#1592;");
}

TEST(RecodeByContent, OtherFilesGetTheUnitPassWithProgressHeldTo100) {
  TempDir dir;
  std::string bin = uytest::RandomBytes(6000, 3);
  bin[0] = '\0';  // not text
  bin.replace(2560, 4, std::string("\x38\x06\x26\x06", 4));
  WriteFile(dir / "x.bin", bin);
  Recorder r;
  const auto s = rc::RecodeByContent(dir / "x.bin", dir / "y.bin", 0, &r);
  EXPECT_EQ(s.kind, rc::DocumentKind::kOther);
  rc::RecodeDocument(dir / "x.bin", dir / "z.bin", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "y.bin"), ReadFile(dir / "z.bin"));
  ExpectGoodProgress(r);

  // A short file: the unit pass would show 256000 / 100; here the bar ends at 100.
  WriteFile(dir / "s.bin", std::string("\0\x38\x06", 3));
  Recorder r2;
  rc::RecodeByContent(dir / "s.bin", dir / "t.bin", 0, &r2);
  EXPECT_EQ(ReadFile(dir / "t.bin"), std::string("\0\x38\x06", 3));
  ExpectGoodProgress(r2);
}

TEST(RecodeByContent, RefusesTheInputAsOutputAndBadDirections) {
  TempDir dir;
  WriteFile(dir / "a.txt", "\u0638");
  EXPECT_THROW(rc::RecodeByContent(dir / "a.txt", dir / "a.txt", 0, nullptr), uy::FileError);
  EXPECT_THROW(rc::RecodeByContent(dir / "a.txt", dir / "b.txt", 8, nullptr), std::out_of_range);
  EXPECT_THROW(rc::RecodeByContent(dir / "missing", dir / "b.txt", 0, nullptr), uy::FileError);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"a.txt"});
}

// ---------------------------------------------------------------------------------------
// Text in pieces

struct TextSample {
  const char* name;
  rc::DocumentKind kind;
  bool markup;
  std::string bytes;
  bool markup_whatever_its_start = false;  // as for the XML parts of zips
};
void PrintTo(const TextSample& s, std::ostream* os) { *os << s.name; }

// The whole text at once, through the in-memory functions.
std::string RecodeWhole(const TextSample& s, std::size_t& changed) {
  auto b = Buf(s.bytes);
  switch (s.kind) {
    case rc::DocumentKind::kUtf8Text:
      changed = rc::RecodeUtf8(b, 0) + (s.markup ? rc::RecodeCharacterReferences(b, 0) : 0);
      break;
    case rc::DocumentKind::kUtf16Text:
      changed = rc::RecodeUtf16(std::span(b).subspan(2), b[0] == 0xFE, 0);
      break;
    default:
      changed = rc::RecodeRtfEscapes(b, 0);
  }
  return Str(b);
}

class TextPieces : public testing::TestWithParam<TextSample> {};

// Characters, references, control words and units split at every byte give the result
// of the whole text.
TEST_P(TextPieces, EverySplitGivesTheWholeResult) {
  const TextSample& s = GetParam();
  std::size_t want_changed = 0;
  const std::string want = RecodeWhole(s, want_changed);
  ASSERT_GT(want_changed, 0u);
  const auto bytes = Bytes(s.bytes);
  auto recode = [&](const std::vector<std::size_t>& cuts) {
    rc::TextRecoder r(s.kind, 0, s.markup_whatever_its_start);
    std::string out;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
      r.Feed(bytes.subspan(from, cut - from), out);
      from = cut;
    }
    r.Feed(bytes.subspan(from), out);
    r.Finish(out);
    EXPECT_EQ(r.changed(), want_changed);
    return out;
  };
  for (std::size_t k = 0; k <= bytes.size(); ++k) ASSERT_EQ(recode({k}), want) << "split at " << k;
  std::vector<std::size_t> every(bytes.size());
  std::iota(every.begin(), every.end(), 0);
  EXPECT_EQ(recode(every), want);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TextPieces,
    testing::Values(
        TextSample{"utf8", rc::DocumentKind::kUtf8Text, false,
                   "a\u0638\u0626 \u0639\u0649 \u4E2D &#1592; \xF0\x9F\x98\x80\u0638\xD8\x38\u0638\xD8"},
        TextSample{"markup", rc::DocumentKind::kUtf8Text, true,
                   "\xEF\xBB\xBF \n<p>\u0638 &#1592;&#x638 &#0001592x&#000001592 &&#1592&#X638;&#99999999"
                   "&#1592;</p>&#1592"},
        TextSample{"broken mark", rc::DocumentKind::kUtf8Text, false, "\xEF\xBB<p>\u0638 &#1592;"},
        TextSample{"xml part", rc::DocumentKind::kUtf8Text, true, "x &#1592; \u0638 &#x638", true},
        TextSample{"utf16le", rc::DocumentKind::kUtf16Text, false,
                   std::string("\xFF\xFE\x38\x06\x26\x06 \x00\x06\x38\x39\x06\x38", 13)},
        TextSample{"utf16be", rc::DocumentKind::kUtf16Text, false,
                   std::string("\xFE\xFF\x06\x38\x06\x26\x00 \x38\x06\x06\x39", 12)},
        TextSample{"rtf", rc::DocumentKind::kRtf, false,
                   "{\\rtf1\\uc1 \\u1592?\\u1574\\'c6 \\\\u1592 \\ul1592 \\u-1592 {\\bin4 \\u1592}\\u1593 "
                   "\\u000000001592 \\bin3 \\u1592\\u1592 \\binx\\u1592\\u15921\\u1592}\\u1592"}),
    [](const testing::TestParamInfo<TextSample>& i) {
      std::string n = i.param.name;
      std::replace(n.begin(), n.end(), ' ', '_');
      return n;
    });

// A text larger than any read whole before (64 MiB), recoded in a child process whose
// peak memory is measured. Smaller under the sanitizers, which are slow; the bound shows
// either way.
TEST(RecodeByContent, TextOfAnySizeIsRecodedInPiecesInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
  const std::size_t copies = 400'000;
#else
  const std::size_t copies = 2'000'000;
#endif
  const std::string line = "\u0638\u0626 legacy \u0639\u0649 &#1592;\n";  // 35 bytes
  const std::string want = "\u0626\u06D0 legacy \u0649\u06C8 &#1592;\n";
  TempDir dir;
  {
    std::ofstream f(dir / "big.txt", std::ios::binary);
    std::string block;
    for (int i = 0; i < 1000; ++i) block += line;
    for (std::size_t i = 0; i < copies / 1000; ++i) f << block;
  }
  struct Result {
    long grown_kb;
    std::size_t changed, positions;
    int first, last;
    bool rising, text;
  } result{};
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(fds[0]);
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    Recorder r;
    Result out{};
    try {
      const auto summary = rc::RecodeByContent(dir / "big.txt", dir / "out.txt", 0, &r);
      out.changed = summary.changed;
      out.text = summary.kind == rc::DocumentKind::kUtf8Text;
    } catch (...) {
    }
    ::getrusage(RUSAGE_SELF, &after);
    out.grown_kb = after.ru_maxrss - before.ru_maxrss;
    out.positions = r.positions.size();
    out.first = r.positions.empty() ? 0 : r.positions.front();
    out.last = r.positions.empty() ? 0 : r.positions.back();
    out.rising = std::adjacent_find(r.positions.begin(), r.positions.end(), std::greater_equal<int>()) ==
                 r.positions.end();
    (void)!::write(fds[1], &out, sizeof out);
    ::_exit(0);
  }
  ::close(fds[1]);
  ASSERT_EQ(::read(fds[0], &result, sizeof result), static_cast<ssize_t>(sizeof result));
  ::close(fds[0]);
  ::waitpid(pid, nullptr, 0);
  EXPECT_TRUE(result.text);
  EXPECT_EQ(result.changed, 4 * copies);
  EXPECT_LT(result.grown_kb, 32 * 1024);  // the text itself is 70 MB (14 MB)
  // Progress follows the bytes done: one position per piece, from the start to 100.
  EXPECT_GE(result.positions, std::min<std::size_t>(50, copies * line.size() >> 20));
  EXPECT_EQ(result.first, 1);
  EXPECT_EQ(result.last, 100);
  EXPECT_TRUE(result.rising);
  std::ifstream f(dir / "out.txt", std::ios::binary);
  std::string block(want.size() * 1000, '\0'), expected;
  for (int i = 0; i < 1000; ++i) expected += want;
  for (std::size_t i = 0; i < copies / 1000; ++i) {
    ASSERT_TRUE(f.read(block.data(), static_cast<std::streamsize>(block.size()))) << "short output";
    ASSERT_EQ(block, expected) << "block " << i;
  }
  EXPECT_EQ(f.get(), EOF);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"big.txt", "out.txt"}));
}

// ---------------------------------------------------------------------------------------
// Zip containers

struct ZipPart {
  std::string name;
  std::string data;
  bool stored = false;
};

std::string MakeZip(const std::vector<ZipPart>& parts) {
  TempDir dir;
  const fs::path p = dir / "z.zip";
  int err = 0;
  zip_t* z = zip_open(p.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  EXPECT_NE(z, nullptr);
  for (const ZipPart& part : parts) {
    zip_source_t* s = zip_source_buffer(z, part.data.data(), part.data.size(), 0);
    const zip_int64_t i = zip_file_add(z, part.name.c_str(), s, 0);
    EXPECT_GE(i, 0);
    zip_set_file_compression(z, static_cast<zip_uint64_t>(i), part.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
  }
  EXPECT_EQ(zip_close(z), 0);
  return ReadFile(p);
}

struct ZipEntry {
  std::string name;
  std::string data;
  zip_int32_t method;
  zip_uint64_t comp_size;
};

// Every part, read through its CRC, of an archive that passes the consistency check.
std::vector<ZipEntry> ReadZip(const fs::path& path) {
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  if (!z) {
    ADD_FAILURE() << path << " does not open as a zip archive: " << err;
    return {};
  }
  std::vector<ZipEntry> out;
  for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
    std::string data(st.size, '\0');
    zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
    EXPECT_EQ(zip_fread(f, data.data(), st.size), static_cast<zip_int64_t>(st.size));
    char extra;
    EXPECT_EQ(zip_fread(f, &extra, 1), 0) << st.name;  // and its CRC was right
    zip_fclose(f);
    out.push_back({st.name, data, st.comp_method, st.comp_size});
  }
  zip_close(z);
  return out;
}

TEST(ZipRecode, XmlPartsRecodedOtherPartsCopiedAndMimetypeFirst) {
  TempDir dir;
  const std::string picture = "\x89PNG<\xD8\xB8\x06\x38" + uytest::RandomBytes(3000, 5);
  WriteFile(dir / "in.odt",
            MakeZip({{"mimetype", "application/vnd.oasis.opendocument.text", true},
                     {"content.xml", "<?xml version=\"1.0\"?><t>\u0638\u0626 &#x638; abc</t>"},
                     {"Pictures/p.png", picture},
                     {"not-xml.txt", "\u0638 text"},
                     {"styles.xml", "<s>no arabic</s>"}}));
  Recorder r;
  const auto s = rc::RecodeByContent(dir / "in.odt", dir / "out.odt", 0, &r);
  EXPECT_EQ(s.kind, rc::DocumentKind::kZip);
  EXPECT_EQ(s.changed, 3u);
  ExpectGoodProgress(r);
  const auto out = ReadZip(dir / "out.odt");
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(out[0].name, "mimetype");
  EXPECT_EQ(out[0].method, ZIP_CM_STORE);
  EXPECT_EQ(out[1].data, "<?xml version=\"1.0\"?><t>\u0626\u06D0 &#x626; abc</t>");
  EXPECT_EQ(out[1].method, ZIP_CM_DEFLATE);
  EXPECT_EQ(out[2].data, picture);
  EXPECT_EQ(out[3].data, "\u0638 text");
  EXPECT_EQ(out[4].data, "<s>no arabic</s>");
  // The mimetype's local header and data sit at the start, uncompressed, as ODF needs.
  EXPECT_EQ(ReadFile(dir / "out.odt").substr(30, 8 + 39), "mimetypeapplication/vnd.oasis.opendocument.text");
}

TEST(ZipRecode, ArchiveWithoutTextToChangeIsCopiedByteForByte) {
  TempDir dir;
  const std::string zip = MakeZip({{"a.xml", "<a>latin only</a>"}, {"b.bin", uytest::RandomBytes(5000, 9)}});
  WriteFile(dir / "in.zip", zip);
  rc::RecodeByContent(dir / "in.zip", dir / "out.zip", 3, nullptr);
  EXPECT_EQ(ReadFile(dir / "out.zip"), zip);

  // An archive of no parts at all.
  const std::string empty = std::string("PK\x05\x06", 4) + std::string(18, '\0');
  WriteFile(dir / "empty.zip", empty);
  rc::RecodeByContent(dir / "empty.zip", dir / "empty-out.zip", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "empty-out.zip"), empty);
}

TEST(ZipRecode, DamagedArchiveIsAFailureAndWritesNothing) {
  TempDir dir;
  std::string zip = MakeZip({{"a.xml", "<a>\u0638</a>"}});
  WriteFile(dir / "cut.zip", zip.substr(0, zip.size() - 10));  // central directory cut
  try {
    rc::RecodeByContent(dir / "cut.zip", dir / "out.zip", 0, nullptr);
    FAIL() << "a damaged archive was recoded";
  } catch (const uy::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("cut.zip"), std::string::npos) << e.what();
  }
  // A part whose data does not match its CRC fails too.
  std::string bad = MakeZip({{"a.xml", std::string(200, 'x') + "<a>\u0638</a>", true}});
  bad[40 + 5] ^= 0x01;  // inside the stored data
  WriteFile(dir / "crc.zip", bad);
  EXPECT_THROW(rc::RecodeByContent(dir / "crc.zip", dir / "out.zip", 0, nullptr), uy::FileError);
  // Damage in a part that is copied as it is (not XML) is the document's, and named so.
  std::string picture = MakeZip({{"b.bin", uytest::RandomBytes(300, 4), true}, {"a.xml", "<a>\u0638</a>"}});
  picture[30 + 5 + 10] ^= 0x01;  // inside b.bin's stored data
  WriteFile(dir / "pic.zip", picture);
  try {
    rc::RecodeByContent(dir / "pic.zip", dir / "out.zip", 0, nullptr);
    ADD_FAILURE() << "an archive with a damaged part was recoded";
  } catch (const uy::FileError& e) {
    EXPECT_EQ(e.kind(), uy::FileError::Kind::Read);
    EXPECT_NE(std::string(e.what()).find("pic.zip: the document is damaged"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("b.bin"), std::string::npos) << e.what();
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"crc.zip", "cut.zip", "pic.zip"}));

  // A directory that claims an immense size (in a zip64 field) for a small XML part: it
  // is cut short, found without first taking the memory claimed.
  std::string big = MakeZip({{"a.xml", "<a>\u0638</a>"}});
  const std::size_t central = big.find("PK\x01\x02");
  ASSERT_EQ(big[central + 30], 0);  // no extra field yet
  big.replace(central + 24, 4, "\xFF\xFF\xFF\xFF", 4);
  big[central + 30] = 12;
  big.insert(central + 46 + 5, std::string("\x01\x00\x08\x00\x00\x00\x00\x00\x00\x00\x00\x40", 12));
  big[big.find("PK\x05\x06") + 12] += 12;  // the directory's length
  WriteFile(dir / "claim.zip", big);
  try {
    rc::RecodeByContent(dir / "claim.zip", dir / "out.zip", 0, nullptr);
    ADD_FAILURE() << "a part shorter than its claim was recoded";
  } catch (const uy::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("claim.zip: the part a.xml of the archive is cut short"), std::string::npos)
        << e.what();
  }

  // Two parts of one name: the document is damaged, whatever the written archive would be.
  std::string twice = MakeZip({{"a.xml", "<a>\u0638</a>"}, {"b.xml", "<b>\u0638</b>"}});
  for (std::size_t at; (at = twice.find("b.xml")) != std::string::npos;) twice[at] = 'a';
  WriteFile(dir / "twice.zip", twice);
  try {
    rc::RecodeByContent(dir / "twice.zip", dir / "out.zip", 0, nullptr);
    ADD_FAILURE() << "an archive with two parts of one name was recoded";
  } catch (const uy::FileError& e) {
    EXPECT_EQ(e.kind(), uy::FileError::Kind::Read);
    EXPECT_NE(std::string(e.what()).find("twice.zip: the document is damaged: two of its parts are named a.xml"),
              std::string::npos) << e.what();
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"claim.zip", "crc.zip", "cut.zip", "pic.zip", "twice.zip"}));
}

// ---------------------------------------------------------------------------------------
// Compound files built here

void Put16(std::string& b, std::uint16_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& b, std::uint32_t v) {
  Put16(b, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(b, static_cast<std::uint16_t>(v >> 16));
}

std::string Legacy(int i) {  // legacy text with every letter of Table A's from-values
  static const char16_t letters[] = {0x0622, 0x0623, 0x0624, 0x0626, 0x0629, 0x062B, 0x062D, 0x0630,
                                     0x0635, 0x0636, 0x0638, 0x0639, 0x0647, 0x0649, 0x0627, 0x0628};
  std::u16string s;
  for (int k = 0; k < 5 + i % 23; ++k) s.push_back(letters[(i + k * 7) % 16]);
  return uy::ToUtf8(s);
}

// A BIFF8 workbook stream, with the places where its builder put each string's
// characters and each number's bytes.
struct Workbook {
  std::string stream;
  std::vector<std::pair<std::uint64_t, std::u16string>> strings;  // offset, text (16-bit)
  std::vector<std::pair<std::uint64_t, std::string>> numbers;     // offset, 8 or 4 bytes
};

class BiffWriter {
 public:
  explicit BiffWriter(Workbook& wb) : wb_(wb) {}
  void Record(std::uint16_t type, const std::string& data) {
    Put16(wb_.stream, type);
    Put16(wb_.stream, static_cast<std::uint16_t>(data.size()));
    wb_.stream += data;
  }
  // The shared string table, split into CONTINUE records of at most `limit` bytes.
  void Sst(const std::vector<std::u16string>& strings, std::size_t limit) {
    std::string rec;
    Put32(rec, static_cast<std::uint32_t>(strings.size()));
    Put32(rec, static_cast<std::uint32_t>(strings.size()));
    std::uint16_t type = 0x00FC;
    auto flush = [&] {
      Record(type, rec);
      type = 0x003C;
      rec.clear();
    };
    for (std::size_t i = 0; i < strings.size(); ++i) {
      const std::u16string& s = strings[i];
      const bool rich = i % 5 == 0;
      if (rec.size() + 3 + (rich ? 2 : 0) + 2 > limit) flush();  // headers are not split
      Put16(rec, static_cast<std::uint16_t>(s.size()));
      rec.push_back(rich ? 0x09 : 0x01);
      if (rich) Put16(rec, 1);
      std::size_t k = 0;
      while (k < s.size()) {
        if (rec.size() + 2 > limit) {
          flush();
          rec.push_back(0x01);  // the characters go on: their width again
        }
        const std::uint64_t at = wb_.stream.size() + 4 + rec.size();
        std::u16string piece;
        while (k < s.size() && rec.size() + 2 <= limit) {
          Put16(rec, s[k]);
          piece.push_back(s[k++]);
        }
        wb_.strings.push_back({at, piece});
      }
      if (rich) {  // one formatting run, which may itself run into the next record
        for (int b = 0; b < 4; ++b) {
          if (rec.size() + 1 > limit) flush();
          rec.push_back(b == 0 ? '\x26' : '\x06');
        }
      }
    }
    flush();
  }
  // A cell record (row, column, format), then `payload`; its place is noted as a number's.
  void Cell(std::uint16_t type, std::uint16_t row, std::uint16_t col, const std::string& payload) {
    std::string rec;
    for (std::uint16_t v : {row, col, std::uint16_t{15}}) Put16(rec, v);
    wb_.numbers.push_back({wb_.stream.size() + 4 + 6, payload});
    Record(type, rec + payload);
  }
  void Number(std::uint16_t row, double value) {
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &value, 8);
    Cell(0x0203, row, 1, bytes);
  }
  void Rk(std::uint16_t row, std::uint32_t rk) {
    std::string bytes;
    Put32(bytes, rk);
    Cell(0x027E, row, 2, bytes);
  }
  // Characters (16-bit) at the end of a record of `type` whose data starts with `head`.
  void Text(std::uint16_t type, std::string head, const std::u16string& s, const std::string& tail = "") {
    wb_.strings.push_back({wb_.stream.size() + 4 + head.size(), s});
    Record(type, head + uytest::Utf16Le(s) + tail);
  }
  // A text box: its characters in two CONTINUE records (each led by their width), then
  // one with formatting runs.
  void TextBox(const std::u16string& s) {
    std::string txo(18, '\0');
    txo[10] = static_cast<char>(s.size() & 0xFF);
    txo[11] = static_cast<char>(s.size() >> 8);
    Record(0x01B6, txo);
    const std::size_t half = s.size() / 2;
    Text(0x003C, "\x01", s.substr(0, half));
    Text(0x003C, "\x01", s.substr(half));
    Record(0x003C, std::string("\x00\x00\x26\x06\x05\x00\x38\x06\x00\x00\x00\x00\x00\x00\x00\x00", 16));
  }
  // A comment's author, a chart's series name, a cell's text.
  void NoteAndSeries(const std::u16string& s) {
    std::string note(8, '\0');
    Put16(note, static_cast<std::uint16_t>(s.size()));
    Text(0x001C, note + '\x01', s, std::string(1, '\0'));
    Text(0x100D, std::string(2, '\0') + static_cast<char>(s.size()) + '\x01', s);
  }
  void Label(std::uint16_t row, const std::u16string& s) {
    std::string rec;
    for (std::uint16_t v : {row, std::uint16_t{0}, std::uint16_t{15}, static_cast<std::uint16_t>(s.size())}) Put16(rec, v);
    Text(0x0204, rec + '\x01', s);
  }

 private:
  Workbook& wb_;
};

std::string Bof(std::uint16_t kind) {
  std::string b;
  Put16(b, 0x0600);
  Put16(b, kind);
  b.append(12, '\0');
  return b;
}

Workbook LargeWorkbook(bool encrypted) {
  Workbook wb;
  BiffWriter w(wb);
  w.Record(0x0809, Bof(0x0005));
  if (encrypted) w.Record(0x002F, std::string(54, '\x06'));
  std::vector<std::u16string> strings;
  for (int i = 0; i < 24000; ++i) strings.push_back(uy::FromUtf8(Legacy(i)));
  w.Sst(strings, 8224);
  w.Record(0x000A, "");
  w.Record(0x0809, Bof(0x0010));
  for (std::uint16_t row = 0; row < 3000; ++row) {
    // Bytes that hit table values at even and odd places: 0x06380626..., and RK 393 = 0x0626.
    std::uint64_t bits = 0x0638062606490622ull + row;
    double v;
    std::memcpy(&v, &bits, 8);
    w.Number(row, v);
    w.Rk(row, 0x00000626u + (static_cast<std::uint32_t>(row % 4) << 24));
    if (row % 10 == 0) w.Label(row, uy::FromUtf8(Legacy(row)));
    if (row % 500 == 0) w.TextBox(uy::FromUtf8(Legacy(row + 1)));
    if (row % 700 == 0) w.NoteAndSeries(uy::FromUtf8(Legacy(row + 2)));
  }
  w.Record(0x000A, "");
  return wb;
}

// Every byte outside the given file extents is the same in both files.
void ExpectSameOutside(const std::string& a, const std::string& b, std::vector<rc::cfb::Extent> allowed) {
  ASSERT_EQ(a.size(), b.size());
  std::sort(allowed.begin(), allowed.end(), [](auto& x, auto& y) { return x.offset < y.offset; });
  std::size_t next = 0;
  std::size_t bad = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    while (next < allowed.size() && allowed[next].offset + allowed[next].length <= i) ++next;
    const bool inside = next < allowed.size() && allowed[next].offset <= i;
    if (!inside && a[i] != b[i] && bad++ < 5) ADD_FAILURE() << "byte " << i << " changed outside the text";
  }
}

// File extents of a stream range.
std::vector<rc::cfb::Extent> FileExtents(const rc::cfb::Stream& s, std::uint64_t offset, std::uint64_t length) {
  std::vector<rc::cfb::Extent> out;
  std::uint64_t pos = 0;
  for (const auto& x : s.extents) {
    const std::uint64_t lo = std::max(pos, offset), hi = std::min(pos + x.length, offset + length);
    if (lo < hi) out.push_back({x.offset + (lo - pos), hi - lo});
    pos += x.length;
  }
  return out;
}

bool FatHitsTableValues(const std::string& file) {
  const auto cf = rc::cfb::CompoundFile::Parse(Bytes(file));
  for (const auto& x : cf.structures())
    for (std::uint64_t o = x.offset; o + 2 <= x.offset + x.length; o += 2)
      if (static_cast<std::uint8_t>(file[o + 1]) == 0x06 && rc::RecodeUnit(0, static_cast<char16_t>(0x0600 | static_cast<std::uint8_t>(file[o]))) != (0x0600 | static_cast<std::uint8_t>(file[o])))
        return true;
  return false;
}

TEST(CompoundRecode, LargeSpreadsheetStringsRecodedNumbersAndContainerUntouched) {
  TempDir dir;
  const Workbook wb = LargeWorkbook(false);
  const std::string file = uytest::WriteCompoundFile(
      {{"Workbook", wb.stream}, {"\x05SummaryInformation", std::string(300, '\x06')}});
  ASSERT_GT(file.size(), 800u * 1024);
  ASSERT_TRUE(FatHitsTableValues(file));  // the unit pass would break this container
  WriteFile(dir / "big.xls", file);
  Recorder r;
  const auto summary = rc::RecodeByContent(dir / "big.xls", dir / "out.xls", 0, &r);
  ExpectGoodProgress(r);
  EXPECT_GT(r.positions.size(), 30u);  // in step with the bytes read and recoded
  EXPECT_EQ(summary.handling, rc::Handling::kSpreadsheetStrings);
  const std::string out = ReadFile(dir / "out.xls");

  const auto cf = rc::cfb::CompoundFile::Parse(Bytes(out));
  const rc::cfb::Stream* s = cf.Find("Workbook");
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->size, wb.stream.size());
  const auto stream = rc::cfb::CompoundFile::Read(Bytes(out), *s);
  std::vector<rc::cfb::Extent> allowed;
  bool odd = false;
  for (const auto& [at, text] : wb.strings) {
    ASSERT_EQ(Units(stream, at, text.size()), Map(text, 0)) << "string at " << at;
    odd = odd || at % 2;
    for (const auto& x : FileExtents(*s, at, 2 * text.size())) allowed.push_back(x);
  }
  EXPECT_TRUE(odd);
  for (const auto& [at, bytes] : wb.numbers)
    ASSERT_EQ(std::string(stream.begin() + at, stream.begin() + at + bytes.size()), bytes);
  ExpectSameOutside(file, out, allowed);
}

TEST(CompoundRecode, OlderSpreadsheetsHaveNoUnitsToRecode) {
  TempDir dir;
  Workbook wb;
  BiffWriter w(wb);
  std::string bof = Bof(0x0005);
  bof[1] = 0x05;  // version 0x0500
  w.Record(0x0809, bof);
  for (std::uint16_t row = 0; row < 2000; ++row) w.Rk(row, 0x00000626u);
  w.Record(0x000A, "");
  const std::string file = uytest::WriteCompoundFile({{"Book", wb.stream}});
  WriteFile(dir / "old.xls", file);
  rc::RecodeByContent(dir / "old.xls", dir / "out.xls", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "out.xls"), file);
}

TEST(CompoundRecode, EncryptedDocumentsAreRefused) {
  TempDir dir;
  const std::string secret(5000, '\x06');
  std::string user = std::string(12, '\0') + "\xDF\xC4\xD1\xF3" + std::string(30, '\0');
  std::string word = ReadFile(fs::path(UY_TEST_DATA) / "formats" / "writer.doc");
  const auto cf = rc::cfb::CompoundFile::Parse(Bytes(word));
  word[cf.Find("WordDocument")->extents[0].offset + 0x0B] |= 0x01;  // the encrypted flag
  const std::vector<std::pair<std::string, std::string>> cases{
      {"e.xls", uytest::WriteCompoundFile({{"Workbook", LargeWorkbook(true).stream.substr(0, 9000)}})},
      {"e.docx", uytest::WriteCompoundFile({{"EncryptionInfo", "x"}, {"EncryptedPackage", secret}})},
      {"e.ppt", uytest::WriteCompoundFile({{"Current User", user}, {"PowerPoint Document", secret}})},
      {"e.doc", word}};
  for (const auto& [name, file] : cases) {
    WriteFile(dir / name, file);
    try {
      rc::RecodeByContent(dir / name, dir / "out", 0, nullptr);
      ADD_FAILURE() << name << " was recoded";
    } catch (const uy::FileError& e) {
      EXPECT_NE(std::string(e.what()).find("encrypted"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(dir / "out")) << name;
  }
}

TEST(CompoundRecode, UnknownOrUnparsableStreamsGetTheContainerSafePass) {
  TempDir dir;
  std::string big = uytest::RandomBytes(900 * 1024, 11);
  std::string small(200, '\0');
  for (std::size_t i = 0; i < small.size(); i += 2) small[i + 1] = 0x06, small[i] = '\x38';
  // A spreadsheet stream whose records do not parse: the whole file falls back.
  const std::string broken = "\x09\x08\x10\x00" + std::string(100, '\x38');
  for (const auto& [name, third] : std::vector<std::pair<std::string, std::string>>{{"Other", "x"}, {"Workbook", broken}}) {
    const std::string file = uytest::WriteCompoundFile({{"Big", big}, {"Small", small}, {name, third}});
    ASSERT_TRUE(FatHitsTableValues(file));
    WriteFile(dir / "in.bin", file);
    Recorder r;
    const auto summary = rc::RecodeByContent(dir / "in.bin", dir / "out.bin", 0, &r);
    EXPECT_EQ(summary.handling, rc::Handling::kCompoundStreams);
    ExpectGoodProgress(r);
    EXPECT_GT(r.positions.size(), 30u);
    const std::string out = ReadFile(dir / "out.bin");
    const auto cf = rc::cfb::CompoundFile::Parse(Bytes(out));
    std::vector<rc::cfb::Extent> allowed;
    for (const auto& st : cf.streams()) {
      std::string want = st.path == "Big" ? big : st.path == "Small" ? small : third;
      rc::RecodeUnits({reinterpret_cast<std::uint8_t*>(want.data()), want.size()}, 0);
      const auto got = rc::cfb::CompoundFile::Read(Bytes(out), st);
      EXPECT_TRUE(std::string(got.begin(), got.end()) == want) << st.path;
      allowed.insert(allowed.end(), st.extents.begin(), st.extents.end());
    }
    EXPECT_TRUE(cf.Find("Small")->mini);
    ExpectSameOutside(file, out, allowed);
  }
}

TEST(CompoundRecode, DamagedContainerIsAFailure) {
  TempDir dir;
  std::string file = uytest::WriteCompoundFile({{"Big", uytest::RandomBytes(20000, 2)}});
  file.resize(file.size() - 512);  // the FAT sector is gone
  WriteFile(dir / "d.doc", file);
  try {
    rc::RecodeByContent(dir / "d.doc", dir / "out.doc", 0, nullptr);
    FAIL() << "a damaged compound file was recoded";
  } catch (const uy::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("d.doc"), std::string::npos) << e.what();
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"d.doc"});

  // Chains that end well but point past the end of the file: the directory, the mini FAT.
  const std::string good = uytest::WriteCompoundFile({{"Small", "abc"}});
  const auto u32 = [](const std::string& b, std::size_t o) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[o]) | static_cast<std::uint8_t>(b[o + 1]) << 8);
  };
  const std::size_t fat = (u32(good, 76) + 1) * 512;
  for (std::size_t field : {48u, 60u}) {
    std::string bad = good;
    bad[field] = 100;
    bad[field + 1] = 0;
    bad.replace(fat + 4 * 100, 4, std::string("\xFE\xFF\xFF\xFF", 4));
    EXPECT_THROW(rc::cfb::CompoundFile::Parse(Bytes(bad)), rc::DocumentError) << field;
  }

  // A stream whose chain runs through the directory sector: its recoding would rewrite
  // the directory, so the file is refused.
  std::string cross = uytest::WriteCompoundFile({{"Big", std::string(4096, '\x06')}});
  const std::size_t cross_fat = (u32(cross, 76) + 1) * 512;
  cross.replace(cross_fat + 4 * 6, 4, {static_cast<char>(u32(cross, 48)), 0, 0, 0});  // sector 6 -> directory
  EXPECT_THROW(rc::cfb::CompoundFile::Parse(Bytes(cross)), rc::DocumentError);
  WriteFile(dir / "d.doc", cross);
  EXPECT_THROW(rc::RecodeByContent(dir / "d.doc", dir / "out.doc", 0, nullptr), uy::FileError);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"d.doc"});
}

std::uint32_t Get32(const std::string& b, std::size_t o) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[o + i]);
  return v;
}
void Set32(std::string& b, std::size_t o, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[o + i] = static_cast<char>(v >> (8 * i));
}
// Where directory entry `id` of a file from WriteCompoundFile lies (its directory is one run).
std::size_t EntryAt(const std::string& f, std::size_t id) { return (Get32(f, 48) + 1) * 512 + id * 128; }
void ShareStream(std::string& f, std::size_t id, std::size_t with) {
  Set32(f, EntryAt(f, id) + 116, Get32(f, EntryAt(f, with) + 116));
  Set32(f, EntryAt(f, id) + 120, Get32(f, EntryAt(f, with) + 120));
}

// Crafted containers that claim a sector twice: a looping DIFAT, a FAT that lists a
// sector twice, streams sharing sectors (thousands sharing one once took quadratic time),
// and storages nested so deep that their paths grow quadratically. Each was recoded and
// reported as success; each is a damaged document, refused at once with its name.
TEST(CompoundRecode, SectorsClaimedTwiceAreDamage) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 32768; ++i) text += "\x38\x06";
  const std::vector<std::pair<std::string, std::function<std::string()>>> cases{
      {"the DIFAT chain loops", [] {
         // Room for the FAT sectors claimed, then a DIFAT sector listing the one FAT sector
         // and then itself: each round repeats the FAT.
         std::string f = uytest::WriteCompoundFile({{"Big", uytest::RandomBytes(5000, 5)}});
         f.append(400 * 512, '\0');
         const std::uint32_t fat = Get32(f, 76), difat = static_cast<std::uint32_t>(f.size() / 512 - 1);
         f.append(512, '\0');
         for (std::size_t i = 0; i < 127; ++i) Set32(f, (difat + 1) * 512 + 4 * i, fat);
         Set32(f, (difat + 1) * 512 + 508, difat);
         for (std::size_t i = 0; i < 109; ++i) Set32(f, 76 + 4 * i, fat);
         Set32(f, 44, 109 + 2 * 127);
         Set32(f, 68, difat);
         Set32(f, 72, 2);
         return f;
       }},
      {"the FAT lists a sector twice", [] {
         std::string f = uytest::WriteCompoundFile({{"Big", uytest::RandomBytes(5000, 5)}});
         Set32(f, 44, 2);
         Set32(f, 80, Get32(f, 76));
         return f;
       }},
      {"more FAT sectors than the file holds", [] {
         std::string f = uytest::WriteCompoundFile({{"Big", uytest::RandomBytes(5000, 5)}});
         Set32(f, 44, 200);
         return f;
       }},
      {"the chain of the stream A shares sectors with another stream", [&] {
         std::string f = uytest::WriteCompoundFile({{"A", text}, {"B", text}});
         ShareStream(f, 2, 1);
         return f;
       }},
      {"mini chain of the stream A shares sectors", [&] {
         std::string f = uytest::WriteCompoundFile({{"A", text.substr(0, 200)}, {"B", text.substr(0, 200)}});
         ShareStream(f, 2, 1);
         return f;
       }},
      {"the chain of the stream S1", [&] {
         std::vector<uytest::CfbStream> streams{{"S0000", text}};
         for (int i = 1; i <= 3000; ++i) streams.push_back({"S" + std::to_string(10000 + i), ""});
         std::string f = uytest::WriteCompoundFile(streams);
         for (std::size_t id = 2; id <= streams.size(); ++id) ShareStream(f, id, 1);
         return f;
       }},
      {"nests storages too deeply", [] {
         // Storage k holds stream k, whose right neighbour is storage k + 1.
         std::vector<uytest::CfbStream> streams(3000);
         for (std::size_t i = 0; i < streams.size(); ++i) streams[i].name = std::string(26, 'N') + std::to_string(10000 + i);
         std::string f = uytest::WriteCompoundFile(streams);
         Set32(f, EntryAt(f, 0) + 76, 1);
         for (std::size_t id = 1; id <= streams.size(); ++id) {
           const std::size_t e = EntryAt(f, id);
           const bool storage = id % 2 == 1;
           f[e + 66] = storage ? 1 : 2;
           Set32(f, e + 68, 0xFFFFFFFF);
           Set32(f, e + 72, !storage && id < streams.size() ? static_cast<std::uint32_t>(id + 1) : 0xFFFFFFFF);
           Set32(f, e + 76, storage ? static_cast<std::uint32_t>(id + 1) : 0xFFFFFFFF);
         }
         return f;
       }},
  };
  for (const auto& [reason, make] : cases) {
    const std::string file = make();
    EXPECT_THROW(rc::cfb::CompoundFile::Parse(Bytes(file)), rc::DocumentError) << reason;
    WriteFile(dir / "c.doc", file);
    try {
      rc::RecodeByContent(dir / "c.doc", dir / "out.doc", 0, nullptr);
      ADD_FAILURE() << "recoded although " << reason;
    } catch (const uy::FileError& e) {
      EXPECT_NE(std::string(e.what()).find("c.doc"), std::string::npos) << e.what();
      EXPECT_NE(e.reason().find(reason), std::string::npos) << e.reason();
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{"c.doc"}) << reason;
  }
}

// Compound files are read whole: beyond the version's limit or ours, a file is refused
// before it is read (a sparse file here), naming it.
TEST(CompoundRecode, FilesTooLargeToHoldAreRefusedUnread) {
  using rc::cfb::CheckFileSize;
  std::string v3 = uytest::WriteCompoundFile({{"A", "abc"}}), v4 = v3;
  v4[26] = 4;
  constexpr std::uint64_t GiB = std::uint64_t{1} << 30;
  EXPECT_NO_THROW(CheckFileSize(Bytes(v3), 2 * GiB));
  EXPECT_THROW(CheckFileSize(Bytes(v3), 2 * GiB + 1), rc::DocumentError);
  EXPECT_NO_THROW(CheckFileSize(Bytes(v4), 3 * GiB));
  EXPECT_THROW(CheckFileSize(Bytes(v4), 4 * GiB + 1), rc::DocumentError);
  TempDir dir;
  WriteFile(dir / "huge.doc", v3);
  fs::resize_file(dir / "huge.doc", 2 * GiB + 512);
  try {
    rc::RecodeByContent(dir / "huge.doc", dir / "out.doc", 0, nullptr);
    ADD_FAILURE() << "a version 3 file over 2 GiB was taken";
  } catch (const uy::FileError& e) {
    EXPECT_NE(std::string(e.what()).find("huge.doc"), std::string::npos) << e.what();
    EXPECT_NE(e.reason().find("2 GiB"), std::string::npos) << e.reason();
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"huge.doc"});
}

// Text ranges that overlap (pieces of a word-processor document pointing at the same
// text, in and out of step) have each byte recoded once.
TEST(CompoundRecode, OverlappingTextIsRecodedOnce) {
  using R = rc::office::UnitRange;
  const std::vector<std::pair<std::vector<R>, std::vector<R>>> cases{
      {{{10, 5}, {0, 3}}, {{0, 3}, {10, 5}}},             // apart: sorted
      {{{0, 10}, {4, 2}, {0, 10}}, {{0, 10}}},            // inside, the same twice
      {{{0, 4}, {6, 4}}, {{0, 4}, {8, 3}}},               // overlapping in step
      {{{0, 4}, {5, 4}}, {{0, 4}, {9, 2}}},               // out of step: the straddling unit goes
      {{{0, 4}, {7, 1}}, {}},                             // ... and with it all of this one
  };
  for (auto [in, want] : cases) {
    if (want.empty()) want = {in[0]};
    rc::office::KeepEachByteOnce(in);
    ASSERT_EQ(in.size(), want.size());
    for (std::size_t i = 0; i < in.size(); ++i)
      EXPECT_TRUE(in[i].offset == want[i].offset && in[i].count == want[i].count) << i;
  }

  // A document whose thousands of pieces all hold the same text (once quadratic, and the
  // text recoded as often as it was named), and one piece out of step with them.
  constexpr std::uint32_t kUnits = 20000, kPieces = 3000, kText = 1024;
  std::string wd(kText, '\0');
  wd[0] = '\xEC', wd[1] = '\xA5', wd[2] = '\xC1', wd[0x0B] = 0x02;  // 97 and later, 1Table
  wd[36] = 34;                                                       // 34 pairs of fields
  for (std::uint32_t i = 0; i < kUnits; ++i) wd += "\x38\x06";
  wd += std::string(2, '\0');
  std::string plc;
  for (std::uint32_t i = 0; i <= kPieces; ++i) Put32(plc, i * kUnits);
  for (std::uint32_t i = 0; i < kPieces; ++i) {
    Put16(plc, 0);
    Put32(plc, i + 1 < kPieces ? kText : kText + 1);
    Put16(plc, 0);
  }
  std::string table(512, '\0');
  table += '\x02';
  Put32(table, static_cast<std::uint32_t>(plc.size()));
  table += plc;
  Set32(wd, 38 + 33 * 8, 512);
  Set32(wd, 38 + 33 * 8 + 4, static_cast<std::uint32_t>(table.size() - 512));
  TempDir dir;
  const std::string file = uytest::WriteCompoundFile({{"WordDocument", wd}, {"1Table", table}});
  WriteFile(dir / "p.doc", file);
  EXPECT_EQ(rc::RecodeByContent(dir / "p.doc", dir / "out.doc", 0, nullptr).handling, rc::Handling::kWordProcessorText);
  const std::string out = ReadFile(dir / "out.doc");
  const auto cf = rc::cfb::CompoundFile::Parse(Bytes(out));
  const auto got = rc::cfb::CompoundFile::Read(Bytes(out), *cf.Find("WordDocument"));
  EXPECT_EQ(Units(got, kText, kUnits), Map(std::u16string(kUnits, u'\u0638'), 0));
}

// Damaged documents: the readers refuse them or find ranges inside their streams, and
// never read outside what they were given (the sanitizer build checks that).
TEST(CompoundRecode, DamagedDocumentsNeverMisleadTheReaders) {
  std::mt19937 rng(7);
  for (const char* name : {"writer.doc", "calc.xls", "impress.ppt", "writer-sorvan.doc"}) {
    const std::string good = ReadFile(fs::path(UY_TEST_DATA) / "formats" / name);
    for (int round = 0; round < 500; ++round) {
      std::string bad = good;
      const int flips = 1 + static_cast<int>(rng() % 8);
      for (int k = 0; k < flips; ++k) {
        // Mostly the header and the first sectors (FAT, directory, record headers).
        const unsigned where = rng() % 5;
        const std::size_t at = where < 2 ? rng() % 512 : where < 4 ? rng() % std::min<std::size_t>(bad.size(), 4096) : rng() % bad.size();
        bad[at] = static_cast<char>(rng());
      }
      if (round % 10 == 0) bad.resize(rng() % bad.size());
      try {
        const auto cf = rc::cfb::CompoundFile::Parse(Bytes(bad));
        for (const auto& st : cf.streams()) {
          for (const auto& x : st.extents) ASSERT_LE(x.offset + x.length, bad.size());
          const auto data = rc::cfb::CompoundFile::Read(Bytes(bad), st);
          std::vector<rc::office::UnitRange> ranges;
          try {
            if (st.path == "Workbook") ranges = rc::office::WorkbookText(data);
            if (st.path == "PowerPoint Document") ranges = rc::office::PresentationText(data);
            if (st.path == "WordDocument") {
              const auto* table = cf.Find(rc::office::TableStreamName(data));
              if (table) ranges = rc::office::WordText(data, rc::cfb::CompoundFile::Read(Bytes(bad), *table));
            }
          } catch (const std::runtime_error&) {
          }
          for (const auto& r : ranges) ASSERT_LE(r.offset + 2 * r.count, data.size()) << st.path;
        }
      } catch (const rc::DocumentError&) {
      }
    }
  }
}

TEST(Verification, WrittenFilesThatDifferFromTheIntentAreRejected) {
  namespace d = rc::detail;
  TempDir dir;
  const std::string file = uytest::WriteCompoundFile({{"A", uytest::RandomBytes(9000, 1)}, {"B", "small"}});
  const auto layout = rc::cfb::CompoundFile::Parse(Bytes(file));
  EXPECT_NO_THROW(d::VerifyCompound(file, file, layout));
  std::string changed = file;
  changed[layout.Find("A")->extents[0].offset] ^= 1;  // inside a stream: allowed
  EXPECT_NO_THROW(d::VerifyCompound(changed, file, layout));
  for (const auto& x : layout.structures()) {  // any container sector touched: rejected
    std::string broken = file;
    broken[x.offset + x.length - 1] ^= 1;
    EXPECT_THROW(d::VerifyCompound(broken, file, layout), rc::DocumentError) << x.offset;
  }
  EXPECT_THROW(d::VerifyCompound(file.substr(0, 1024), file, layout), rc::DocumentError);

  WriteFile(dir / "z.zip", MakeZip({{"a.xml", "<a/>"}}));
  std::vector<d::ZipEntryCheck> checks{{"a.xml", 4, 0}};
  EXPECT_THROW(d::VerifyZip(dir / "z.zip", checks), rc::DocumentError);  // wrong CRC
  checks.clear();
  EXPECT_THROW(d::VerifyZip(dir / "z.zip", checks), rc::DocumentError);  // a part too many
  WriteFile(dir / "n.zip", "PK\x03\x04 not really");
  EXPECT_THROW(d::VerifyZip(dir / "n.zip", checks), rc::DocumentError);
}

// ---------------------------------------------------------------------------------------
// Documents written by LibreOffice (tests/data/formats, see scripts/make-fixtures.sh)

struct Fixture {
  std::string name;
  int direction;
  std::vector<std::u16string> lines;  // Unicode text the recoded document must hold
};

void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name << " (direction " << f.direction << ")"; }

std::vector<Fixture> Fixtures() {
  std::ifstream in(fs::path(UY_TEST_DATA) / "formats" / "MANIFEST");
  std::vector<Fixture> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Fixture f;
    std::string dir, lines;
    std::getline(fields, f.name, '\t');
    std::getline(fields, dir, '\t');
    std::getline(fields, lines);
    f.direction = std::stoi(dir);
    std::istringstream parts(lines);
    for (std::string l; std::getline(parts, l, '|');) f.lines.push_back(ArabicOnly(uy::FromUtf8(l)));
    out.push_back(f);
  }
  return out;
}

// The text of a document, by our own reading of its format, and the file extents that
// hold it (for compound files); zip archives are compared part by part instead.
struct Text {
  std::u16string text;
  std::vector<rc::cfb::Extent> extents;
};

Text CompoundText(const std::string& file) {
  Text t;
  const auto cf = rc::cfb::CompoundFile::Parse(Bytes(file));
  auto add = [&](const rc::cfb::Stream& s, const std::vector<std::uint8_t>& data,
                 const std::vector<rc::office::UnitRange>& ranges) {
    for (const auto& r : ranges) {
      t.text += Units(data, r.offset, r.count);
      for (const auto& x : FileExtents(s, r.offset, 2 * r.count)) t.extents.push_back(x);
    }
  };
  if (const auto* wb = cf.Find("Workbook")) {
    const auto data = rc::cfb::CompoundFile::Read(Bytes(file), *wb);
    add(*wb, data, rc::office::WorkbookText(data));
  } else if (const auto* wd = cf.Find("WordDocument")) {
    const auto data = rc::cfb::CompoundFile::Read(Bytes(file), *wd);
    const auto table = rc::cfb::CompoundFile::Read(Bytes(file), *cf.Find(rc::office::TableStreamName(data)));
    add(*wd, data, rc::office::WordText(data, table));
  } else if (const auto* pp = cf.Find("PowerPoint Document")) {
    const auto data = rc::cfb::CompoundFile::Read(Bytes(file), *pp);
    add(*pp, data, rc::office::PresentationText(data));
  } else {
    ADD_FAILURE() << "no known document stream";
  }
  return t;
}

std::u16string RtfText(const std::string& rtf) {  // the \uN characters, in order
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

void ExpectLines(const std::u16string& text, const Fixture& f) {
  const std::u16string arabic = ArabicOnly(text);
  for (const auto& line : f.lines)
    EXPECT_NE(arabic.find(line), std::u16string::npos) << f.name << ": a line is missing: " << uy::ToUtf8(line);
}

class FixtureTest : public testing::TestWithParam<Fixture> {};

TEST_P(FixtureTest, RecodedTextIsUnicodeAndNothingElseChanged) {
  const Fixture& f = GetParam();
  TempDir dir;
  const fs::path in = fs::path(UY_TEST_DATA) / "formats" / f.name;
  const fs::path out = dir / rc::OutputFileName(f.name, f.direction);
  Recorder r;
  const auto summary = rc::RecodeByContent(in, out, f.direction, &r);
  ExpectGoodProgress(r);
  const std::string a = ReadFile(in), b = ReadFile(out);

  switch (summary.kind) {
    case rc::DocumentKind::kZip: {
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
    case rc::DocumentKind::kCompound: {
      const Text ta = CompoundText(a), tb = CompoundText(b);
      EXPECT_EQ(tb.text, Map(ta.text, f.direction));
      ExpectLines(tb.text, f);
      ExpectSameOutside(a, b, ta.extents);
      EXPECT_NE(summary.handling, rc::Handling::kCompoundStreams) << "the document did not parse";
      break;
    }
    case rc::DocumentKind::kUtf16Text:
    case rc::DocumentKind::kUtf8Text:
    case rc::DocumentKind::kRtf: {
      ASSERT_EQ(a.size(), b.size());
      const auto text = [&](const std::string& x) {
        return summary.kind == rc::DocumentKind::kRtf ? RtfText(x)
               : summary.kind == rc::DocumentKind::kUtf8Text ? uy::FromUtf8(x)
                                                             : Units(Bytes(x), 2, x.size() / 2 - 1);
      };
      EXPECT_EQ(text(b), Map(text(a), f.direction));
      if (summary.kind == rc::DocumentKind::kUtf16Text) {
        EXPECT_EQ(b.substr(0, 2), "\xFF\xFE");
      }
      ExpectLines(text(b), f);
      for (std::size_t i = 0; i < a.size(); ++i) {  // in rich text only the digits of \uN differ
        if (summary.kind == rc::DocumentKind::kRtf && a[i] != b[i]) {
          ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(a[i]))) << "byte " << i;
        }
      }
      break;
    }
    case rc::DocumentKind::kOther:
      ADD_FAILURE() << f.name << " was not recognised";
  }
}

INSTANTIATE_TEST_SUITE_P(LibreOffice, FixtureTest, testing::ValuesIn(Fixtures()),
                         [](const testing::TestParamInfo<Fixture>& info) {
                           std::string n;
                           for (char c : info.param.name) n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

TEST(FixtureSet, CoversEveryFormat) {
  std::set<std::string> ext;
  for (const Fixture& f : Fixtures()) ext.insert(fs::path(f.name).extension().string());
  for (const char* e : {".docx", ".xlsx", ".pptx", ".odt", ".ods", ".odp", ".doc", ".xls", ".ppt", ".txt", ".html", ".rtf"})
    EXPECT_TRUE(ext.count(e)) << e;
}

// A real word-processor document made large: the container is rebuilt around its streams
// with a big data stream first, so its text and FAT lie at sector numbers 0x0622 and up.
TEST(CompoundRecode, LargeWordProcessorDocument) {
  TempDir dir;
  const std::string small = ReadFile(fs::path(UY_TEST_DATA) / "formats" / "writer.doc");
  const auto cf = rc::cfb::CompoundFile::Parse(Bytes(small));
  std::vector<uytest::CfbStream> streams{{"Data", uytest::RandomBytes(1000 * 1024, 4)}};
  for (const auto& s : cf.streams()) {
    ASSERT_EQ(s.path.find('/'), std::string::npos);
    const auto data = rc::cfb::CompoundFile::Read(Bytes(small), s);
    streams.push_back({s.path, std::string(data.begin(), data.end())});
  }
  const std::string file = uytest::WriteCompoundFile(streams);
  ASSERT_TRUE(FatHitsTableValues(file));
  WriteFile(dir / "big.doc", file);
  const auto summary = rc::RecodeByContent(dir / "big.doc", dir / "out.doc", 0, nullptr);
  EXPECT_EQ(summary.handling, rc::Handling::kWordProcessorText);
  const std::string out = ReadFile(dir / "out.doc");
  const Text ta = CompoundText(file), tb = CompoundText(out);
  EXPECT_EQ(tb.text, Map(ta.text, 0));
  Fixture f;
  for (const Fixture& x : Fixtures())
    if (x.name == "writer.doc") f = x;
  ExpectLines(tb.text, f);
  ExpectSameOutside(file, out, ta.extents);
  if (const char* keep = std::getenv("UY_KEEP_LARGE")) {  // for checking by hand in an office suite
    fs::copy_file(dir / "big.doc", fs::path(keep) / "large.doc", fs::copy_options::overwrite_existing);
    fs::copy_file(dir / "out.doc", fs::path(keep) / "large(Unicode).doc", fs::copy_options::overwrite_existing);
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
