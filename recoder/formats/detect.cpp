// SPDX-License-Identifier: GPL-3.0-or-later
#include "detect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <zip.h>

#include "cfb.h"
#include "file_io.h"
#include "formats.h"
#include "office_binary.h"
#include "read_bytes.h"
#include "zip_checks.h"
#include "tables.h"
#include "utf.h"

namespace uy::formats {
namespace {

#include "letter_pairs.inc"

namespace fs = std::filesystem;

constexpr int kLetterCount = 33;
constexpr int kOther = kLetterCount;  // blanks, digits, Latin, markup, marks
constexpr int kForeign = kOther + 1;  // an Arabic letter that Uyghur does not use
static_assert(std::size(kUyghurLetters) == kLetterCount);

// A letter Uyghur text never uses (or a unit the encoding never stores) costs more than
// any pair of letters can: the share of Uyghur letters decides first, the pairs next.
constexpr double kForeignLogProb = -100.0;
// Letter pairs this unlikely are (nearly) absent from real words.
constexpr float kRareLogProb = -8.0f;
// Readings with more rare pairs than this share of their letters are not Uyghur text.
constexpr double kMaxRareShare = 0.02;
constexpr std::size_t kMinRare = 4;
// Fewer letters than this (in the best reading) tell nothing.
constexpr std::size_t kMinLetters = 8;
// Readings with more foreign letters than this share of their letters are not Uyghur.
constexpr double kMaxForeignShare = 0.15;
// The letter-pair model treats neighbours as independent, which they are not: scores
// are softened by this factor before they become probabilities.
constexpr double kTemperature = 3.0;
// Enough letters to stop reading when the verdict is clear; candidates that read the
// text alike (the tables differ only on rare letters) are given more text to differ.
constexpr std::size_t kClearLetters = 4096;
constexpr std::size_t kTieLetters = 65536;

// How many bytes of a file detection reads at most.
constexpr std::uint64_t kMaxBytes = std::uint64_t{16} << 20;
// Compound files up to this size are parsed for their text; larger ones are sampled as
// units, like any other file.
constexpr std::uint64_t kMaxCompound = std::uint64_t{32} << 20;
constexpr std::size_t kHeader = 2560;
// The longest numeric character reference read: "&#x", 32 digits, ';'.
constexpr std::size_t kMaxReference = 36;
// The parts of a zip container read through their CRCs (inflated bytes), text or not.
constexpr std::uint64_t kMaxVerified = std::uint64_t{64} << 20;
constexpr std::size_t kChunk = std::size_t{1} << 16;

constexpr std::array<int, kCandidateCount> kDirections = {-1, 0, 2, 4, 6};

bool IsArabicLetter(unsigned low) {
  return (low >= 0x21 && low <= 0x4A) || (low >= 0x6E && low <= 0xD3) || low == 0xD5 ||
         low == 0xEE || low == 0xEF || low >= 0xFA;
}

struct Tables {
  // Class of each unit U+06xx after each candidate's recoding, by low byte.
  std::array<std::array<std::uint8_t, 256>, kCandidateCount> klass;
  Tables() {
    std::array<std::uint8_t, 256> plain;
    for (unsigned low = 0; low < 256; ++low) {
      const char16_t u = static_cast<char16_t>(0x0600 | low);
      const auto* it = std::find(std::begin(kUyghurLetters), std::end(kUyghurLetters), u);
      plain[low] = it != std::end(kUyghurLetters)
                       ? static_cast<std::uint8_t>(it - std::begin(kUyghurLetters))
                       : (IsArabicLetter(low) ? kForeign : kOther);
    }
    for (int c = 0; c < kCandidateCount; ++c) {
      if (kDirections[c] < 0) {
        klass[c] = plain;
        continue;
      }
      const auto& map = recode::LowByteMap(kDirections[c]);
      for (unsigned low = 0; low < 256; ++low) klass[c][low] = plain[map[low]];
      // A typist of a legacy encoding never stores a letter where Unicode keeps it when the
      // encoding keeps it elsewhere: such a unit speaks against the encoding.
      for (const recode::Pair& p : recode::GetDirection(kDirections[c]).pairs)
        if (map[p.to & 0xFF] == (p.to & 0xFF)) klass[c][p.to & 0xFF] = kForeign;
    }
  }
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

// Candidates whose score is the best one's, as a bit set, and the best one's index.
struct Ranking {
  int best = 0;
  unsigned tied = 1;
  double confidence = 0.0;
};

Ranking Rank(const std::array<double, kCandidateCount>& score) {
  const double top = *std::max_element(score.begin(), score.end());
  Ranking r;
  r.best = -1;
  r.tied = 0;
  double same = 0.0, total = 0.0;
  for (int c = 0; c < kCandidateCount; ++c) {
    const double diff = score[c] - top;
    const double p = std::exp(diff / kTemperature);
    total += p;
    if (diff > -1e-6) {  // reads the text as well as the best: the lowest index wins
      if (r.best < 0) r.best = c;
      r.tied |= 1u << c;
      same += p;
    }
  }
  r.confidence = same / total;
  return r;
}

}  // namespace

int CandidateDirection(Candidate c) { return kDirections[static_cast<int>(c)]; }

std::string Detection::Text() const {
  switch (verdict) {
    case Verdict::kUnicode: return "unicode";
    case Verdict::kLegacy: return "direction " + std::to_string(direction);
    case Verdict::kUnknown: break;
  }
  return "unknown";
}

std::string Detection::Describe() const {
  switch (verdict) {
    case Verdict::kUnicode: return "Unicode";
    case Verdict::kLegacy:
      return "a legacy encoding (direction " + std::to_string(direction) + ": " + EncodingNames() + ")";
    case Verdict::kUnknown: break;
  }
  return "unknown";
}

std::string Detection::EncodingNames() const {
  if (verdict != Verdict::kLegacy) return {};
  std::string names(recode::GetDirection(direction).source);
  // Directions that share a table read the same encodings.
  if (direction == 2) names += "/" + std::string(recode::GetDirection(5).source);
  if (direction == 6) names += "/" + std::string(recode::GetDirection(7).source);
  return names;
}

Detector::Detector() { prev_.fill(kOther); }

void Detector::Feed(std::u16string_view units) {
  const Tables& t = GetTables();
  const std::size_t n = std::min(units.size(), kMaxUnits - std::min(units_, kMaxUnits));
  units_ += n;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t u = units[i];
    if ((u >> 8) != 0x06) {
      // Everything outside the Arabic block is a boundary; runs of them count once.
      for (int c = 0; c < kCandidateCount; ++c) {
        if (prev_[c] == kOther) continue;
        score_[c] += kLetterPairLogProb[prev_[c]][kOther];
        prev_[c] = kOther;
      }
      continue;
    }
    for (int c = 0; c < kCandidateCount; ++c) {
      const int k = t.klass[c][u & 0xFF];
      if (k == kForeign) {
        score_[c] += kForeignLogProb;
        ++foreign_[c];
        prev_[c] = kOther;
      } else if (k == kOther) {
        if (prev_[c] == kOther) continue;
        score_[c] += kLetterPairLogProb[prev_[c]][kOther];
        prev_[c] = kOther;
      } else {
        const float lp = kLetterPairLogProb[prev_[c]][k];
        score_[c] += lp;
        rare_[c] += lp < kRareLogProb;
        ++letters_[c];
        prev_[c] = k;
      }
    }
  }
}

void Detector::Break() { Feed(u" "); }

bool Detector::Clear() const {
  const Ranking r = Rank(score_);
  if (letters_[r.best] < kClearLetters || r.confidence < 1.0 - 1e-9) return false;
  // Tied candidates may still part on a rare letter further on.
  return (r.tied & (r.tied - 1)) == 0 || letters_[r.best] >= kTieLetters;
}

Detection Detector::Result() const {
  const Ranking r = Rank(score_);
  Detection d;
  d.letters = letters_[r.best];
  d.rare = static_cast<double>(rare_[r.best]) / static_cast<double>(std::max<std::size_t>(d.letters, 1));
  d.fit = score_[r.best] / static_cast<double>(std::max<std::size_t>(d.letters, 1));
  if (d.letters < kMinLetters ||
      static_cast<double>(foreign_[r.best]) > kMaxForeignShare * static_cast<double>(d.letters))
    return d;
  // Even the best reading has letters where real words never put them: text garbled by
  // an earlier recoding in a wrong direction, or not Uyghur.
  if (rare_[r.best] >= kMinRare && d.rare > kMaxRareShare) return d;
  d.verdict = r.best == 0 ? Detection::Verdict::kUnicode : Detection::Verdict::kLegacy;
  d.direction = kDirections[r.best];
  d.confidence = r.confidence;
  return d;
}

Detection DetectText(std::u16string_view text) {
  Detector d;
  d.Feed(text);
  d.Break();
  return d.Result();
}

namespace {

// Turns the bytes of UTF-8 text (and, in markup, numeric character references) into
// units, piece by piece: an incomplete sequence at the end of a piece waits for the next.
class Utf8Units {
 public:
  explicit Utf8Units(bool markup) : markup_(markup) {}
  // Appends the units of `bytes` (after what was left over) to `out`.
  void Add(std::string_view bytes, bool last, std::u16string& out) {
    pending_.append(bytes);
    std::size_t i = 0;
    const std::size_t n = pending_.size();
    while (i < n) {
      const auto b = static_cast<unsigned char>(pending_[i]);
      if (b == '&' && markup_) {
        // A reference: "&#", 'x', at most 32 digits (leading zeros included), ';'.
        const std::size_t end = std::string_view(pending_).substr(0, std::min(n, i + kMaxReference)).find(';', i);
        if (end == std::string::npos && n - i < kMaxReference && !last) break;
        if (auto unit = Reference(std::string_view(pending_).substr(i, end == std::string::npos ? 0 : end - i))) {
          out.push_back(*unit);
          i = end + 1;
          continue;
        }
        out.push_back(u' ');
        ++i;
        continue;
      }
      if (b < 0x80) {
        out.push_back(static_cast<char16_t>(b));
        ++i;
        continue;
      }
      const std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
      if (i + len > n && !last) break;
      if (len == 2 && i + 1 < n) {
        out.push_back(static_cast<char16_t>(((b & 0x1F) << 6) | (static_cast<unsigned char>(pending_[i + 1]) & 0x3F)));
      } else if (len == 3 && i + 2 < n) {
        out.push_back(static_cast<char16_t>(((b & 0x0F) << 12) |
                                            ((static_cast<unsigned char>(pending_[i + 1]) & 0x3F) << 6) |
                                            (static_cast<unsigned char>(pending_[i + 2]) & 0x3F)));
      } else {
        out.push_back(u' ');
      }
      i += std::min(len, n - i);
    }
    pending_.erase(0, i);
  }

