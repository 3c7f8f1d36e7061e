// SPDX-License-Identifier: GPL-3.0-or-later
// Recoding that keeps documents intact: the handling is chosen by the document's content.
// Zip containers have the text of their XML parts recoded, compound files the text of
// their streams (never the container's own structures), text files their characters;
// anything else gets the plain unit pass of pass.h.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "pass.h"

namespace uy::formats {

enum class DocumentKind {
  kZip,        // PK archive: OOXML, ODF and the like
  kCompound,   // compound file: binary word-processor, spreadsheet, presentation files
  kUtf16Text,  // UTF-16 with a byte-order mark, either byte order
  kUtf8Text,   // UTF-8 text, HTML, XML (with or without a mark)
  kRtf,        // rich text, characters as \uN escapes
  kOther,      // anything else
};

// Decides by content. `head` holds the first bytes of the file (or all of it); UTF-8
// text is recognised only when `head` is the whole file.
DocumentKind DetectKind(std::span<const std::uint8_t> head, bool whole_file);

// How RecodeByContent treated the document.
enum class Handling {
  kNone,                 // not recoded (yet)
  kUnitPass,             // the plain unit pass of pass.h
  kUtf8Characters,       // UTF-8 text
  kUtf16Units,           // UTF-16 text
  kRtfEscapes,           // rich text
  kXmlParts,             // the XML parts of a zip container
  kSpreadsheetStrings,   // a binary workbook's strings
  kWordProcessorText,    // a binary word-processor document's text
  kPresentationText,     // a binary presentation's text
  kCompoundStreams,      // every unit of every stream of another compound file
};

// What RecodeByContent found and did.
struct RecodeSummary {
  DocumentKind kind = DocumentKind::kOther;
  Handling handling = Handling::kNone;
  std::size_t changed = 0;  // characters recoded
  // UTF-8 text with a few malformed bytes: they are kept as they are.
  std::uint64_t malformed = 0;
  std::uint64_t first_malformed = 0;  // the offset of the first
};

// Recodes the document at `input` into a new file at `output`, chosen by content. The
// output is checked before it replaces anything at `output` (a zip must pass its
// integrity check, a compound file must parse with the same streams and sizes); a
// failed check throws FileError and leaves nothing behind. Progress: range 1..100,
// positions rising to 100. Throws FileError for every failure, naming the file.
RecodeSummary RecodeByContent(const std::filesystem::path& input, const std::filesystem::path& output,
                     int direction, recode::ProgressSink* progress);

// In-place, length-keeping recoding of text held in memory. Each returns the number of
// characters changed.
// UTF-8: every two-byte sequence of U+0600..U+06FF.
std::size_t RecodeUtf8(std::span<std::uint8_t> text, int direction);
// UTF-16 units (no mark), little- or big-endian.
std::size_t RecodeUtf16(std::span<std::uint8_t> units, bool big_endian, int direction);
// Numeric character references &#NNNN; and &#xHHH; of markup, rewritten in the same width.
std::size_t RecodeCharacterReferences(std::span<std::uint8_t> markup, int direction);
// \uN escapes of rich text (control words, \binN data and escaped symbols respected).
std::size_t RecodeRtfEscapes(std::span<std::uint8_t> rtf, int direction);

}  // namespace uy::formats
