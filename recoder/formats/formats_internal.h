// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces of the content-aware recoder shared by its source files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cfb.h"
#include "formats.h"

namespace uy {
class InputFile;
}

namespace uy::formats {

// Reports a share of one step's work, 0.0 to 1.0.
using StepProgress = std::function<void(double)>;

// Range 1..100 and positions that only rise, ending at 100.
class Progress {
 public:
  explicit Progress(recode::ProgressSink* sink);
  void Set(int position);
  // Maps a step's share 0..1 onto positions first..last.
  StepProgress Step(int first, int last);
  // Positions proportional to the work done: floor(100 * done / total), as the unit pass
  // reports its bytes.
  void Work(std::uint64_t done, std::uint64_t total);

 private:
  recode::ProgressSink* sink_;
  int last_ = 0;
};

// Recodes UTF-8 markup (characters, and numeric references when `references`) that
// arrives in pieces. RecodePiece recodes the leading bytes of `piece` whose recoding no
// later byte can change and returns their number; the few bytes after them (a lead byte
// or a reference cut by the end of the piece) must start the next piece. With `last`
// the whole piece is recoded. The result is that of recoding the whole text at once.
class PieceRecoder {
 public:
  // More bytes than a reference can span are never held back.
  static constexpr std::size_t kMaxHeldBack = 40;

  PieceRecoder(int direction, bool references) : direction_(direction), references_(references) {}
  std::size_t RecodePiece(std::span<std::uint8_t> piece, bool last);
  std::size_t changed() const { return changed_; }

 private:
  int direction_;
  bool references_;
  std::size_t changed_ = 0;
};

// What a recoded zip archive must hold, for checking the written file.
struct ZipEntryCheck {
  std::string name;
  std::uint64_t size;
  std::uint32_t crc;
};

// Recodes the XML parts of the zip archive `in` into a new file at `output`, streaming:
// memory stays small whatever the sizes of the parts. The other parts are copied as they
// are, compressed data included, and an archive without text to change is copied byte
// for byte. The written archive is read back through every CRC before it replaces
// anything. Fills `summary`; throws FileError naming the document or the output.
void RecodeZipFile(InputFile& in, const std::filesystem::path& output, int direction, Progress& progress,
                   RecodeSummary& summary);

// Opens the archive at `path` (with libzip's consistency checks when `strict`), reads
// every entry through its CRC and compares names, sizes and CRCs with `checks`.
// `progress`, when set, is told the bytes read so far. Throws DocumentError; its message
// calls the archive `label`.
void VerifyZip(const std::filesystem::path& path, const std::vector<ZipEntryCheck>& checks, bool strict = true,
               std::string_view label = "the written archive",
               const std::function<void(std::uint64_t)>& progress = {});

// The same reading of every entry, against what the archive's own directory claims:
// tells a damaged document from a fault of ours. Throws DocumentError.
void VerifyZipAsClaimed(const std::filesystem::path& path);

// The written compound file must parse with the same streams at the same places as
// `before` (the layout of `original`), and every byte outside the streams must be the
// original's. Throws DocumentError.
void VerifyCompound(const std::string& written, const std::string& original, const cfb::CompoundFile& before);

}  // namespace uy::formats
