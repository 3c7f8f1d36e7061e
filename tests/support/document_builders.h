// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the content-aware recoder's tests: zip archives made and read back through
// libzip, little-endian fields, comparisons of compound files outside their text, and
// the documents written by LibreOffice in tests/data/formats with the text each holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zip.h>

#include "cfb.h"
#include "cfb_writer.h"
#include "formats.h"
#include "recoder_test_util.h"
#include "test_util.h"

namespace uytest {

namespace fs = std::filesystem;
namespace rc = uy::recode;
namespace fm = uy::formats;

using Recorder = RecordingSink;

inline std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Range 1..100 once, positions strictly rising from at least 1 to 100.
void ExpectGoodProgress(const Recorder& r);

// Every unit through the direction's table.
std::u16string Map(std::u16string text, int direction);

// `count` UTF-16LE units of `b` from byte `offset`.
std::u16string Units(std::span<const std::uint8_t> b, std::uint64_t offset, std::uint64_t count);

// ---------------------------------------------------------------------------------------
// Zip containers

struct ZipPart {
  std::string name;
  std::string data;
  bool stored = false;
};

std::string MakeZip(const std::vector<ZipPart>& parts);

struct ZipEntry {
  std::string name;
  std::string data;
  zip_int32_t method;
  zip_uint64_t comp_size;
};

// Every part, read through its CRC, of an archive that passes the consistency check.
std::vector<ZipEntry> ReadZip(const fs::path& path);

// ---------------------------------------------------------------------------------------
// Little-endian fields

void Put16(std::string& b, std::uint16_t v);
void Put32(std::string& b, std::uint32_t v);

// ---------------------------------------------------------------------------------------
// Compound files

// Every byte outside the given file extents is the same in both files.
void ExpectSameOutside(const std::string& a, const std::string& b, std::vector<fm::cfb::Extent> allowed);

// File extents of a stream range.
std::vector<fm::cfb::Extent> FileExtents(const fm::cfb::Stream& s, std::uint64_t offset, std::uint64_t length);

// The text of a compound document, by our own reading of its format, and the file
// extents that hold it.
struct TextAndExtents {
  std::u16string text;
  std::vector<fm::cfb::Extent> extents;
};
TextAndExtents CompoundText(const std::string& file);

// ---------------------------------------------------------------------------------------
// Documents written by LibreOffice (tests/data/formats, see scripts/make-fixtures.sh)

struct Fixture {
  std::string name;
  int direction;
  std::vector<std::u16string> lines;  // Unicode text the recoded document must hold
};
void PrintTo(const Fixture& f, std::ostream* os);

// The fixtures listed in tests/data/formats/MANIFEST.
std::vector<Fixture> Fixtures();

// Every line of the fixture is somewhere in `text`.
void ExpectLines(const std::u16string& text, const Fixture& f);

}  // namespace uytest
