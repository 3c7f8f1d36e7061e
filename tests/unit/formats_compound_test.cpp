// SPDX-License-Identifier: GPL-3.0-or-later
// The content-aware recoder on compound files: large and crafted ones built here, damaged
// and encrypted ones, and a real word-processor document made large.
#include <algorithm>
#include <cstring>
#include <functional>
#include <random>

#include "detect.h"
#include "document_builders.h"
#include "file_io.h"
#include "office_binary.h"
#include "pass.h"
#include "utf.h"

namespace {

using namespace uytest;

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

// Some container sector holds a unit that direction 0 recodes: the unit pass would break it.
bool FatHitsTableValues(const std::string& file) {
  const auto cf = fm::cfb::CompoundFile::Parse(Bytes(file));
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
  const auto summary = fm::RecodeByContent(dir / "big.xls", dir / "out.xls", 0, &r);
  ExpectGoodProgress(r);
  EXPECT_GT(r.positions.size(), 30u);  // in step with the bytes read and recoded
  EXPECT_EQ(summary.handling, fm::Handling::kSpreadsheetStrings);
  const std::string out = ReadFile(dir / "out.xls");

  const auto cf = fm::cfb::CompoundFile::Parse(Bytes(out));
  const fm::cfb::Stream* s = cf.Find("Workbook");
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->size, wb.stream.size());
  const auto stream = fm::cfb::CompoundFile::Read(Bytes(out), *s);
  std::vector<fm::cfb::Extent> allowed;
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
  fm::RecodeByContent(dir / "old.xls", dir / "out.xls", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "out.xls"), file);
}

