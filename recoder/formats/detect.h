// SPDX-License-Identifier: GPL-3.0-or-later
// Telling which encoding a document's Uyghur text is in: Unicode, or one of the legacy
// encodings, named by the lowest direction whose table recodes it to Unicode.
//
// Each candidate reading (Unicode as it stands, or the text recoded with one of the four
// distinct legacy tables) is scored by how Uyghur it looks: letters outside the Uyghur
// alphabet cost much, and letter pairs (word boundaries included) cost what real Uyghur
// words make them cost. Candidates that read the text alike tie, and the lowest
// direction wins.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace uy::formats {

// The candidates, in the order that settles ties.
enum class Candidate { kUnicode, kTableA, kTableB, kTableC, kTableD };
inline constexpr int kCandidateCount = 5;

// The direction into Unicode that uses the candidate's table (0, 2, 4, 6), or -1 for
// Unicode.
int CandidateDirection(Candidate c);

struct Detection {
  enum class Verdict { kUnknown, kUnicode, kLegacy };
  Verdict verdict = Verdict::kUnknown;
  int direction = -1;       // for kLegacy: 0, 2, 4 or 6
  double confidence = 0.0;  // 0..1
  std::size_t letters = 0;  // Uyghur letters in the verdict's reading of what was read
  double fit = 0.0;         // its mean log-probability per letter: real Uyghur about -2.8
  double rare = 0.0;        // its share of letter pairs that real Uyghur words (almost) never have

  // "unicode", "direction N" or "unknown".
  std::string Text() const;
  // For messages: "Unicode", "a legacy encoding (direction 2: Sorvan/Hovuran)".
  std::string Describe() const;
};

// Scores text fed in pieces. Reads at most a fixed number of units; more is ignored.
class Detector {
 public:
  Detector();
  void Feed(std::u16string_view units);
  // The end of one piece of text (a cell, a part): the next unit starts a word.
  void Break();
  // Enough has been read that more text would not change the verdict.
  bool Clear() const;
  // The cap of units is reached.
  bool Full() const { return units_ >= kMaxUnits; }
  Detection Result() const;

  static constexpr std::size_t kMaxUnits = std::size_t{4} << 20;

 private:
  std::array<double, kCandidateCount> score_{};
  std::array<std::size_t, kCandidateCount> letters_{};
  std::array<std::size_t, kCandidateCount> foreign_{};
  std::array<std::size_t, kCandidateCount> rare_{};
  std::array<int, kCandidateCount> prev_{};
  std::size_t units_ = 0;
};

Detection DetectText(std::u16string_view text);

// Reads as much of the document at `path` as it needs, and never more than a fixed
// amount: the text the content-aware recoder would recode (zip XML parts, the text of
// binary office documents, UTF-8/UTF-16/rich text), or the units of the unit pass for
// any other file. Throws FileError when the file cannot be read, and for a document the
// recoder would refuse (damaged or encrypted), with the same reason.
Detection DetectDocument(const std::filesystem::path& path);

// A detection this sure is acted on (the recode guard, the window's marks).
inline constexpr double kClearConfidence = 0.95;

// True when the content clearly says `direction` would garble the document: it is
// Unicode already and the direction goes into Unicode, or it is legacy and the direction
// goes out of Unicode.
bool ContradictsDirection(const Detection& d, int direction);
// Why, for a failure message: "looks like Unicode text already; recoding it would garble
// it" and the like.
std::string ContradictionReason(const Detection& d, int direction);

}  // namespace uy::formats
