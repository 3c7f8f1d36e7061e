// SPDX-License-Identifier: GPL-3.0-or-later
#include "pass.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>

#include "file_io.h"
#include "tables.h"

namespace uy::recode {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;  // even, so blocks keep unit alignment

// Reports the distinct values of the per-unit progress sequence without visiting
// every unit: for each next value it finds the first unit offset that reaches it.
class ProgressTracker {
 public:
  ProgressTracker(ProgressSink* sink, std::uint64_t size) : sink_(sink), size_(size) {
    if (sink_) sink_->SetRange(1, 100);
  }

  void HeaderDone() {
    Emit(size_ == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(kHeaderSize * 100 / size_, 1u << 30)));
  }

  // Units have been consumed up to `end` (the offset after the last whole unit).
  void UnitsDone(std::uint64_t end) {
    if (!sink_ || size_ == 0) return;
    while (last_ < 100) {
      const std::uint64_t want = static_cast<std::uint64_t>(last_ + 1);
      // Smallest offset after a unit (2562, 2564, ...) with 100 * offset >= want * size.
      std::uint64_t at = (want * size_ + 99) / 100;
      if (at < kHeaderSize + 2) at = kHeaderSize + 2;
      if ((at - kHeaderSize) % 2) ++at;
      if (at > end) break;
      Emit(static_cast<int>(at * 100 / size_));
    }
  }

 private:
  void Emit(int value) {
    if (sink_ && value != last_) sink_->SetPosition(value);
    last_ = value;
  }

  ProgressSink* sink_;
  std::uint64_t size_;
  int last_ = -1;
};

// Any of the four units in a little-endian 64-bit word with high byte 0x06?
inline bool HasArabicUnit(std::uint64_t word) {
  const std::uint64_t hi = (word >> 8) & 0x00FF00FF00FF00FFull;
  const std::uint64_t x = hi ^ 0x0006000600060006ull;  // zero lane where the high byte is 0x06
  return ((x - 0x0001000100010001ull) & ~x & 0x8000800080008000ull) != 0;
}

}  // namespace

std::string OutputFileName(std::string_view name, int direction) {
  return OutputFileNameWith(name, OutputSuffix(direction));
}

std::string OutputFileNameWith(std::string_view name, std::string_view suffix) {
  auto is_char_start = [&](std::size_t i) {
    return (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80;  // not 10xxxxxx
  };
  std::size_t pos = std::string_view::npos;
  // An extension of four or five characters (".docx", ".xlsx", ".html") stays whole:
  // the suffix goes before its dot. A leading dot does not start an extension.
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) {
    int chars = 0;
    for (std::size_t i = dot + 1; i < name.size(); ++i) chars += is_char_start(i);
    if (chars == 4 || chars == 5) pos = dot;
  }
  if (pos == std::string_view::npos) {
    // Otherwise before the last four characters; shorter names get it in front.
    pos = name.size();
    for (int chars = 0; chars < 4 && pos > 0;) chars += is_char_start(--pos);
  }
  std::string out;
  out.reserve(name.size() + suffix.size());
  out.append(name.substr(0, pos)).append(suffix).append(name.substr(pos));
  return out;
}

namespace {

// Counting the changes costs the pass a good share of its speed: it is left out there.
template <bool kBigEndian, bool kCount>
std::size_t RecodeArabicUnitsOf(std::span<std::uint8_t> units, const std::array<std::uint8_t, 256>& map) {
  constexpr std::size_t lo = kBigEndian ? 1 : 0, hi = 1 - lo;
  std::uint8_t* p = units.data();
  const std::size_t n = units.size() & ~std::size_t{1};
  std::size_t changed = 0;
  const auto unit = [&](std::size_t j) {
    if (p[j + hi] != 0x06) return;
    const std::uint8_t v = map[p[j + lo]];
    if constexpr (kCount) changed += v != p[j + lo];
    p[j + lo] = v;
  };
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, 8);
    if (!HasArabicUnit(kBigEndian ? word << 8 : word)) continue;  // high bytes into the odd lanes
    for (std::size_t j = i; j < i + 8; j += 2) unit(j);
  }
  for (; i < n; i += 2) unit(i);
  return changed;
}

}  // namespace

std::size_t RecodeArabicUnits(std::span<std::uint8_t> units, const std::array<std::uint8_t, 256>& map,
                              bool big_endian) {
  return big_endian ? RecodeArabicUnitsOf<true, true>(units, map) : RecodeArabicUnitsOf<false, true>(units, map);
}

void RecodeUnits(std::span<std::uint8_t> units, int direction) {
  RecodeArabicUnitsOf<false, false>(units, LowByteMap(direction));
}

void RecodeBuffer(std::span<std::uint8_t> document, int direction) {
  LowByteMap(direction);  // checks the index even for documents without units
  if (document.size() > kHeaderSize) RecodeUnits(document.subspan(kHeaderSize), direction);
}

std::size_t RecodeDocument(const std::filesystem::path& input, const std::filesystem::path& output,
                           int direction, ProgressSink* progress) {
  LowByteMap(direction);
  InputFile in(input);
  if (SameFile(input, output))
    throw FileError(FileError::Kind::Create, output, FileError::Why::kSameAsInput);
  (void)::posix_fadvise(in.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
  AtomicFileWriter out(output, in.permissions());  // a new copy keeps the document's permissions

  const std::uint64_t size = in.size();
  ProgressTracker tracker(progress, size);
  std::vector<std::uint8_t> buf(std::max<std::size_t>(kBlockSize, kHeaderSize));

  auto read_exactly = [&](std::size_t n) {
    if (in.Read(buf.data(), n) != n)
      throw FileError(FileError::Kind::Read, input, FileError::Why::kShrank);
  };

  const auto header = static_cast<std::size_t>(std::min(size, kHeaderSize));
  read_exactly(header);
  out.Write(buf.data(), header);
  tracker.HeaderDone();

  std::uint64_t offset = header;
  std::size_t changed = 0;
  const auto& map = LowByteMap(direction);
  while (offset < size) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size - offset));
    read_exactly(n);
    changed += RecodeArabicUnits(std::span(buf.data(), n), map);
    out.Write(buf.data(), n);
    offset += n;
    tracker.UnitsDone(offset - (n & 1));
  }
  out.Commit();
  return changed;
}

}  // namespace uy::recode