TEST(CompoundRecode, EncryptedDocumentsAreRefused) {
  TempDir dir;
  const std::string secret(5000, '\x06');
  std::string user = std::string(12, '\0') + "\xDF\xC4\xD1\xF3" + std::string(30, '\0');
  std::string word = ReadFile(fs::path(UY_TEST_DATA) / "formats" / "writer.doc");
  const auto cf = fm::cfb::CompoundFile::Parse(Bytes(word));
  word[cf.Find("WordDocument")->extents[0].offset + 0x0B] |= 0x01;  // the encrypted flag
  const std::vector<std::pair<std::string, std::string>> cases{
      {"e.xls", uytest::WriteCompoundFile({{"Workbook", LargeWorkbook(true).stream.substr(0, 9000)}})},
      {"e.docx", uytest::WriteCompoundFile({{"EncryptionInfo", "x"}, {"EncryptedPackage", secret}})},
      {"e.ppt", uytest::WriteCompoundFile({{"Current User", user}, {"PowerPoint Document", secret}})},
      {"e.doc", word}};
  for (const auto& [name, file] : cases) {
    WriteFile(dir / name, file);
    try {
      fm::RecodeByContent(dir / name, dir / "out", 0, nullptr);
      ADD_FAILURE() << name << " was recoded";
    } catch (const uy::FileError& e) {
      EXPECT_NE(std::string(e.what()).find("encrypted"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(dir / "out")) << name;
  }
}

TEST(CompoundRecode, UnknownStreamsGetTheContainerSafePassDamagedTextIsRefused) {
  TempDir dir;
  std::string big = uytest::RandomBytes(900 * 1024, 11);
  std::string small(200, '\0');
  for (std::size_t i = 0; i < small.size(); i += 2) small[i + 1] = 0x06, small[i] = '\x38';
  // A spreadsheet stream whose records do not parse is damage, not another kind of file:
  // the unit pass would change bytes outside its text.
  const std::string broken = "\x09\x08\x10\x00" + std::string(100, '\x38');
  WriteFile(dir / "in.bin", uytest::WriteCompoundFile({{"Small", small}, {"Workbook", broken}}));
  EXPECT_THROW(
      try { fm::RecodeByContent(dir / "in.bin", dir / "out.bin", 0, nullptr); } catch (const uy::FileError& e) {
        EXPECT_NE(std::string(e.what()).find("in.bin: the workbook's record structure is damaged"), std::string::npos)
            << e.what();
        throw;
      },
      uy::FileError);
  EXPECT_FALSE(fs::exists(dir / "out.bin"));
  for (const auto& [name, third] : std::vector<std::pair<std::string, std::string>>{{"Other", "x"}}) {
    const std::string file = uytest::WriteCompoundFile({{"Big", big}, {"Small", small}, {name, third}});
    ASSERT_TRUE(FatHitsTableValues(file));
    WriteFile(dir / "in.bin", file);
    Recorder r;
    const auto summary = fm::RecodeByContent(dir / "in.bin", dir / "out.bin", 0, &r);
    EXPECT_EQ(summary.handling, fm::Handling::kCompoundStreams);
    ExpectGoodProgress(r);
    EXPECT_GT(r.positions.size(), 30u);
    const std::string out = ReadFile(dir / "out.bin");
    const auto cf = fm::cfb::CompoundFile::Parse(Bytes(out));
    std::vector<fm::cfb::Extent> allowed;
    for (const auto& st : cf.streams()) {
      std::string want = st.path == "Big" ? big : st.path == "Small" ? small : third;
      rc::RecodeUnits({reinterpret_cast<std::uint8_t*>(want.data()), want.size()}, 0);
      const auto got = fm::cfb::CompoundFile::Read(Bytes(out), st);
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
    fm::RecodeByContent(dir / "d.doc", dir / "out.doc", 0, nullptr);
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
    EXPECT_THROW(fm::cfb::CompoundFile::Parse(Bytes(bad)), fm::DocumentError) << field;
  }

  // A stream whose chain runs through the directory sector: its recoding would rewrite
  // the directory, so the file is refused.
  std::string cross = uytest::WriteCompoundFile({{"Big", std::string(4096, '\x06')}});
  const std::size_t cross_fat = (u32(cross, 76) + 1) * 512;
  cross.replace(cross_fat + 4 * 6, 4, {static_cast<char>(u32(cross, 48)), 0, 0, 0});  // sector 6 -> directory
  EXPECT_THROW(fm::cfb::CompoundFile::Parse(Bytes(cross)), fm::DocumentError);
  WriteFile(dir / "d.doc", cross);
  EXPECT_THROW(fm::RecodeByContent(dir / "d.doc", dir / "out.doc", 0, nullptr), uy::FileError);
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
    EXPECT_THROW(fm::cfb::CompoundFile::Parse(Bytes(file)), fm::DocumentError) << reason;
    WriteFile(dir / "c.doc", file);
    try {
      fm::RecodeByContent(dir / "c.doc", dir / "out.doc", 0, nullptr);
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
  using fm::cfb::CheckFileSize;
  std::string v3 = uytest::WriteCompoundFile({{"A", "abc"}}), v4 = v3;
  v4[26] = 4;
  constexpr std::uint64_t GiB = std::uint64_t{1} << 30;
  EXPECT_NO_THROW(CheckFileSize(Bytes(v3), 2 * GiB));
  EXPECT_THROW(CheckFileSize(Bytes(v3), 2 * GiB + 1), fm::DocumentError);
  EXPECT_NO_THROW(CheckFileSize(Bytes(v4), 3 * GiB));
  EXPECT_THROW(CheckFileSize(Bytes(v4), 4 * GiB + 1), fm::DocumentError);
  TempDir dir;
  WriteFile(dir / "huge.doc", v3);
  fs::resize_file(dir / "huge.doc", 2 * GiB + 512);
  try {
    fm::RecodeByContent(dir / "huge.doc", dir / "out.doc", 0, nullptr);
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
  using R = fm::UnitRange;
  const std::vector<std::pair<std::vector<R>, std::vector<R>>> cases{
      {{{10, 5}, {0, 3}}, {{0, 3}, {10, 5}}},             // apart: sorted
      {{{0, 10}, {4, 2}, {0, 10}}, {{0, 10}}},            // inside, the same twice
      {{{0, 4}, {6, 4}}, {{0, 4}, {8, 3}}},               // overlapping in step
      {{{0, 4}, {5, 4}}, {{0, 4}, {9, 2}}},               // out of step: the straddling unit goes
      {{{0, 4}, {7, 1}}, {}},                             // ... and with it all of this one
  };
  for (auto [in, want] : cases) {
    if (want.empty()) want = {in[0]};
    fm::KeepEachByteOnce(in);
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
  EXPECT_EQ(fm::RecodeByContent(dir / "p.doc", dir / "out.doc", 0, nullptr).handling, fm::Handling::kWordProcessorText);
  const std::string out = ReadFile(dir / "out.doc");
  const auto cf = fm::cfb::CompoundFile::Parse(Bytes(out));
  const auto got = fm::cfb::CompoundFile::Read(Bytes(out), *cf.Find("WordDocument"));
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
        const auto cf = fm::cfb::CompoundFile::Parse(Bytes(bad));
        for (const auto& st : cf.streams()) {
          for (const auto& x : st.extents) ASSERT_LE(x.offset + x.length, bad.size());
          const auto data = fm::cfb::CompoundFile::Read(Bytes(bad), st);
          std::vector<fm::UnitRange> ranges;
          try {
            if (st.path == "Workbook") ranges = fm::WorkbookText(data);
            if (st.path == "PowerPoint Document") ranges = fm::PresentationText(data);
            if (st.path == "WordDocument") {
              const auto* table = cf.Find(fm::TableStreamName(data));
              if (table) ranges = fm::WordText(data, fm::cfb::CompoundFile::Read(Bytes(bad), *table));
            }
          } catch (const std::runtime_error&) {
          }
          for (const auto& r : ranges) ASSERT_LE(r.offset + 2 * r.count, data.size()) << st.path;
        }
      } catch (const fm::DocumentError&) {
      }
    }
  }
}

// A document whose text structures cannot be read is refused, naming what is damaged:
// the unit pass over whole streams would change bytes that are no text. --raw still
// gives that pass when asked.
TEST(CompoundRecode, DamagedTextStructuresAreRefused) {
  using namespace std::string_literals;
  struct Case {
    const char* fixture;
    const char* stream;
    std::size_t at;
    std::string bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"writer.doc", "WordDocument", 0x0B, "\x00"s, "table stream 0Table is missing"},
      {"writer.doc", "WordDocument", 0x1A2, "\x00\xFF\xFF\x7F"s, "piece table is damaged: the piece table lies outside"},
      {"impress.ppt", "PowerPoint Document", 4, "\xF0\xFF\xFF\x7F"s, "presentation's record structure is damaged"},
      {"calc.xls", "Workbook", 2, "\xFF\xFF"s, "workbook's record structure is damaged"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    std::string file = ReadFile(fs::path(UY_TEST_DATA) / "formats" / c.fixture);
    const auto cf = fm::cfb::CompoundFile::Parse(Bytes(file));
    std::size_t left = c.at;  // the stream's offset, through its sectors
    for (const auto& x : cf.Find(c.stream)->extents) {
      if (left < x.length) {
        file.replace(x.offset + left, c.bytes.size(), c.bytes);
        break;
      }
      left -= x.length;
    }
    WriteFile(dir / c.fixture, file);
    try {
      fm::RecodeByContent(dir / c.fixture, dir / "out", 0, nullptr);
      ADD_FAILURE() << c.fixture << " at " << c.at << " was recoded";
    } catch (const uy::FileError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.fixture), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_THROW(fm::DetectDocument(dir / c.fixture), uy::FileError) << c.fixture;
    rc::RecodeDocument(dir / c.fixture, dir / "out", 0, nullptr);
    EXPECT_TRUE(fs::exists(dir / "out"));
    fs::remove(dir / "out");
  }
}

// A real word-processor document made large: the container is rebuilt around its streams
// with a big data stream first, so its text and FAT lie at sector numbers 0x0622 and up.
TEST(CompoundRecode, LargeWordProcessorDocument) {
  TempDir dir;
  const std::string small = ReadFile(fs::path(UY_TEST_DATA) / "formats" / "writer.doc");
  const auto cf = fm::cfb::CompoundFile::Parse(Bytes(small));
  std::vector<uytest::CfbStream> streams{{"Data", uytest::RandomBytes(1000 * 1024, 4)}};
  for (const auto& s : cf.streams()) {
    ASSERT_EQ(s.path.find('/'), std::string::npos);
    const auto data = fm::cfb::CompoundFile::Read(Bytes(small), s);
    streams.push_back({s.path, std::string(data.begin(), data.end())});
  }
  const std::string file = uytest::WriteCompoundFile(streams);
  ASSERT_TRUE(FatHitsTableValues(file));
  WriteFile(dir / "big.doc", file);
  const auto summary = fm::RecodeByContent(dir / "big.doc", dir / "out.doc", 0, nullptr);
  EXPECT_EQ(summary.handling, fm::Handling::kWordProcessorText);
  const std::string out = ReadFile(dir / "out.doc");
  const TextAndExtents ta = CompoundText(file), tb = CompoundText(out);
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

}  // namespace
