// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's ".uyt" text files: FF FE, then the text as little-endian UTF-16 with
// CR LF line breaks. The reader also takes big-endian UTF-16, UTF-8 with its mark and
// unmarked text (UTF-8 when valid, else code page 936).
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "file_io.h"

namespace uy::editor {

enum class CharacterSet { csAnsi = 0, csUnicode = 1, csUnicodeSwapped = 2, csUtf8 = 3 };

// The encoding that a file's first bytes mark, and where its text starts (*text_start).
// Files of 0, 1 or 2 bytes without a UTF-16 mark are csAnsi.
CharacterSet AutoDetectCharacterSet(std::string_view bytes, std::size_t* text_start);

struct DecodedText {
  std::u16string text;                       // line breaks are CR LF
  CharacterSet charset = CharacterSet::csAnsi;
  std::size_t replaced = 0;  // malformed or unmappable sequences shown as U+FFFD
  // UTF-16 units without their other half; the text keeps them (the editor saves them
  // back as they were), but they cannot be printed as UTF-8.
  std::size_t lone_surrogates = 0;
  // UTF-16 text whose last byte has no partner: it is no character and is left out.
  bool odd_last_byte = false;
};

// The number of units in `text` that are half of a surrogate pair without the other half.
std::size_t CountLoneSurrogates(std::u16string_view text);

// Decodes a whole file's bytes. Nothing is dropped: a U+0000 stays in the text.
DecodedText DecodeTextFile(std::string_view bytes);

// CR LF, a lone CR, a lone LF and U+2028 each become CR LF; LF CR is two breaks.
std::u16string NormaliseLineBreaks(std::u16string_view text);

// The same for a text that comes in pieces: appends the piece normalised to `out`.
// *after_cr carries a CR at the end of one piece over to the next (false at the start).
void AppendNormalisedLineBreaks(std::u16string_view piece, bool* after_cr, std::u16string& out);

// The bytes of a ".uyt" file: FF FE, then every unit of the text as held, little-endian.
std::string EncodeTextFile(std::u16string_view text);

// A failed load or save. what() is the message for the user, reason() the system's;
// message(), full_path() and cause() let a window say the same in the user's language.
class TextFileError : public std::runtime_error {
 public:
  enum class Message {
    kCannotOpen,    // "Cannot open file %s"
    kCannotCreate,  // "Cannot create file %s"
    kStreamWrite,   // "Stream write error"
  };
  TextFileError(Message message, std::string full_path, FileError cause);
  Message message() const { return message_; }
  const std::string& full_path() const { return full_path_; }
  const FileError& cause() const { return cause_; }
  const std::string& reason() const { return cause_.reason(); }
  // The full path of the file (which "Stream write error" does not name).
  const std::string& file() const { return full_path_; }
  // "MESSAGE: FILE: REASON", the file left out where the message names it already.
  std::string Describe() const;

 private:
  Message message_;
  std::string full_path_;
  FileError cause_;
};

// Reads and decodes a whole file. Fails with "Cannot open file %s" (the full path).
DecodedText LoadFromFile(const std::filesystem::path& path);

// Reads a file as LoadFromFile does, a piece at a time, in memory bounded by the piece
// size whatever the file's size: the pieces put together are LoadFromFile's text, with
// the same count of replaced sequences. A piece never ends inside a surrogate pair; CR LF
// always comes in one piece. Unmarked text is read twice: once to tell UTF-8 from code
// page 936, then to decode it.
class TextFileReader {
 public:
  // Fails like LoadFromFile.
  explicit TextFileReader(const std::filesystem::path& path, std::size_t piece_bytes = std::size_t{1} << 20);
  ~TextFileReader();
  TextFileReader(const TextFileReader&) = delete;
  TextFileReader& operator=(const TextFileReader&) = delete;

  // Replaces `piece` with the next piece of text; false (and an empty piece) at the end.
  bool Next(std::u16string& piece);  // throws TextFileError
  CharacterSet charset() const;
  // Malformed or unmappable sequences shown as U+FFFD so far.
  std::size_t replaced() const;
  // Known at the end: as DecodedText's.
  bool odd_last_byte() const;

 private:
  struct State;
  std::unique_ptr<State> st_;
};

// Writes the text as a ".uyt" file, replacing any file of that name. The old file stays
// as it was unless everything was written: fails with "Cannot create file %s" (the full
// path) or "Stream write error".
void SaveToFile(const std::filesystem::path& path, std::u16string_view text);

}  // namespace uy::editor
