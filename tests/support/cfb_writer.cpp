// SPDX-License-Identifier: GPL-3.0-or-later
#include "cfb_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>

namespace uytest {
namespace {

constexpr std::uint32_t kSector = 512;
constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD;

void Put16(std::string& b, std::size_t off, std::uint16_t v) {
  b[off] = static_cast<char>(v & 0xFF);
  b[off + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& b, std::size_t off, std::uint32_t v) {
  Put16(b, off, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(b, off + 2, static_cast<std::uint16_t>(v >> 16));
}
std::uint32_t Sectors(std::uint64_t bytes, std::uint32_t unit) { return static_cast<std::uint32_t>((bytes + unit - 1) / unit); }

}  // namespace

std::string WriteCompoundFile(const std::vector<CfbStream>& streams) {
  std::vector<std::uint32_t> fat;  // grows as sectors are given out
  auto allocate = [&](std::uint32_t count) -> std::uint32_t {
    if (count == 0) return kEnd;
    const auto first = static_cast<std::uint32_t>(fat.size());
    for (std::uint32_t i = 0; i < count; ++i) fat.push_back(i + 1 < count ? first + i + 1 : kEnd);
    return first;
  };

  std::vector<std::uint32_t> start(streams.size(), kEnd);
  std::string ministream;
  std::vector<std::uint32_t> minifat;
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const std::string& d = streams[i].data;
    if (d.size() >= 4096) {
      start[i] = allocate(Sectors(d.size(), kSector));
    } else if (!d.empty()) {
      const std::uint32_t n = Sectors(d.size(), 64);
      start[i] = static_cast<std::uint32_t>(minifat.size());
      for (std::uint32_t k = 0; k < n; ++k) minifat.push_back(k + 1 < n ? start[i] + k + 1 : kEnd);
      std::string padded = d;
      padded.resize(static_cast<std::size_t>(n) * 64, '\0');
      ministream += padded;
    }
  }
  const std::uint32_t mini_start = allocate(Sectors(ministream.size(), kSector));
  const std::uint32_t minifat_sectors = Sectors(minifat.size() * 4, kSector);
  const std::uint32_t minifat_start = allocate(minifat_sectors);
  const std::uint32_t dir_sectors = Sectors((streams.size() + 1) * 128, kSector);
  const std::uint32_t dir_start = allocate(dir_sectors);
  std::uint32_t fat_sectors = 1;
  while (fat_sectors * (kSector / 4) < fat.size() + fat_sectors) ++fat_sectors;
  const auto fat_first = static_cast<std::uint32_t>(fat.size());
  for (std::uint32_t i = 0; i < fat_sectors; ++i) fat.push_back(kFatSect);
  if (fat_sectors > 109) return {};  // no DIFAT in this writer

  const std::size_t total = fat.size();
  std::string file((total + 1) * kSector, '\0');
  auto sector = [&](std::uint32_t s) { return (static_cast<std::size_t>(s) + 1) * kSector; };
  auto write_chain = [&](std::uint32_t first, const std::string& data) {
    for (std::size_t pos = 0, s = first; pos < data.size(); pos += kSector, s = fat[s])
      std::memcpy(file.data() + sector(static_cast<std::uint32_t>(s)), data.data() + pos,
                  std::min<std::size_t>(kSector, data.size() - pos));
  };

  // Header.
  const unsigned char sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(file.data(), sig, 8);
  Put16(file, 24, 0x003E);
  Put16(file, 26, 3);
  Put16(file, 28, 0xFFFE);
  Put16(file, 30, 9);
  Put16(file, 32, 6);
  Put32(file, 44, fat_sectors);
  Put32(file, 48, dir_start);
  Put32(file, 56, 4096);
  Put32(file, 60, minifat_sectors ? minifat_start : kEnd);
  Put32(file, 64, minifat_sectors);
  Put32(file, 68, kEnd);
  for (std::uint32_t i = 0; i < 109; ++i) Put32(file, 76 + 4 * i, i < fat_sectors ? fat_first + i : kFree);

  // Streams, mini stream, mini FAT.
  for (std::size_t i = 0; i < streams.size(); ++i)
    if (streams[i].data.size() >= 4096) write_chain(start[i], streams[i].data);
  write_chain(mini_start, ministream);
  std::string mf(static_cast<std::size_t>(minifat_sectors) * kSector, '\xFF');
  for (std::size_t i = 0; i < minifat.size(); ++i) Put32(mf, 4 * i, minifat[i]);
  write_chain(minifat_start, mf);

  // Directory: the root, then the streams as a balanced tree in the container's order.
  std::string dir(static_cast<std::size_t>(dir_sectors) * kSector, '\0');
  auto entry = [&](std::size_t id, const std::string& name, std::uint8_t type, std::uint32_t first,
                   std::uint32_t size) {
    const std::size_t off = id * 128;
    for (std::size_t k = 0; k < name.size(); ++k) Put16(dir, off + 2 * k, static_cast<unsigned char>(name[k]));
    Put16(dir, off + 64, static_cast<std::uint16_t>(2 * name.size() + 2));
    dir[off + 66] = static_cast<char>(type);
    dir[off + 67] = 1;  // black
    Put32(dir, off + 68, kFree);
    Put32(dir, off + 72, kFree);
    Put32(dir, off + 76, kFree);
    Put32(dir, off + 116, first);
    Put32(dir, off + 120, size);
  };
  for (std::size_t id = 0; id < dir_sectors * 4u; ++id) {
    Put32(dir, id * 128 + 68, kFree);
    Put32(dir, id * 128 + 72, kFree);
    Put32(dir, id * 128 + 76, kFree);
  }
  entry(0, "Root Entry", 5, ministream.empty() ? kEnd : mini_start, static_cast<std::uint32_t>(ministream.size()));
  for (std::size_t i = 0; i < streams.size(); ++i)
    entry(i + 1, streams[i].name, 2, start[i], static_cast<std::uint32_t>(streams[i].data.size()));
  std::vector<std::size_t> order(streams.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i + 1;
  auto upper = [&](std::size_t id) {
    std::string n = streams[id - 1].name;
    for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return n;
  };
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const std::string x = upper(a), y = upper(b);
    return x.size() != y.size() ? x.size() < y.size() : x < y;
  });
  std::function<std::uint32_t(std::size_t, std::size_t)> build = [&](std::size_t lo, std::size_t hi) -> std::uint32_t {
    if (lo >= hi) return kFree;
    const std::size_t mid = (lo + hi) / 2;
    const std::size_t id = order[mid];
    Put32(dir, id * 128 + 68, build(lo, mid));
    Put32(dir, id * 128 + 72, build(mid + 1, hi));
    return static_cast<std::uint32_t>(id);
  };
  Put32(dir, 76, build(0, order.size()));
  write_chain(dir_start, dir);

  // FAT.
  std::string fatbytes(static_cast<std::size_t>(fat_sectors) * kSector, '\xFF');
  for (std::size_t i = 0; i < fat.size(); ++i) Put32(fatbytes, 4 * i, fat[i]);
  for (std::uint32_t i = 0; i < fat_sectors; ++i)
    std::memcpy(file.data() + sector(fat_first + i), fatbytes.data() + i * kSector, kSector);
  return file;
}

}  // namespace uytest
