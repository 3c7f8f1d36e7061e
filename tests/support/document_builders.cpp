// SPDX-License-Identifier: GPL-3.0-or-later
#include "document_builders.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "office_binary.h"
#include "tables.h"
#include "utf.h"

namespace uytest {
namespace {

// The characters of U+0600..U+06FF, in order: what a comparison of document text keeps
// of it, free of the blanks, breaks and markup that each format places differently.
std::u16string ArabicOnly(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text)
    if (c >= 0x0600 && c <= 0x06FF) out.push_back(c);
  return out;
}

}  // namespace

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

std::u16string Units(std::span<const std::uint8_t> b, std::uint64_t offset, std::uint64_t count) {
  std::u16string s(count, u'\0');
  uy::DecodeUtf16Bytes(b.subspan(offset, 2 * count), false, s.data());
  return s;
}

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

void Put16(std::string& b, std::uint16_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& b, std::uint32_t v) {
  Put16(b, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(b, static_cast<std::uint16_t>(v >> 16));
}

void ExpectSameOutside(const std::string& a, const std::string& b, std::vector<fm::cfb::Extent> allowed) {
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

std::vector<fm::cfb::Extent> FileExtents(const fm::cfb::Stream& s, std::uint64_t offset, std::uint64_t length) {
  std::vector<fm::cfb::Extent> out;
  std::uint64_t pos = 0;
  for (const auto& x : s.extents) {
    const std::uint64_t lo = std::max(pos, offset), hi = std::min(pos + x.length, offset + length);
    if (lo < hi) out.push_back({x.offset + (lo - pos), hi - lo});
    pos += x.length;
  }
  return out;
}

TextAndExtents CompoundText(const std::string& file) {
  TextAndExtents t;
  const auto cf = fm::cfb::CompoundFile::Parse(Bytes(file));
  auto add = [&](const fm::cfb::Stream& s, const std::vector<std::uint8_t>& data,
                 const std::vector<fm::UnitRange>& ranges) {
    for (const auto& r : ranges) {
      t.text += Units(data, r.offset, r.count);
      for (const auto& x : FileExtents(s, r.offset, 2 * r.count)) t.extents.push_back(x);
    }
  };
  if (const auto* wb = cf.Find("Workbook")) {
    const auto data = fm::cfb::CompoundFile::Read(Bytes(file), *wb);
    add(*wb, data, fm::WorkbookText(data));
  } else if (const auto* wd = cf.Find("WordDocument")) {
    const auto data = fm::cfb::CompoundFile::Read(Bytes(file), *wd);
    const auto table = fm::cfb::CompoundFile::Read(Bytes(file), *cf.Find(fm::TableStreamName(data)));
    add(*wd, data, fm::WordText(data, table));
  } else if (const auto* pp = cf.Find("PowerPoint Document")) {
    const auto data = fm::cfb::CompoundFile::Read(Bytes(file), *pp);
    add(*pp, data, fm::PresentationText(data));
  } else {
    ADD_FAILURE() << "no known document stream";
  }
  return t;
}

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

void ExpectLines(const std::u16string& text, const Fixture& f) {
  const std::u16string arabic = ArabicOnly(text);
  for (const auto& line : f.lines)
    EXPECT_NE(arabic.find(line), std::u16string::npos) << f.name << ": a line is missing: " << uy::ToUtf8(line);
}

}  // namespace uytest
