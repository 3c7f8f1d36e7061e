// SPDX-License-Identifier: GPL-3.0-or-later
// Length-keeping recoding of UTF-8, UTF-16, markup references and rich text, in memory
// and in pieces.
#include "text_recode.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <zlib.h>

#include "tables.h"

namespace uy::formats {
namespace {

namespace fs = std::filesystem;
using text_scan::Map;
using text_scan::Window;

bool InArabicBlock(std::uint64_t cp) { return cp >= 0x0600 && cp <= 0x06FF; }

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(std::uint8_t c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsLetter(std::uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsBlank(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The replacement of a character of U+0600..U+06FF.
std::uint32_t Recode(const Map& map, std::uint32_t cp) { return 0x0600u | map[cp & 0xFF]; }

// Writes `value` into [first, last) of the window as digits of `base`, padded on the left
// with zeros. The width suffices: every table value needs 3 hex or 4 decimal digits, and
// the value it replaces needed as many.
void WriteDigits(Window w, std::uint64_t first, std::uint64_t last, std::uint32_t value, unsigned base,
                 bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  for (std::uint64_t p = last; p != first;) {
    w[--p] = static_cast<std::uint8_t>(digits[value % base]);
    value /= base;
  }
}

constexpr std::uint64_t kMaxReferenceDigits = 32;

Window WholeText(std::span<std::uint8_t> text) { return {text.data(), 0, text.size()}; }

}  // namespace

namespace text_scan {

std::uint64_t Utf8::Scan(Window w, bool final, const Map& map, std::size_t& changed) {
  std::uint64_t i = pos;
  for (; i + 1 < w.end; ++i) {
    // U+0600..U+06FF are D8 80 .. DB BF; a lead byte D8..DB is never a continuation byte.
    const std::uint8_t lead = w[i];
    if (lead < 0xD8 || lead > 0xDB || (w[i + 1] & 0xC0) != 0x80) continue;
    const std::uint32_t cp = ((lead & 0x1Fu) << 6) | (w[i + 1] & 0x3Fu);
    const std::uint32_t r = Recode(map, cp);
    if (r != cp) {
      w[i] = static_cast<std::uint8_t>(0xC0 | (r >> 6));
      w[i + 1] = static_cast<std::uint8_t>(0x80 | (r & 0x3F));
      ++changed;
    }
    ++i;
  }
  // A lead byte at the end may pair with the next piece's first byte.
  if (!final && i < w.end && w[i] >= 0xD8 && w[i] <= 0xDB) {
    pos = i;
    return i;
  }
  pos = std::max(i, w.end);
  return w.end;
}

std::uint64_t Utf16::Scan(Window w, bool final, const Map& map, std::size_t& changed) {
  const std::uint64_t whole = w.end > pos ? (w.end - pos) & ~std::uint64_t{1} : 0;
  if (whole > 0) changed += recode::RecodeArabicUnits({&w[pos], static_cast<std::size_t>(whole)}, map, big_endian);
  pos += whole;
  return final || pos >= w.end ? w.end : pos;
}

std::uint64_t References::Scan(Window w, bool final, const Map& map, std::size_t& changed) {
  const std::uint64_t n = w.end;
  std::uint64_t i = pos;
  while (i < n) {
    if (w[i] != '&') {
      const void* hit = std::memchr(&w[i], '&', n - i);
      i = hit ? static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - w.data) + w.base : n;
      continue;
    }
    // "&#", an optional 'x', up to 32 digits (leading zeros count, and are kept), then
    // ';' or any other end of the number (browsers take "&#1570 " as "&#1570;"). Decided
    // only once its end is here.
    std::uint64_t j = i + 1;
    if (j >= n) break;
    if (w[j] != '#') {
      ++i;
      continue;
    }
    if (++j >= n) break;
    const bool hex = w[j] == 'x' || w[j] == 'X';
    if (hex) ++j;
    const std::uint64_t first = j;
    std::uint32_t value = 0;
    bool upper = false, lower = false;
    while (j < n && (hex ? IsHexDigit(w[j]) : IsDigit(w[j])) && j - first < kMaxReferenceDigits) {
      const std::uint8_t c = w[j];
      // Past the Unicode range the value only has to stay out of the Arabic block.
      if (value <= 0x10FFFF) value = value * (hex ? 16 : 10) + (IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
      if (c >= 'A' && c <= 'F') upper = true;
      if (c >= 'a' && c <= 'f') lower = true;
      ++j;
    }
    if (j >= n && !final) break;
    const bool semicolon = j < n && w[j] == ';';
    const bool longer = j < n && (hex ? IsHexDigit(w[j]) : IsDigit(w[j]));  // past the digits read
    if (j == first || longer || !InArabicBlock(value)) {
      ++i;
      continue;
    }
    const std::uint32_t r = Recode(map, value);
    if (r != value) {
      // Hex letters keep the case the reference used, or else the case of its 'x'.
      WriteDigits(w, first, j, r, hex ? 16 : 10, upper || (!lower && w[i + 2] == 'X'));
      ++changed;
    }
    i = semicolon ? j + 1 : j;
  }
  if (i < n && !final) {
    pos = i;  // an unfinished reference starts here
    return i;
  }
  pos = std::max(i, n);
  return n;
}

void Rtf::EndWord(Window w, const Map& map, std::size_t& changed) {
  const std::uint64_t j = pos;  // the first byte after the digits
  if (word_len == 1 && word[0] == 'u' && !negative && InArabicBlock(param)) {
    // A value of the block has at most four digits; any before them are zeros, and stay.
    const std::uint32_t r = Recode(map, static_cast<std::uint32_t>(param));
    if (r != param) {
      WriteDigits(w, std::max(digit_start, j - std::min<std::uint64_t>(j, 4)), j, r, 10, false);
      ++changed;
    }
    state = State::kText;
  } else if (word_len == 3 && std::memcmp(word, "bin", 3) == 0 && !negative) {
    // \binN: N bytes of raw data follow the delimiting blank.
    if (j < w.end && w[j] == ' ') ++pos;
    bin_left = param;
    state = bin_left ? State::kBinData : State::kText;
  } else {
    state = State::kText;
  }
}

// Plain text up to the next backslash.
void Rtf::SkipText(Window w) {
  const std::uint64_t n = w.end;
  const void* hit = std::memchr(&w[pos], '\\', n - pos);
  if (!hit) {
    pos = n;
  } else {
    pos = static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - w.data) + w.base + 1;
    state = State::kBackslash;
  }
}

// A byte of a control word's name, its minus sign or the first digit of its parameter.
void Rtf::WordByte(std::uint8_t c) {
  if (IsLetter(c)) {
    if (word_len < 3) word[word_len] = static_cast<char>(c);
    if (word_len < 4) ++word_len;
    ++pos;
  } else if (c == '-') {
    negative = true;
    state = State::kMinus;
    ++pos;
  } else {
    StartDigits(c);  // or a word without a parameter, `c` being text again
  }
}

void Rtf::StartDigits(std::uint8_t c) {
  if (IsDigit(c)) {
    state = State::kDigits;
    digit_start = pos;
    param = 0;
  } else {
    state = State::kText;
  }
}

// One step of the scan at `pos`.
void Rtf::Step(Window w, const Map& map, std::size_t& changed) {
  const std::uint8_t c = w[pos];
  switch (state) {
    case State::kText:
      return SkipText(w);
    case State::kBackslash:  // a control symbol (\\ \{ \' and the like) or a control word
      if (IsLetter(c)) {
        state = State::kWord;
        word[0] = static_cast<char>(c);
        word_len = 1;
        negative = false;
      } else {
        state = State::kText;
      }
      ++pos;
      return;
    case State::kWord:
      return WordByte(c);
    case State::kMinus:
      return StartDigits(c);
    case State::kDigits:
      if (!IsDigit(c)) return EndWord(w, map, changed);
      // Every digit belongs to the parameter; past 2^40 its value no longer matters.
      if (param < (std::uint64_t{1} << 40)) param = param * 10 + (c - '0');
      ++pos;
      return;
    case State::kBinData: {
      const std::uint64_t take = std::min(bin_left, w.end - pos);
      pos += take;
      bin_left -= take;
      if (bin_left == 0) state = State::kText;
      return;
    }
  }
}

std::uint64_t Rtf::Scan(Window w, bool final, const Map& map, std::size_t& changed) {
  const std::uint64_t n = w.end;
  while (pos < n) Step(w, map, changed);
  if (state != State::kDigits) return n;
  if (final) {
    EndWord(w, map, changed);
    return n;
  }
  // Digits of \uN may go on in the next piece: keep back the last four.
  if (word_len == 1 && word[0] == 'u' && !negative && param <= 0x06FF)
    return std::max(digit_start, n - std::min<std::uint64_t>(n, 4));
  return n;
}

void MarkupStart::Scan(Window w, bool final) {
  static constexpr std::uint8_t kMark[] = {0xEF, 0xBB, 0xBF};
  while (verdict == Verdict::kUndecided && pos < w.end) {
    const std::uint8_t c = w[pos];
    if (pos < 3 && mark == pos && c == kMark[pos]) {
      ++mark;
      ++pos;
    } else if (mark != 0 && mark < 3) {
      verdict = Verdict::kNo;  // the start of a mark, and then something else
    } else if (IsBlank(c)) {
      ++pos;
    } else {
      verdict = c == '<' ? Verdict::kYes : Verdict::kNo;
    }
  }
  if (final && verdict == Verdict::kUndecided) verdict = Verdict::kNo;
}

}  // namespace text_scan

std::size_t RecodeUtf8(std::span<std::uint8_t> text, int direction) {
  std::size_t changed = 0;
  text_scan::Utf8().Scan(WholeText(text), true, recode::LowByteMap(direction), changed);
  return changed;
}

std::size_t RecodeUtf16(std::span<std::uint8_t> units, bool big_endian, int direction) {
  std::size_t changed = 0;
  text_scan::Utf16{0, big_endian}.Scan(WholeText(units), true, recode::LowByteMap(direction), changed);
  return changed;
}

std::size_t RecodeCharacterReferences(std::span<std::uint8_t> markup, int direction) {
  std::size_t changed = 0;
  text_scan::References().Scan(WholeText(markup), true, recode::LowByteMap(direction), changed);
  return changed;
}

std::size_t RecodeRtfEscapes(std::span<std::uint8_t> rtf, int direction) {
  std::size_t changed = 0;
  text_scan::Rtf().Scan(WholeText(rtf), true, recode::LowByteMap(direction), changed);
  return changed;
}

TextRecoder::TextRecoder(DocumentKind kind, int direction, bool markup)
    : kind_(kind), map_(recode::LowByteMap(direction)) {
  if (!IsTextKind(kind)) throw std::invalid_argument("not a text kind");
  utf16_.pos = 2;  // after the byte-order mark
  if (markup) markup_.verdict = text_scan::MarkupStart::Verdict::kYes;
}

void TextRecoder::Feed(std::span<const std::uint8_t> bytes, std::string& out) {
  buf_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  Scan(false, out);
}

void TextRecoder::Finish(std::string& out) { Scan(true, out); }

void TextRecoder::Scan(bool final, std::string& out) {
  const Window w{reinterpret_cast<std::uint8_t*>(buf_.data()), base_, base_ + buf_.size()};
  std::uint64_t open = w.end;
  switch (kind_) {
    case DocumentKind::kUtf8Text:
      open = utf8_.Scan(w, final, map_, changed_);
      if (markup_.verdict == text_scan::MarkupStart::Verdict::kUndecided) {
        markup_.Scan(w, final);
        refs_.pos = markup_.pos;
      }
      if (markup_.verdict == text_scan::MarkupStart::Verdict::kYes)
        open = std::min(open, refs_.Scan(w, final, map_, changed_));
      break;
    case DocumentKind::kUtf16Text:
      if (base_ == 0 && !buf_.empty()) utf16_.big_endian = w[0] == 0xFE;
      open = utf16_.Scan(w, final, map_, changed_);
      break;
    case DocumentKind::kRtf:
      open = rtf_.Scan(w, final, map_, changed_);
      break;
    default:
      break;
  }
  const auto done = static_cast<std::size_t>(open - base_);
  out.append(buf_, 0, done);
  buf_.erase(0, done);
  base_ = open;
}

bool Utf8TextProbe::Feed(std::span<const std::uint8_t> bytes) {
  size_ += bytes.size();
  nuls_ += static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), std::uint8_t{0}));
  if (nuls_ > whole_size_ / 64) return false;
  return valid_.Feed({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

bool Utf8TextProbe::Finish() const { return size_ > 0 && valid_.Finish() && nuls_ * 64 <= size_; }

bool IsUtf8TextFile(InputFile& in, std::span<const std::uint8_t> head) {
  Utf8TextProbe probe(in.size());
  if (!probe.Feed(head)) return false;
  std::vector<std::uint8_t> buf(std::size_t{1} << 20);
  for (std::size_t n; (n = in.Read(buf.data(), buf.size())) > 0;)
    if (!probe.Feed({buf.data(), n})) return false;
  return probe.Finish();
}

MostlyUtf8 ProbeMostlyUtf8(InputFile& in) {
  MostlyUtf8 out;
  std::uint64_t letters = 0, units = 0, at = 0;  // `at`: the file offset of buf[0]
  std::vector<std::uint8_t> buf(std::size_t{1} << 20);
  std::size_t have = 0;
  for (;;) {
    const ssize_t r = ::pread(in.fd(), buf.data() + have, buf.size() - have, static_cast<off_t>(at + have));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw FileError(FileError::Kind::Read, in.path(), errno);
    const auto n = static_cast<std::size_t>(r);
    const bool last = n == 0;
    have += n;
    std::size_t i = 0;
    for (; i < have; ++i) {
      const std::uint8_t b = buf[i];
      if ((at + i) % 2 == 1 && b == 0x06) ++units;  // the high byte of a UTF-16LE unit of the block
      if (b < 0x80) continue;
      const std::size_t len = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
      if (len > 0 && i + len > have && !last) break;  // the rest comes with the next read
      std::size_t k = 1;
      while (len > 0 && k < len && i + k < have && (buf[i + k] & 0xC0) == 0x80) ++k;
      if (len == 0 || k < len) {
        if (out.malformed++ == 0) out.first_malformed = at + i;
        if (out.malformed * 100 > in.size()) return out;  // binary: no need to read on
        continue;
      }
      if (len == 2 && b >= 0xD8 && b <= 0xDB) ++letters;
      i += len - 1;
    }
    if (last) break;
    std::memmove(buf.data(), buf.data() + i, have - i);
    at += i;
    have -= i;
  }
  out.text = letters > 0 && letters >= units && out.malformed * 100 <= in.size();
  return out;
}

bool IsTextKind(DocumentKind kind) {
  return kind == DocumentKind::kUtf8Text || kind == DocumentKind::kUtf16Text || kind == DocumentKind::kRtf;
}

Handling TextHandling(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::kUtf8Text: return Handling::kUtf8Characters;
    case DocumentKind::kUtf16Text: return Handling::kUtf16Units;
    case DocumentKind::kRtf: return Handling::kRtfEscapes;
    default: return Handling::kNone;
  }
}

std::size_t RecodeTextStream(const fs::path& input, AtomicFileWriter& out, DocumentKind kind, int direction,
                             const std::function<void(double)>& progress, std::size_t piece) {
  TextRecoder recoder(kind, direction);
  InputFile in(input);
  // The work: every byte recoded and written, then read back.
  const double work = 2.0 * static_cast<double>(std::max<std::uint64_t>(in.size(), 1));
  auto report = [&](std::uint64_t done) {
    if (progress) progress(std::min(1.0, static_cast<double>(done) / work));
  };
  report(0);
  std::vector<std::uint8_t> buf(piece);
  std::string ready;
  std::uint64_t written = 0, read = 0;
  uLong crc = crc32(0, nullptr, 0);
  auto write = [&] {
    out.Write(ready.data(), ready.size());
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(ready.data()), ready.size());
    written += ready.size();
    ready.clear();
  };
  for (std::size_t n; (n = in.Read(buf.data(), buf.size())) > 0;) {
    recoder.Feed({buf.data(), n}, ready);
    write();
    read += n;
    report(read);
  }
  recoder.Finish(ready);
  write();

  // The written file must hold exactly what was written: read it back in pieces.
  InputFile back(out.temp_path());
  uLong back_crc = crc32(0, nullptr, 0);
  std::uint64_t back_size = 0;
  for (std::size_t n; (n = back.Read(buf.data(), buf.size())) > 0;) {
    back_crc = crc32_z(back_crc, buf.data(), n);
    back_size += n;
    report(read + std::min(back_size, read));
  }
  if (back_size != written || back_crc != crc)
    throw FileError(FileError::Kind::Write, out.target(),
                    FileError::Why::kCheckFailed, "the written file differs from the recoded document");
  return recoder.changed();
}

}  // namespace uy::formats
