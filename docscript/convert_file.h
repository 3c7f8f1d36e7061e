// SPDX-License-Identifier: GPL-3.0-or-later
// Any file between the Uyghur scripts: documents through ConvertDocument, text files block by
// block in bounded memory, keeping their encoding (UTF-8 with or without its mark, UTF-16 with
// its mark in either byte order), their mark and their line breaks.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "docscript.h"
#include "file_io.h"
#include "script.h"

namespace uy::docscript {

// Where a text's bytes come from (a file, standard input) and where the converted bytes go.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual const std::string& name() const = 0;  // for messages
  // Up to n bytes; 0 only at the end. Throws on a failed read.
  virtual std::size_t Read(char* buf, std::size_t n) = 0;
};

// A regular file as a ByteSource (throws uy::FileError when it cannot be opened or read).
class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::filesystem::path& path) : file_(path), name_(path.string()) {}
  const std::string& name() const override { return name_; }
  std::size_t Read(char* buf, std::size_t n) override { return file_.Read(buf, n); }
  const InputFile& file() const { return file_; }

 private:
  InputFile file_;
  std::string name_;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const char* data, std::size_t n) = 0;
};

// A text that cannot be converted; path() is its name, reason() says why ("not valid UTF-8
// at byte 4", "no script clearly leads (…)", …).
class TextError : public FileError {
 public:
  enum class Kind {
    kText,      // the text itself: malformed, no script to tell, already in the target script
    kDocument,  // a document that is no plain text (rich text, HTML, a binary office file)
    kZip,       // a zip container, which only a file (not a stream) can be taken as
  };
  TextError(Kind kind, const std::string& name, std::string reason, std::string document = {})
      : FileError(FileError::Kind::Read, name, std::move(reason)), text_kind_(kind), document_(std::move(document)) {}
  Kind text_kind() const { return text_kind_; }
  // What the input is, for kDocument and kZip: "rich text (RTF)", "an HTML page", …
  const std::string& document() const { return document_; }

 private:
  Kind text_kind_;
  std::string document_;
};

// Converts the text of `in` into `out`. The script is --from's, or told from the first 4 MB.
// summary.runs_changed is 0 when the output equals the input, else 1; summary.paragraphs
// counts nothing for text. Throws TextError, or what `in` and `out` throw.
ConvertSummary ConvertText(ByteSource& in, ByteSink& out, const ConvertOptions& options);

// True for the types ConvertFile sends to ConvertDocument (which converts or refuses them);
// false for text files and for rich text while ConvertDocument does not take it (the text
// path then names what the file is).
bool IsDocument(DocumentType type);

// The one entry point for any file: an office document goes to ConvertDocument, anything else
// is converted as a text file. The output is written atomically (nothing is left on a
// failure) and is never the input. Throws uy::FileError (TextError for text) naming the file.
ConvertSummary ConvertFile(const std::filesystem::path& input, const std::filesystem::path& output,
                           const ConvertOptions& options);

// The suffix an output converted to `to` gets in its name ("(Latin)", "(Cyrillic)",
// "(New Script)", "(Arabic)"), inserted where the recoder inserts its own.
std::string_view OutputSuffix(script::Script to);
std::string OutputFileName(std::string_view name, script::Script to);

}  // namespace uy::docscript