 private:
  // "&#1574" or "&#x626" (without the ';'), or nothing.
  static std::optional<char16_t> Reference(std::string_view r) {
    if (r.size() < 3 || r.size() >= kMaxReference || r[1] != '#') return std::nullopt;
    const bool hex = r[2] == 'x' || r[2] == 'X';
    unsigned value = 0;
    std::size_t digits = 0;
    for (std::size_t k = hex ? 3 : 2; k < r.size(); ++k, ++digits) {
      const char c = r[k];
      int v = -1;
      if (c >= '0' && c <= '9') v = c - '0';
      else if (hex && c >= 'a' && c <= 'f') v = c - 'a' + 10;
      else if (hex && c >= 'A' && c <= 'F') v = c - 'A' + 10;
      if (v < 0) return std::nullopt;
      value = value * (hex ? 16 : 10) + static_cast<unsigned>(v);
      if (value > 0xFFFF) return std::nullopt;  // leading zeros keep it small
    }
    if (digits == 0) return std::nullopt;
    return static_cast<char16_t>(value);
  }

  bool markup_;
  std::string pending_;
};

// \uN escapes of rich text; everything else is a boundary.
void RtfUnits(std::string_view rtf, std::u16string& out) {
  for (std::size_t i = 0; i < rtf.size(); ++i) {
    if (rtf[i] != '\\' || i + 1 >= rtf.size()) continue;
    if (rtf[i + 1] == '\\') {
      ++i;
      continue;
    }
    if (rtf[i + 1] != 'u') continue;
    std::size_t k = i + 2;
    const bool negative = k < rtf.size() && rtf[k] == '-';
    if (negative) ++k;
    long value = 0;
    std::size_t digits = 0;
    for (; k < rtf.size() && rtf[k] >= '0' && rtf[k] <= '9' && digits < 6; ++k, ++digits)
      value = value * 10 + (rtf[k] - '0');
    if (digits == 0) continue;
    if (negative) value = 65536 - value;
    out.push_back(static_cast<char16_t>(value & 0xFFFF));
    i = k - 1;
  }
  out.push_back(u' ');
}

// Reads the rest of `in` in pieces of at most kChunk bytes, handing each to `use`, until
// `use` returns false or `budget` bytes were read.
template <typename Use>
void ReadPieces(InputFile& in, std::uint64_t budget, Use use) {
  std::string buf(kChunk, '\0');
  while (budget > 0) {
    const std::size_t n = in.Read(buf.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, budget)));
    budget -= n;
    const bool last = n < kChunk || budget == 0;
    if (!use(std::string_view(buf.data(), n), last) || n == 0) return;
  }
}

