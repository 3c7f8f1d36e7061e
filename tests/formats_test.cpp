// The content-aware recoder: real office documents written by LibreOffice, large
// compound files built here, text files, and the failures it must report.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <random>
#include <sstream>

#include <gtest/gtest.h>
#include <zip.h>

#include "cfb_writer.h"
#include "core/file_io.h"
#include "core/utf.h"
#include "recoder/batch.h"
#include "recoder/cfb.h"
#include "recoder/formats.h"
#include "recoder/formats_internal.h"
#include "recoder/office_binary.h"
#include "recoder/pass.h"
#include "recoder/tables.h"
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
  std::u16string s;
  for (std::uint64_t k = 0; k < count; ++k)
    s.push_back(static_cast<char16_t>(b[offset + 2 * k] | b[offset + 2 * k + 1] << 8));
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
  auto b = Buf("<p>&#1592;&#x638;&#X0626;&#x6d0;&#1574; &#65; &#x638 &#99999999999;</p>");
  EXPECT_EQ(rc::RecodeCharacterReferences(b, 0), 4u);  // U+06D0 has no pair in direction 0
  EXPECT_EQ(Str(b), "<p>&#1574;&#x626;&#X06D0;&#x6d0;&#1744; &#65; &#x638 &#99999999999;</p>");
  auto d = Buf("&#1744;&#x6C7;");
  EXPECT_EQ(rc::RecodeCharacterReferences(d, 1), 2u);
  EXPECT_EQ(Str(d), "&#1574;&#x630;");
}

TEST(TextRecode, RtfEscapesOnlyWhereTheyAreCharacters) {
  auto b = Buf("{\\rtf1\\uc1 \\u1592?\\u1574\\'c6 \\\\u1592 \\ul1592 \\u-1592 {\\bin4 \\u1592}\\u1593 \\u00000015921 x}");
  EXPECT_EQ(rc::RecodeRtfEscapes(b, 0), 3u);  // the last escape is U+3E31, all its digits read
  EXPECT_EQ(Str(b), "{\\rtf1\\uc1 \\u1574?\\u1744\\'c6 \\\\u1592 \\ul1592 \\u-1592 {\\bin4 \\u1592}\\u1609 \\u00000015921 x}");
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
  EXPECT_EQ(rc::DetectKind(Bytes("bad \xD8 utf8"), true), K::kOther);
  EXPECT_EQ(rc::DetectKind(Bytes(""), true), K::kOther);
}

// ---------------------------------------------------------------------------------------
// Files

TEST(RecodeByContent, TextFilesAreRecodedFromTheFirstByte) {
  TempDir dir;
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

  // An empty buffer is an empty archive (and nothing of it stays allocated).
  std::vector<rc::detail::ZipEntryCheck> checks{{"stale", 1, 2}};
  std::size_t changed = 0;
  EXPECT_EQ(rc::detail::RecodeZip("", 0, checks, changed, {}), "");
  EXPECT_TRUE(checks.empty());
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
  std::vector<rc::detail::ZipEntryCheck> checks;
  std::size_t changed = 0;
  EXPECT_THROW(rc::detail::RecodeZip(big, 0, checks, changed, {}), rc::detail::FormatError);
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
  EXPECT_EQ(summary.handling, "spreadsheet strings");
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
    const auto summary = rc::RecodeByContent(dir / "in.bin", dir / "out.bin", 0, nullptr);
    EXPECT_EQ(summary.handling, "compound file streams");
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
    EXPECT_THROW(rc::cfb::CompoundFile::Parse(Bytes(bad)), rc::cfb::ParseError) << field;
  }

  // A stream whose chain runs through the directory sector: its recoding would rewrite
  // the directory, so the file is refused.
  std::string cross = uytest::WriteCompoundFile({{"Big", std::string(4096, '\x06')}});
  const std::size_t cross_fat = (u32(cross, 76) + 1) * 512;
  cross.replace(cross_fat + 4 * 6, 4, {static_cast<char>(u32(cross, 48)), 0, 0, 0});  // sector 6 -> directory
  EXPECT_THROW(rc::cfb::CompoundFile::Parse(Bytes(cross)), rc::cfb::ParseError);
  WriteFile(dir / "d.doc", cross);
  EXPECT_THROW(rc::RecodeByContent(dir / "d.doc", dir / "out.doc", 0, nullptr), uy::FileError);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"d.doc"});
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
      } catch (const rc::cfb::ParseError&) {
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
    EXPECT_THROW(d::VerifyCompound(broken, file, layout), d::FormatError) << x.offset;
  }
  EXPECT_THROW(d::VerifyCompound(file.substr(0, 1024), file, layout), d::FormatError);

  WriteFile(dir / "z.zip", MakeZip({{"a.xml", "<a/>"}}));
  std::vector<d::ZipEntryCheck> checks{{"a.xml", 4, 0}};
  EXPECT_THROW(d::VerifyZip(dir / "z.zip", checks), d::FormatError);  // wrong CRC
  checks.clear();
  EXPECT_THROW(d::VerifyZip(dir / "z.zip", checks), d::FormatError);  // a part too many
  WriteFile(dir / "n.zip", "PK\x03\x04 not really");
  EXPECT_THROW(d::VerifyZip(dir / "n.zip", checks), d::FormatError);
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
      EXPECT_NE(summary.handling, "compound file streams") << "the document did not parse";
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
  EXPECT_EQ(summary.handling, "word-processor text");
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
