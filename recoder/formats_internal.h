// Pieces of the content-aware recoder shared by its source files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cfb.h"

namespace uy::recode::detail {

// The document cannot be recoded safely; the text says why.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reports a share of one step's work, 0.0 to 1.0.
using StepProgress = std::function<void(double)>;

// What a recoded zip archive must hold, for checking the written file.
struct ZipEntryCheck {
  std::string name;
  std::uint64_t size;
  std::uint32_t crc;
};

// Recodes the XML parts of a zip archive held in memory; the other parts are copied
// as they are, compressed data included. Returns the new archive (the input itself when
// nothing changed), fills `checks` and adds the characters recoded to `changed`.
// Throws FormatError.
std::string RecodeZip(const std::string& archive, int direction, std::vector<ZipEntryCheck>& checks,
                      std::size_t& changed, const StepProgress& progress);

// Opens the archive at `path` (with libzip's consistency checks when `strict`), reads
// every entry through its CRC and compares names, sizes and CRCs with `checks`.
// Throws FormatError; its message calls the archive `label`.
void VerifyZip(const std::filesystem::path& path, const std::vector<ZipEntryCheck>& checks, bool strict = true,
               std::string_view label = "the written archive");

// The same reading of every entry, against what the archive's own directory claims:
// tells a damaged document from a fault of ours. Throws FormatError.
void VerifyZipAsClaimed(const std::filesystem::path& path);

// The written compound file must parse with the same streams at the same places as
// `before` (the layout of `original`), and every byte outside the streams must be the
// original's. Throws FormatError.
void VerifyCompound(const std::string& written, const std::string& original, const cfb::CompoundFile& before);

}  // namespace uy::recode::detail