void DetectUnits(InputFile& in, std::uint64_t skip, bool big_endian, Detector& d) {
  std::string carry;
  std::uint64_t to_skip = skip;
  std::u16string units;
  ReadPieces(in, kMaxBytes, [&](std::string_view piece, bool) {
    if (to_skip > 0) {
      const std::size_t s = static_cast<std::size_t>(std::min<std::uint64_t>(to_skip, piece.size()));
      to_skip -= s;
      piece.remove_prefix(s);
    }
    carry.append(piece);
    units = DecodeUtf16Bytes(carry, big_endian);
    carry.erase(0, carry.size() & ~std::size_t{1});
    d.Feed(units);
    return !d.Clear() && !d.Full();
  });
}

void DetectUtf8(InputFile& in, std::string_view head, bool markup, Detector& d) {
  Utf8Units decoder(markup);
  std::u16string units;
  decoder.Add(head, false, units);
  d.Feed(units);
  ReadPieces(in, kMaxBytes - head.size(), [&](std::string_view piece, bool last) {
    units.clear();
    decoder.Add(piece, last, units);
    d.Feed(units);
    return !d.Clear() && !d.Full();
  });
}

void DetectRtf(InputFile& in, std::string_view head, Detector& d) {
  // Escapes split across pieces are rare and cost one unit of evidence.
  std::u16string units;
  RtfUnits(head, units);
  d.Feed(units);
  ReadPieces(in, kMaxBytes - head.size(), [&](std::string_view piece, bool) {
    units.clear();
    RtfUnits(piece, units);
    d.Feed(units);
    return !d.Clear() && !d.Full();
  });
}

