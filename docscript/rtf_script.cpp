// SPDX-License-Identifier: GPL-3.0-or-later
#include "rtf_script.h"

#include <cerrno>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <vector>

#include <unistd.h>

#include "document_error.h"
#include "file_io.h"

namespace uy::docscript {
namespace {

namespace fs = std::filesystem;
namespace sc = uy::script;
using formats::DocumentError;

// Larger documents are refused.
constexpr std::uint64_t kMaxRtf = std::uint64_t{64} << 20;
// Fallback counts above this are not repeated after every \uN: the text goes in a group of \uc1.
constexpr int kMaxFallback = 8;

// The direction words of the way to left to right, and of the way back.
constexpr std::pair<std::string_view, std::string_view> kToLeftToRight[] = {
    {"rtlpar", "\\ltrpar"}, {"rtlsect", "\\ltrsect"}, {"rtlrow", "\\ltrrow"}, {"taprtl", "\\ltrrow"},
    {"rtldoc", "\\ltrdoc"}};
constexpr std::pair<std::string_view, std::string_view> kToRightToLeft[] = {
    {"ltrpar", "\\rtlpar"}, {"ltrsect", "\\rtlsect"}, {"ltrrow", "\\rtlrow"}, {"ltrdoc", "\\rtldoc"}};
// Resets after which the way back says right to left.
constexpr std::pair<std::string_view, std::string_view> kAfterReset[] = {{"sectd", "\\rtlsect"},
                                                                          {"trowd", "\\rtlrow"}};

bool Ascii(std::u16string_view text) {
  for (const char16_t c : text)
    if (c >= 0x7F || (c < 0x20 && c != u'\t' && c != u'\n')) return false;
  return true;
}

// Text as the file writes it: ASCII as it is (\ { } escaped), tabs and line breaks as control
// words, everything else as \uN and `uc` question marks for readers without Unicode.
std::string RtfText(std::u16string_view text, int uc) {
  std::string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    if (c == u'\\' || c == u'{' || c == u'}') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == u'\t') {
      out += "\\tab ";
    } else if (c == u'\n') {
      out += "\\line ";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\u" + std::to_string(static_cast<std::int16_t>(c));
      out += uc == 0 ? std::string(" ") : std::string(static_cast<std::size_t>(uc), '?');
    }
  }
  return out;
}

// The output units of each slot: the offset map is monotone, so the letters that came from one
// slot are one stretch of the output. A special character keeps its control word; anything else
// converted from it joins the nearest text slot.
std::vector<std::u16string> Distribute(const RtfParagraph& p, std::u16string_view out,
                                       const std::vector<std::size_t>& map) {
  const std::size_t n = p.slots.size();
  std::vector<std::size_t> ends(n);
  std::size_t at = 0;
  for (std::size_t i = 0; i < n; ++i) ends[i] = at += p.slots[i].text.size();
  std::vector<std::u16string> pieces(n);
  std::size_t s = 0;
  for (std::size_t k = 0; k < out.size(); ++k) {
    while (s + 1 < n && map[k] >= ends[s]) ++s;
    pieces[s] += out[k];
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!p.slots[i].special) continue;
    std::u16string& piece = pieces[i];
    if (const std::size_t f = piece.find(p.slots[i].text[0]); f != std::u16string::npos) piece.erase(f, 1);
    if (piece.empty()) continue;
    std::size_t to = i;
    for (std::size_t j = i; j-- > 0 && to == i;)
      if (!p.slots[j].special) to = j;
    for (std::size_t j = i + 1; j < n && to == i; ++j)
      if (!p.slots[j].special) to = j;
    if (to == i) throw DocumentError("a paragraph's converted text has no text to go into");
    pieces[to] = to < i ? pieces[to] + piece : piece + pieces[to];
    piece.clear();
  }
  return pieces;
}

// Letters of the script's alphabet family in a text.
std::size_t LettersOf(sc::Script s, std::u16string_view text) {
  const sc::Detection d = sc::DetectScript(text);
  return s == sc::Script::Uey ? d.arabic : s == sc::Script::Uky ? d.cyrillic : d.latin;
}

