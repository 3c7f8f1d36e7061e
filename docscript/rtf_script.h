// SPDX-License-Identifier: GPL-3.0-or-later
// Rich text (RTF) between the scripts: every paragraph converted whole, each output letter
// written where its source letter was (so it keeps that letter's character formatting), the
// converted stretches given the western (or, on the way back, the complex-script) bold, italic
// and size their letters showed, and paragraphs, sections, rows and the document turned with
// the script. Everything else is copied byte for byte.
#pragma once

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "docscript.h"
#include "rtf_walk.h"
#include "script.h"

namespace uy {
class InputFile;
}

namespace uy::docscript {

// Uyghur's language identifier. RTF has none for the script: converted text keeps this one in
// the slot of its new script (western \lang for Latin and Cyrillic, \alang for the Arabic script).
constexpr int kUyghurLcid = 0x480;

class RtfScriptTransform : public RtfSink {
 public:
  // `doc`: the document walked.
  RtfScriptTransform(const script::Options& options, std::string_view doc) : options_(options), doc_(doc) {}
  void OnParagraph(const RtfParagraph& p) override;
  void OnDirectionWord(std::string_view word, Range range) override;
  void OnAlignment(Range range, char align, bool rtl) override;

  Edits& edits() { return edits_; }
  // Every paragraph's text as the converted document must hold it (empty ones left out).
  const std::vector<std::u16string>& expected() const { return expected_; }
  std::size_t paragraphs() const { return paragraphs_; }
  std::size_t runs_changed() const { return runs_changed_; }

 private:
  enum class Turn { kNone, kToLeftToRight, kToRightToLeft };
  Turn turn() const;
  std::string Stretch(const RtfSlot& slot, std::u16string_view text) const;
  // A control word put where the document's bytes continue at `at`, with a delimiter if they
  // would read as part of it.
  void Word(std::size_t begin, std::size_t at, std::string_view word);

  script::Options options_;
  std::string_view doc_;
  std::set<std::size_t> delimited_;  // where a control word put before has a delimiter already
  Edits edits_;
  std::vector<std::u16string> expected_;
  std::size_t paragraphs_ = 0, runs_changed_ = 0;
};

// The text of every paragraph (empty ones left out), and its letters counted.
class RtfCollect : public RtfSink {
 public:
  void OnParagraph(const RtfParagraph& p) override;
  std::vector<std::u16string> texts;
  script::Detection detection;
  bool keep_texts = true;
};

// The document converted and checked (it walks again and holds the text meant). Throws
// DocumentError (uyformats) as the walk does, or when the check fails.
std::string ConvertRtfText(std::string_view doc, const script::Options& options, ConvertSummary* summary = nullptr);

// The document at `in` converted into `output` (written atomically, read back before it
// replaces anything). Throws DocumentError for the document, FileError for the output.
ConvertSummary ConvertRtf(InputFile& in, const std::filesystem::path& output, const ConvertOptions& options);

}  // namespace uy::docscript