// The text of a binary office document, or every unit of every stream of another
// compound file. Damage and encryption are refused as the recoder refuses them.
void DetectCompound(const std::string& file, Detector& d) {
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
  cfb::CompoundFile cf;
  try {
    cf = cfb::CompoundFile::Parse(bytes);
  } catch (const DocumentError& e) {
    throw DocumentError(std::string("a damaged compound file: ") + e.what());
  }
  RefuseEncrypted(cf, bytes);
  auto feed = [&](const std::vector<std::uint8_t>& data, const std::vector<UnitRange>& ranges) {
    for (const UnitRange& r : ranges) {
      const std::uint64_t count = std::min<std::uint64_t>(r.count, Detector::kMaxUnits);
      std::u16string units(count, u'\0');
      DecodeUtf16Bytes(std::span(data).subspan(r.offset, count * 2), false, units.data());
      d.Feed(units);
      d.Break();
      if (d.Clear() || d.Full()) return;
    }
  };
  const CompoundText text = ReadCompoundText(bytes, cf);
  for (const StreamText& t : text.streams) feed(t.data, t.ranges);
  if (text.kind != CompoundText::Kind::kOther) return;
  for (const cfb::Stream& s : cf.streams()) {
    const auto data = cfb::CompoundFile::Read(bytes, s);
    feed(data, {{0, data.size() / 2}});
    if (d.Clear() || d.Full()) break;
  }
}