std::string Flag(std::string_view word, bool on) { return "\\" + std::string(word) + (on ? "" : "0"); }

}  // namespace

RtfScriptTransform::Turn RtfScriptTransform::turn() const {
  if (options_.from == sc::Script::Uey) return Turn::kToLeftToRight;
  if (options_.to == sc::Script::Uey) return Turn::kToRightToLeft;
  return Turn::kNone;
}

// A slot's new text, in a group of its own when its letters changed script across the
// direction: the western values the complex ones were (or the way back), \ltrch or \rtlch, and
// Uyghur's language in the new script's slot.
std::string RtfScriptTransform::Stretch(const RtfSlot& slot, std::u16string_view text) const {
  const RtfCharState& c = slot.state;
  const bool turns =
      turn() != Turn::kNone && LettersOf(options_.from, slot.text) > 0 && LettersOf(options_.to, text) > 0;
  const bool uc1 = c.uc > kMaxFallback && !Ascii(text);
  const bool delimit = slot.after_word && !delimited_.contains(slot.range.begin);
  std::string group = "{";
  if (turns) {
    // Only what differs from the state the text is under: the rest holds already.
    const bool ug = c.lang == kUyghurLcid || c.alang == kUyghurLcid;
    const bool ltr = turn() == Turn::kToLeftToRight;
    if (c.rtl == ltr) group += ltr ? "\\ltrch" : "\\rtlch";
    if (c.b != c.ab) group += Flag(ltr ? "b" : "ab", ltr ? c.ab : c.b);
    if (c.i != c.ai) group += Flag(ltr ? "i" : "ai", ltr ? c.ai : c.i);
    if (c.fs != c.afs) group += (ltr ? "\\fs" : "\\afs") + std::to_string(ltr ? c.afs : c.fs);
    if (ug && (ltr ? c.lang : c.alang) != kUyghurLcid)
      group += (ltr ? "\\lang" : "\\alang") + std::to_string(kUyghurLcid);
  }
  if (uc1) group += "\\uc1";
  if (group.size() == 1) return (delimit ? " " : "") + RtfText(text, c.uc);
  return group + " " + RtfText(text, uc1 ? 1 : c.uc) + "}";
}

void RtfScriptTransform::OnParagraph(const RtfParagraph& p) {
  ++paragraphs_;
  if (turn() == Turn::kToRightToLeft && p.marked_end && !p.rtl)
    edits_.push_back({p.end, p.end, p.aligned ? "\\rtlpar" : "\\rtlpar\\qr"});
  const std::u16string text = p.Text();
  if (text.empty()) return;
  std::vector<std::size_t> map;
  const std::u16string out = sc::Convert(text, options_, &map);
  const std::vector<std::u16string> pieces = Distribute(p, out, map);
  std::u16string meant;
  for (std::size_t i = 0; i < p.slots.size(); ++i) {
    const RtfSlot& s = p.slots[i];
    meant += s.special ? s.text : pieces[i];
    if (s.special || pieces[i] == s.text) continue;
    ++runs_changed_;
    edits_.push_back({s.range.begin, s.range.end, Stretch(s, pieces[i])});
  }
  if (!meant.empty()) expected_.push_back(std::move(meant));
}

void RtfScriptTransform::OnDirectionWord(std::string_view word, Range range) {
  const Turn t = turn();
  if (t == Turn::kNone) return;
  using Pairs = std::span<const std::pair<std::string_view, std::string_view>>;
  for (const auto& [from, to] : t == Turn::kToLeftToRight ? Pairs(kToLeftToRight) : Pairs(kToRightToLeft))
    if (word == from) Word(range.begin, range.end, to);
  if (t == Turn::kToRightToLeft)
    for (const auto& [reset, flag] : kAfterReset)
      if (word == reset) Word(range.end, range.end, flag);
}

