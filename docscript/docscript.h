// SPDX-License-Identifier: GPL-3.0-or-later
// Office documents between the Uyghur scripts: the text of every paragraph converted with its
// whole paragraph as context, each output letter formatted as the source letter it came from,
// and the direction of paragraphs, sections and tables turned with the script. Everything the
// conversion does not touch is copied byte for byte.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "script.h"

namespace uy::docscript {

// The kinds of document told apart by content.
enum class DocumentType {
  kNone,           // not a document: a text file
  kWordDocx,       // zip container with word/document.xml
  kSpreadsheetXlsx,
  kPresentationPptx,
  kOpenDocument,   // zip container with an OpenDocument mimetype
  kOtherZip,       // another zip archive
  kBinaryOffice,   // compound file (.doc .xls .ppt)
  kRtf,
  kHtml,           // an HTML page (by its first tag, or its .htm/.html name)
};

// By the first bytes of a file and, for zip containers, the names of its parts. Throws
// uy::FileError when the file cannot be read.
DocumentType TypeOf(const std::filesystem::path& path);

// Why a document of this type is not converted (nothing for the types that are, and for
// text files).
std::optional<std::string> Refusal(DocumentType type);

struct ConvertOptions {
  std::optional<script::Script> from;  // nothing: told from the whole document's text
  script::Script to = script::Script::Uly;
  bool e_acute = false;
  bool wrap = true;
  const script::WordList* words = nullptr;
};

struct ConvertSummary {
  DocumentType type = DocumentType::kNone;
  script::Script from = script::Script::Uey;
  bool assumed = false;          // ULY assumed for Latin without a letter of either kind
  std::size_t paragraphs = 0;    // paragraphs seen in the text parts
  std::size_t runs_changed = 0;  // runs whose text changed
};

// Converts the document at `input` into a new file at `output`, written atomically and checked
// before it replaces anything (libzip's consistency check, every part read back through its
// CRC, every rewritten XML part parses again). Throws uy::FileError naming the document (or the
// output) and the reason: damaged, hostile or unsupported documents, a script that cannot be
// told, text already in the target script.
ConvertSummary ConvertDocument(const std::filesystem::path& input, const std::filesystem::path& output,
                               const ConvertOptions& options);

}  // namespace uy::docscript