// Parts most likely to hold the document's text come first.
int PartRank(std::string_view name) {
  for (std::string_view main : {"word/document.xml", "content.xml", "xl/sharedStrings.xml"})
    if (name == main) return 0;
  if (name.starts_with("ppt/slides/") || name.starts_with("xl/worksheets/")) return 1;
  return 2;
}

// Reads the text of the XML parts (those most likely to hold the document's text first)
// and every part through its CRC, up to a bound: damage the recoder would refuse is
// refused here too.
void DetectZip(InputFile& in, Detector& d) {
  CheckZipLayout(in.fd(), in.size());
  int err = 0;
  ZipArchive z(zip_open(in.path().c_str(), ZIP_RDONLY, &err));
  if (!z) throw DocumentError("not a readable zip archive: " + ZipErrorText(err));
  const std::vector<zip_stat_t> entries = ReadZipEntries(z.get());
  std::vector<std::pair<int, zip_uint64_t>> order;
  for (zip_uint64_t i = 0; i < entries.size(); ++i) order.emplace_back(PartRank(entries[i].name), i);
  std::stable_sort(order.begin(), order.end());
  std::uint64_t budget = kMaxBytes, verify = kMaxVerified;
  std::string buf(kChunk, '\0');
  std::u16string units;
  for (const auto& [rank, index] : order) {
    const char* name = entries[index].name;
    ZipPart f(zip_fopen_index(z.get(), index, 0));
    if (!f) throw DocumentError(std::string("cannot open the part ") + name + " of the archive: " + zip_strerror(z.get()));
    std::optional<Utf8Units> decoder;
    bool text = true;
    while (verify > 0) {
      const zip_int64_t n = zip_fread(f.get(), buf.data(), std::min<std::uint64_t>(kChunk, verify));
      if (n < 0) throw DocumentError(std::string("the part ") + name + " of the archive is damaged: " + zip_file_strerror(f.get()));
      if (n == 0) break;
      verify -= static_cast<std::uint64_t>(n);
      const std::string_view piece(buf.data(), static_cast<std::size_t>(n));
      if (!decoder && text) text = IsMarkup(piece);  // only XML parts hold text the recoder touches
      if (!text || budget == 0 || d.Clear() || d.Full()) continue;
      if (!decoder) decoder.emplace(true);
      budget -= std::min<std::uint64_t>(budget, piece.size());
      units.clear();
      decoder->Add(piece, false, units);
      d.Feed(units);
    }
    d.Break();
  }
}

}  // namespace

