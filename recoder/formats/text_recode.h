// SPDX-License-Identifier: GPL-3.0-or-later
// Text documents recoded in pieces: UTF-8 text and markup, UTF-16 text and rich text of
// any size in bounded memory, with the same result as the whole text at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "file_io.h"
#include "formats.h"
#include "utf.h"

namespace uy::formats {

namespace text_scan {

using Map = std::array<std::uint8_t, 256>;

// Bytes [base, end) of a text, held at `data`.
struct Window {
  std::uint8_t* data;
  std::uint64_t base;
  std::uint64_t end;
  std::uint8_t& operator[](std::uint64_t pos) const { return data[pos - base]; }
};

// Each scanner recodes the bytes of the window from where it stopped the last time
// (`pos`) and returns the first position whose byte it may still change once more
// bytes arrive (`end` when none). With `final` the window ends the text.
struct Utf8 {
  std::uint64_t pos = 0;
  std::uint64_t Scan(Window w, bool final, const Map& map, std::size_t& changed);
};
struct Utf16 {
  std::uint64_t pos = 0;
  bool big_endian = false;
  std::uint64_t Scan(Window w, bool final, const Map& map, std::size_t& changed);
};
struct References {
  std::uint64_t pos = 0;
  std::uint64_t Scan(Window w, bool final, const Map& map, std::size_t& changed);
};
struct Rtf {
  enum class State { kText, kBackslash, kWord, kMinus, kDigits, kBinData } state = State::kText;
  std::uint64_t pos = 0;
  std::uint64_t word_len = 0;
  char word[3] = {};
  bool negative = false;
  std::uint64_t digit_start = 0;
  std::uint64_t param = 0;
  std::uint64_t bin_left = 0;
  std::uint64_t Scan(Window w, bool final, const Map& map, std::size_t& changed);

 private:
  void Step(Window w, const Map& map, std::size_t& changed);
  void SkipText(Window w);
  void WordByte(std::uint8_t c);
  void StartDigits(std::uint8_t c);
  void EndWord(Window w, const Map& map, std::size_t& changed);
};
// Markup is UTF-8 text whose first byte after an optional mark and blanks is '<'.
struct MarkupStart {
  enum class Verdict { kUndecided, kYes, kNo } verdict = Verdict::kUndecided;
  std::uint64_t pos = 0;
  std::uint64_t mark = 0;  // bytes of the mark matched from offset 0
  void Scan(Window w, bool final);
};

}  // namespace text_scan

// Recodes a text document handed over in pieces of any size; a character, a markup
// reference or a rich-text control word may be split anywhere between two pieces.
// Feed and Finish append the bytes that are final to `out`; only a few bytes (a split
// sequence, an unfinished reference) are held back between calls.
class TextRecoder {
 public:
  // `kind` is one of the text kinds (UTF-8, UTF-16, rich text); UTF-16 documents start
  // with their byte-order mark, and UTF-8 documents that start with '<' (after an
  // optional mark and blanks) are markup, whose numeric references are recoded too;
  // with `markup` they are taken as markup whatever their start (the XML parts of zips).
  TextRecoder(DocumentKind kind, int direction, bool markup = false);
  void Feed(std::span<const std::uint8_t> bytes, std::string& out);
  void Finish(std::string& out);
  std::size_t changed() const { return changed_; }

 private:
  void Scan(bool final, std::string& out);

  DocumentKind kind_;
  const text_scan::Map& map_;
  std::string buf_;  // bytes from offset base_ on that are not yet final
  std::uint64_t base_ = 0;
  std::size_t changed_ = 0;
  text_scan::Utf8 utf8_;
  text_scan::MarkupStart markup_;
  text_scan::References refs_;
  text_scan::Utf16 utf16_;
  text_scan::Rtf rtf_;
};

// True when a whole file (or its bytes handed over in pieces) is UTF-8 text: not empty,
// well-formed, and with at most one NUL byte in 64. A stray NUL does not make text
// binary; UTF-16 without a mark, and binary data that happens to be well-formed UTF-8,
// have NULs far more often.
class Utf8TextProbe {
 public:
  // With the whole size known beforehand, too many NULs end the probe early.
  explicit Utf8TextProbe(std::uint64_t whole_size = UINT64_MAX) : whole_size_(whole_size) {}
  bool Feed(std::span<const std::uint8_t> bytes);  // false once it cannot be text
  bool Finish() const;

 private:
  Utf8Validator valid_;
  std::uint64_t whole_size_;
  std::uint64_t size_ = 0;
  std::uint64_t nuls_ = 0;
};

// Reads the rest of `in` after `head` (its first bytes, already read) and tells whether
// the whole file is UTF-8 text. Throws FileError.
bool IsUtf8TextFile(InputFile& in, std::span<const std::uint8_t> head);

// UTF-8 text but for a few malformed bytes (at most one in a hundred), or with many NUL
// characters: it holds Uyghur letters as UTF-8 at least as often as UTF-16 units of the
// Arabic block (which unmarked UTF-16 text and binary files hold). Reads the whole file.
struct MostlyUtf8 {
  bool text = false;
  std::uint64_t malformed = 0;
  std::uint64_t first_malformed = 0;
};
MostlyUtf8 ProbeMostlyUtf8(InputFile& in);

// What the text kinds' handling is called in a RecodeSummary.
Handling TextHandling(DocumentKind kind);
bool IsTextKind(DocumentKind kind);

// Recodes the text document at `input` into `out` in pieces, then reads the written file
// back and checks it against what was written; `out` is left for the caller to commit.
// Reports the share of the work done, 0.0 to 1.0. Returns the characters changed.
// Throws FileError naming the file.
std::size_t RecodeTextStream(const std::filesystem::path& input, AtomicFileWriter& out, DocumentKind kind,
                             int direction, const std::function<void(double)>& progress,
                             std::size_t piece = std::size_t{1} << 20);

}  // namespace uy::formats
