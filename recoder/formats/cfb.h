// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the layout of compound files (the container of binary office documents):
// where each stream's bytes lie in the file, and which sectors hold the container's
// own structures. Nothing here changes a file.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "document_error.h"

namespace uy::formats::cfb {

inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};


// A run of bytes of the file.
struct Extent {
  std::uint64_t offset;
  std::uint64_t length;
};

struct Stream {
  std::string path;      // UTF-8 names from the root, joined by '/': "1Table", "ObjectPool/_1/Ole"
  std::uint64_t size;    // bytes
  std::uint32_t start;   // first sector (or mini sector)
  bool mini;             // held in the mini stream
  std::vector<Extent> extents;  // the stream's bytes in stream order, sizes summing to `size`
};

// Compound files are read whole into memory. Version 3 files (512-byte sectors) end at
// 2 GiB; files of either version beyond kMaxFileSize are not taken. Throws DocumentError for
// a file of `size` bytes whose first bytes are `head` (at least 32 of them to tell).
inline constexpr std::uint64_t kMaxFileSize = std::uint64_t{4} << 30;
void CheckFileSize(std::span<const std::uint8_t> head, std::uint64_t size);

class CompoundFile {
 public:
  // Throws DocumentError when the container is damaged or not a compound file.
  static CompoundFile Parse(std::span<const std::uint8_t> file);

  const std::vector<Stream>& streams() const { return streams_; }
  // The stream with this path, or nullptr.
  const Stream* Find(std::string_view path) const;
  // Header, FAT, DIFAT, mini FAT and directory sectors.
  const std::vector<Extent>& structures() const { return structures_; }

  // A stream's bytes gathered from the file, and written back into it.
  static std::vector<std::uint8_t> Read(std::span<const std::uint8_t> file, const Stream& s);
  static void Write(std::span<std::uint8_t> file, const Stream& s,
                    std::span<const std::uint8_t> data);

 private:
  std::vector<Stream> streams_;
  std::vector<Extent> structures_;
};

}  // namespace uy::formats::cfb