namespace {

// What the head of the file says it is; larger text is told as the recoder tells it:
// valid UTF-8 so far (a sequence cut by the piece's end aside) with no more than a stray
// NUL here and there.
DocumentKind KindOf(const InputFile& in, const std::string& head) {
  const auto* hb = reinterpret_cast<const std::uint8_t*>(head.data());
  const bool whole = head.size() == in.size();
  DocumentKind kind = DetectKind({hb, head.size()}, whole);
  if (kind == DocumentKind::kOther && !whole &&
      static_cast<std::size_t>(std::count(head.begin(), head.end(), '\0')) <= head.size() / 64) {
    std::size_t end = head.size();
    for (std::size_t k = 0; k < 3 && end > 0 && (static_cast<unsigned char>(head[end - 1]) & 0xC0) == 0x80; ++k) --end;
    if (end > 0 && static_cast<unsigned char>(head[end - 1]) >= 0xC0) --end;
    if (IsValidUtf8(std::string_view(head).substr(0, end))) kind = DocumentKind::kUtf8Text;
  }
  if (kind == DocumentKind::kOther && EndsWithZipDirectory(in.fd(), in.size())) kind = DocumentKind::kZip;
  return kind;
}

// A compound file, read whole as the recoder reads it; too large a file is refused the
// same way.
void DetectCompoundFile(InputFile& in, const fs::path& path, const std::string& head, Detector& d) {
  const auto* hb = reinterpret_cast<const std::uint8_t*>(head.data());
  cfb::CheckFileSize({hb, std::min<std::size_t>(head.size(), 32)}, in.size());
  if (in.size() > kMaxCompound) {
    InputFile again(path);
    DetectUnits(again, kHeader, false, d);
    return;
  }
  std::string file = head;
  file.resize(static_cast<std::size_t>(in.size()));
  std::size_t got = head.size();
  while (got < file.size()) {
    const std::size_t n = in.Read(file.data() + got, file.size() - got);
    if (n == 0) break;
    got += n;
  }
  file.resize(got);
  DetectCompound(file, d);
}

void DetectUtf16File(const fs::path& path, const std::string& head, Detector& d) {
  const bool big_endian = static_cast<std::uint8_t>(head[0]) == 0xFE;
  const std::u16string units = DecodeUtf16Bytes(std::string_view(head).substr(2), big_endian);
  d.Feed(units);
  InputFile again(path);
  DetectUnits(again, 2 + ((head.size() - 2) & ~std::size_t{1}), big_endian, d);
}

Detection Detect(const fs::path& path) {
  Detector d;
  InputFile in(path);
  std::string head(kChunk, '\0');
  head.resize(in.Read(head.data(), head.size()));
  switch (KindOf(in, head)) {
    case DocumentKind::kZip:
      DetectZip(in, d);
      break;
    case DocumentKind::kCompound:
      DetectCompoundFile(in, path, head, d);
      break;
    case DocumentKind::kUtf16Text:
      DetectUtf16File(path, head, d);
      break;
    case DocumentKind::kUtf8Text:
      DetectUtf8(in, head, IsMarkup(head), d);
      break;
    case DocumentKind::kRtf:
      DetectRtf(in, head, d);
      break;
    case DocumentKind::kOther: {
      InputFile again(path);
      DetectUnits(again, kHeader, false, d);
      break;
    }
  }
  d.Break();
  return d.Result();
}

}  // namespace

Detection DetectDocument(const fs::path& path) {
  try {
    return Detect(path);
  } catch (const DocumentError& e) {
    throw FileError(FileError::Kind::Read, path,
                    e.encrypted() ? FileError::Why::kEncrypted : FileError::Why::kDamaged, e.what());
  }
}

bool ContradictsDirection(const Detection& d, int direction) {
  if (d.confidence < kClearConfidence) return false;
  const bool into_unicode = recode::GetDirection(direction).target == recode::GetDirection(0).target;
  if (into_unicode) return d.verdict == Detection::Verdict::kUnicode;
  return d.verdict == Detection::Verdict::kLegacy;
}

std::string ContradictionReason(const Detection& d, int direction) {
  if (d.verdict == Detection::Verdict::kUnicode)
    return "looks like Unicode text already; recoding it in direction " + std::to_string(direction) +
           " would garble it";
  return "looks like " + d.Describe() + ", not Unicode text; recoding it in direction " +
         std::to_string(direction) + " would garble it";
}

}  // namespace uy::formats
