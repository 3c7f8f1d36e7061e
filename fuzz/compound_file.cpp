// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a compound file: parsed in memory, and recoded through the file
// interface (the only one there is) in a private folder. The direction is the sum of
// the bytes, modulo 8.
//
// Properties: parsing fails only with DocumentError; a parsed layout lies inside the file,
// its extents add up to each stream's size and no stream shares bytes with the
// container's own sectors or with another stream. Recoding fails only with FileError, and then leaves nothing
// behind; it never succeeds on what does not parse. A recoded file has the input's
// length, parses to the same streams at the same places, and keeps every byte outside
// the streams.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "cfb.h"
#include "check.h"
#include "file_io.h"
#include "formats.h"

namespace {

namespace fs = std::filesystem;
namespace cfb = uy::formats::cfb;

// A folder of this process, removed at exit (so never destroyed before); tmpfs when
// there is one, as every run writes and syncs a file.
const fs::path& Folder() {
  static const fs::path* folder = [] {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string name = (base / "uy-fuzz-cfb-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(name.data()) != nullptr);
    std::atexit([] { std::error_code e; fs::remove_all(Folder(), e); });
    return new fs::path(name);
  }();
  return *folder;
}

std::vector<std::string> Listing() {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(Folder())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<cfb::CompoundFile> Parse(std::span<const std::uint8_t> bytes) {
  try {
    return cfb::CompoundFile::Parse(bytes);
  } catch (const uy::formats::DocumentError&) {
    return std::nullopt;
  }
}

bool Overlap(const cfb::Extent& a, const cfb::Extent& b) {
  return a.offset < b.offset + b.length && b.offset < a.offset + a.length;
}

void CheckLayout(const cfb::CompoundFile& cf, std::size_t file_size) {
  for (const cfb::Extent& x : cf.structures()) FUZZ_CHECK(x.offset + x.length <= file_size);
  std::vector<cfb::Extent> all;
  for (const cfb::Stream& s : cf.streams()) {
    std::uint64_t sum = 0;
    for (const cfb::Extent& x : s.extents) {
      FUZZ_CHECK(x.offset + x.length <= file_size);
      for (const cfb::Extent& c : cf.structures()) FUZZ_CHECK(!Overlap(x, c));
      sum += x.length;
      all.push_back(x);
    }
    FUZZ_CHECK(sum == s.size);
  }
  // No byte belongs to two streams (or twice to one).
  std::sort(all.begin(), all.end(), [](const cfb::Extent& a, const cfb::Extent& b) { return a.offset < b.offset; });
  for (std::size_t i = 1; i < all.size(); ++i) FUZZ_CHECK(all[i - 1].offset + all[i - 1].length <= all[i].offset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const std::optional<cfb::CompoundFile> before = Parse(input);
  if (before) CheckLayout(*before, size);
  if (size < 8 || std::memcmp(data, cfb::kSignature, 8) != 0) return 0;

  const fs::path in = Folder() / "in.doc", out = Folder() / "out.doc";
  {
    std::ofstream f(in, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(f.good());
  }
  const int direction = std::accumulate(data, data + size, 0u) % 8;
  try {
    uy::formats::RecodeByContent(in, out, direction, nullptr);
  } catch (const uy::FileError&) {
    FUZZ_CHECK(Listing() == std::vector<std::string>{"in.doc"});
    return 0;
  }
  FUZZ_CHECK(before.has_value());
  std::ifstream f(out, std::ios::binary);
  const std::string result{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  fs::remove(out);
  FUZZ_CHECK(result.size() == size);
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(result.data()), result.size());
  const std::optional<cfb::CompoundFile> after = Parse(bytes);
  FUZZ_CHECK(after.has_value());
  const auto& a = before->streams();
  const auto& b = after->streams();
  FUZZ_CHECK(a.size() == b.size());
  std::vector<bool> inside(size, false);
  for (std::size_t i = 0; i < a.size(); ++i) {
    FUZZ_CHECK(a[i].path == b[i].path && a[i].size == b[i].size && a[i].mini == b[i].mini);
    FUZZ_CHECK(a[i].extents.size() == b[i].extents.size());
    for (std::size_t k = 0; k < a[i].extents.size(); ++k) {
      const cfb::Extent& x = a[i].extents[k];
      FUZZ_CHECK(x.offset == b[i].extents[k].offset && x.length == b[i].extents[k].length);
      std::fill(inside.begin() + x.offset, inside.begin() + x.offset + x.length, true);
    }
  }
  for (std::size_t k = 0; k < size; ++k)
    if (!inside[k]) FUZZ_CHECK(bytes[k] == data[k]);
  return 0;
}
