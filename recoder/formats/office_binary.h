// SPDX-License-Identifier: GPL-3.0-or-later
// Where the text lies in the streams of binary office documents held in compound files.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "cfb.h"

namespace uy::formats {

// Characters stored as 16-bit little-endian units: `count` units from `offset` (which
// may be odd) of one stream.
struct UnitRange {
  std::uint64_t offset;
  std::uint64_t count;
};

// Sorts `ranges` by offset and trims them so that no byte lies in two of them: text
// pieces that overlap (a damaged or crafted document) have their shared bytes recoded
// once. Where two ranges overlap out of step (one starts at an odd offset, the other at
// an even one), the unit straddling the earlier range's end is dropped. O(n log n).
void KeepEachByteOnce(std::vector<UnitRange>& ranges);

// Spreadsheet ("Workbook" stream, BIFF8): the 16-bit characters of the shared strings
// (continued records included), cell labels, formula string results, sheet names, page
// headers and footers, text boxes, comments and their authors, chart texts. Throws
// DocumentError when the records do not parse.
std::vector<UnitRange> WorkbookText(std::span<const std::uint8_t> workbook);

// Word-processor ("WordDocument" stream and its table stream): the uncompressed pieces
// of the piece table, which hold the text of the body, notes, headers and text boxes.
// `table` is the stream named by the file information block (TableStreamName).
std::vector<UnitRange> WordText(std::span<const std::uint8_t> word_document,
                                std::span<const std::uint8_t> table);
// "1Table" or "0Table", as the file information block says; throws on a bad block.
const char* TableStreamName(std::span<const std::uint8_t> word_document);

// Presentation ("PowerPoint Document" stream): the text atoms and strings of its records.
std::vector<UnitRange> PresentationText(std::span<const std::uint8_t> document);

// Throws DocumentError (encrypted) when the compound file holds an encrypted document: an encrypted
// package of a zip-based document, or a presentation whose "Current User" says so. (The
// other binary documents say it inside their main stream.)
void RefuseEncrypted(const cfb::CompoundFile& file, std::span<const std::uint8_t> bytes);

// The text of a binary office document: one stream read out with the ranges of its text.
struct StreamText {
  const cfb::Stream* stream;
  std::vector<std::uint8_t> data;
  std::vector<UnitRange> ranges;
};

// What a compound file holds for the recoder and the detector.
struct CompoundText {
  enum class Kind { kOther, kWorkbook, kOldWorkbook, kWordDocument, kPresentation };
  Kind kind = Kind::kOther;  // kOther: not a document we know; every stream is text
  std::vector<StreamText> streams;  // empty for kOther and for an old workbook (8-bit text)
  std::uint64_t read = 0;           // bytes of streams read and parsed
};

// Reads the text structures of a known binary office document. One whose structures
// do not parse (records of wrong lengths, a piece table out of its stream, a missing
// table stream) is refused: throws DocumentError naming what is damaged.
CompoundText ReadCompoundText(std::span<const std::uint8_t> bytes, const cfb::CompoundFile& cf);

}  // namespace uy::formats
