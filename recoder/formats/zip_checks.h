// SPDX-License-Identifier: GPL-3.0-or-later
// What a zip container must be before its parts are read, for the recoder and the
// detector alike: both refuse the same damage with the same reason.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <zip.h>

#include "document_error.h"

namespace uy::formats {

// Reads the archive's own directory and the local header of every part: the parts lie
// inside the file, nothing stands before the first one (a self-extracting archive), and
// no two share bytes (crafted archives reuse one big part for many entries, which would
// be inflated again for each). Throws DocumentError naming the damage.
void CheckZipLayout(int fd, std::uint64_t size);

// True when the file ends with a zip directory's end record: a zip archive, perhaps
// behind something else (a self-extracting program), which the layout check refuses.
bool EndsWithZipDirectory(int fd, std::uint64_t size);

// The directory as libzip reads it: complete entries, no name twice, nothing encrypted.
// Throws DocumentError.
std::vector<zip_stat_t> ReadZipEntries(zip_t* z);

// libzip handles that close themselves: an archive opened for reading is discarded (what
// writes an archive closes it itself), a part's reader closed.
struct ZipDiscard {
  void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipPartClose {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;
using ZipPart = std::unique_ptr<zip_file_t, ZipPartClose>;

// libzip's text for one of its error codes.
std::string ZipErrorText(int code);

}  // namespace uy::formats