void RtfScriptTransform::Word(std::size_t begin, std::size_t at, std::string_view word) {
  const char next = at < doc_.size() ? doc_[at] : ' ';
  const bool joins =
      (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || (next >= '0' && next <= '9') || next == '-';
  edits_.push_back({begin, at, std::string(word) + (joins ? " " : "")});
  if (joins) delimited_.insert(at);
}

// \ql and \qr are the left and right edges whatever the direction (as LibreOffice shows
// them): right-aligned right-to-left text goes to the start of its left-to-right
// paragraph, and the way back aligns text at the left edge right.
void RtfScriptTransform::OnAlignment(Range range, char align, bool rtl) {
  if (turn() == Turn::kToLeftToRight && rtl && align == 'r') Word(range.begin, range.end, "\\ql");
  if (turn() == Turn::kToRightToLeft && !rtl && align == 'l') Word(range.begin, range.end, "\\qr");
}

void RtfCollect::OnParagraph(const RtfParagraph& p) {
  const std::u16string t = p.Text();
  if (t.empty()) return;
  sc::CountLetters(t, detection);
  if (keep_texts) texts.push_back(t);
}

std::string ConvertRtfText(std::string_view doc, const sc::Options& options, ConvertSummary* summary) {
  RtfScriptTransform transform(options, doc);
  WalkRtf(doc, transform);
  std::string out = ApplyEdits(doc, std::move(transform.edits()));
  RtfCollect again;
  try {
    // A converted stretch may sit in one group more than its text did.
    WalkRtf(out, again, kMaxRtfDepth + 1);
  } catch (const DocumentError& e) {
    throw DocumentError(std::string("the converted document does not read back: ") + e.what());
  }
  if (again.texts != transform.expected()) throw DocumentError("the converted document does not hold the text meant");
  if (summary) {
    summary->paragraphs = transform.paragraphs();
    summary->runs_changed = transform.runs_changed();
  }
  return out;
}

namespace {

std::string ReadWhole(InputFile& in) {
  if (in.size() > kMaxRtf) throw DocumentError("the document is larger than " + std::to_string(kMaxRtf >> 20) + " MB");
  std::string data(static_cast<std::size_t>(in.size()), '\0');
  for (std::size_t got = 0; got < data.size();) {
    const ssize_t n = ::pread(in.fd(), data.data() + got, data.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw FileError(FileError::Kind::Read, in.path(), n < 0 ? ErrnoText(errno) : "the file became shorter");
    got += static_cast<std::size_t>(n);
  }
  return data;
}

std::string NoScriptReason(const sc::Detection& d) {
  if (d.arabic + d.latin + d.cyrillic == 0) return "no letters to tell the script from; give --from";
  return "no script clearly leads (" + std::to_string(d.arabic) + " Arabic, " + std::to_string(d.latin) + " Latin, " +
         std::to_string(d.cyrillic) + " Cyrillic letters); give --from";
}

// The written file holds exactly the bytes meant.
void ReadBack(const fs::path& path, const std::string& meant) {
  InputFile back(path);
  if (back.size() != meant.size() || ReadWhole(back) != meant)
    throw DocumentError("the written file differs from what was meant");
}

}  // namespace

ConvertSummary ConvertRtf(InputFile& in, const fs::path& output, const ConvertOptions& options) {
  const std::string doc = ReadWhole(in);
  ConvertSummary summary;
  summary.type = DocumentType::kRtf;
  sc::Options so;
  so.to = options.to;
  so.e_acute = options.e_acute;
  so.wrap = options.wrap;
  so.words = options.words;
  if (options.from) {
    so.from = *options.from;
  } else {
    RtfCollect collect;
    collect.keep_texts = false;
    WalkRtf(doc, collect);
    sc::Decide(collect.detection);
    if (!collect.detection.script) throw DocumentError(NoScriptReason(collect.detection));
    so.from = *collect.detection.script;
    summary.assumed = collect.detection.assumed;
  }
  if (so.from == so.to) throw DocumentError("the text is in " + std::string(sc::Name(so.to)) + " already");
  summary.from = so.from;
  const std::string out = ConvertRtfText(doc, so, &summary);
  AtomicFileWriter file(output, in.permissions());
  file.Write(out.data(), out.size());
  try {
    ReadBack(file.temp_path(), out);
  } catch (const DocumentError& e) {
    throw FileError(FileError::Kind::Write, output, std::string("check failed, nothing written: ") + e.what());
  }
  file.Commit();
  return summary;
}

}  // namespace uy::docscript
