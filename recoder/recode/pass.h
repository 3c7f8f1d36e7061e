// SPDX-License-Identifier: GPL-3.0-or-later
// The document recoding pass: a header copied as it is, then every little-endian
// 16-bit unit at an even offset recoded through one direction's table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace uy::recode {

inline constexpr std::uint64_t kHeaderSize = 2560;

// Receives the progress of one document: a range, then positions.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetRange(int minimum, int maximum) = 0;
  // Positions may exceed the maximum (a short file's header step); a bar shows them full.
  virtual void SetPosition(int position) = 0;
};

// The output name: the direction's suffix inserted before the dot of an extension of four
// or five characters ("report.docx" -> "report(Unicode).docx"), otherwise before the last
// four characters of the name (in front of names of four characters or fewer), which
// keeps extensions of up to three characters whole. Names are UTF-8, and characters, not
// bytes, are counted, so no character is ever split; for names whose last four
// characters are ASCII this is the same as counting bytes.
std::string OutputFileName(std::string_view name, int direction);
// The same rule for any suffix.
std::string OutputFileNameWith(std::string_view name, std::string_view suffix);

// Recodes, in place, the whole units of a buffer that starts at a unit boundary; a
// trailing odd byte is left alone.
void RecodeUnits(std::span<std::uint8_t> units, int direction);

// The one loop over units: recodes, through `map` (a LowByteMap), the low byte of every
// whole unit of `units` whose high byte is 0x06, little- or big-endian; a trailing odd
// byte is left alone. Returns the number of units changed.
std::size_t RecodeArabicUnits(std::span<std::uint8_t> units, const std::array<std::uint8_t, 256>& map,
                              bool big_endian = false);

// The pass over a whole document held in memory: the header stays, the rest is recoded.
void RecodeBuffer(std::span<std::uint8_t> document, int direction);

// Recodes the document at `input` into a new file at `output`, streaming in large blocks
// with constant memory. The input is only read. The output is written to a temporary
// file beside it and renamed into place once complete and flushed; on any failure
// (throws FileError) an existing output file is left as it was and nothing else remains.
// Refuses an output that is the input itself. Progress: range 1..100, then
// floor(256000 / S) after the header, then floor(100 * offset / S) after each unit
// (only changes are reported); an empty input reports 100.
// Returns the number of units changed (0: the output is the document as it was).
std::size_t RecodeDocument(const std::filesystem::path& input, const std::filesystem::path& output,
                           int direction, ProgressSink* progress);

}  // namespace uy::recode
