// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_file.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include <unistd.h>

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include "file_io.h"
#include "utf.h"

namespace uy::editor {
namespace {

namespace fs = std::filesystem;

// Substitutes U+FFFD like ICU's own callback and counts the substitutions.
void CountingSubstitute(const void* context, UConverterToUnicodeArgs* args, const char* units,
                        int32_t length, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason <= UCNV_IRREGULAR) ++*static_cast<std::size_t*>(const_cast<void*>(context));
  UCNV_TO_U_CALLBACK_SUBSTITUTE(nullptr, args, units, length, reason, err);
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

std::unique_ptr<UConverter, ConverterCloser> OpenCodePage936(std::size_t* replaced) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> conv(ucnv_open("windows-936", &status));
  if (U_FAILURE(status)) throw std::runtime_error(std::string("code page 936 unavailable: ") + u_errorName(status));
  ucnv_setToUCallBack(conv.get(), CountingSubstitute, replaced, nullptr, nullptr, &status);
  return conv;
}

// Appends the text of `bytes` in the code page the old files were written in; `last`
// ends the text (a sequence cut by the end of `bytes` waits in the converter otherwise).
void AppendCodePage936(UConverter* conv, std::string_view bytes, bool last, std::u16string& out) {
  const std::size_t base = out.size();
  out.resize(base + bytes.size() + 16);
  const char* src = bytes.data();
  const char* const src_end = src + bytes.size();
  std::size_t used = base;
  UErrorCode status = U_ZERO_ERROR;
  for (;;) {
    auto* target = reinterpret_cast<UChar*>(out.data() + used);
    auto* const target_end = reinterpret_cast<UChar*>(out.data() + out.size());
    status = U_ZERO_ERROR;
    ucnv_toUnicode(conv, &target, target_end, &src, src_end, nullptr, last, &status);
    used = static_cast<std::size_t>(reinterpret_cast<char16_t*>(target) - out.data());
    if (status != U_BUFFER_OVERFLOW_ERROR) break;
    out.resize(out.size() * 2);
  }
  if (U_FAILURE(status)) throw std::runtime_error(std::string("code page 936 conversion failed: ") + u_errorName(status));
  out.resize(used);
}

std::u16string FromCodePage936(std::string_view bytes, std::size_t* replaced) {
  const auto conv = OpenCodePage936(replaced);
  std::u16string out;
  AppendCodePage936(conv.get(), bytes, true, out);
  return out;
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Where UTF-8 that goes on after `bytes` may be cut so that no sequence, whole or broken,
// spans the cut: before the last byte that is not a continuation byte, if one of the last
// three is; else at the end (a sequence has at most three continuation bytes).
std::size_t Utf8Cut(std::string_view bytes) {
  for (std::size_t k = bytes.size(); k > 0 && bytes.size() - k < 3; --k)
    if (!IsContinuation(bytes[k - 1])) return k - 1;
  return bytes.size();
}

std::string FullPath(const fs::path& path) {
  std::error_code ec;
  fs::path full = fs::absolute(path, ec);
  return (ec ? path : full).string();
}

std::string MessageText(TextFileError::Message message, const std::string& full_path) {
  switch (message) {
    case TextFileError::Message::kCannotOpen: return "Cannot open file " + full_path;
    case TextFileError::Message::kCannotCreate: return "Cannot create file " + full_path;
    case TextFileError::Message::kStreamWrite: break;
  }
  return "Stream write error";
}

}  // namespace

TextFileError::TextFileError(Message message, std::string full_path, FileError cause)
    : std::runtime_error(MessageText(message, full_path)), message_(message),
      full_path_(std::move(full_path)), cause_(std::move(cause)) {}

CharacterSet AutoDetectCharacterSet(std::string_view bytes, std::size_t* text_start) {
  *text_start = 0;
  if (bytes.size() >= 2) {
    if (bytes[0] == '\xFF' && bytes[1] == '\xFE') {
      *text_start = 2;
      return CharacterSet::csUnicode;
    }
    if (bytes[0] == '\xFE' && bytes[1] == '\xFF') {
      *text_start = 2;
      return CharacterSet::csUnicodeSwapped;
    }
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    *text_start = 3;
    return CharacterSet::csUtf8;
  }
  return CharacterSet::csAnsi;
}

void AppendNormalisedLineBreaks(std::u16string_view text, bool* after_cr, std::u16string& out) {
  std::size_t copied = 0;  // text before this is in out
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n' && c != u'\u2028') {
      *after_cr = false;
      continue;
    }
    out.append(text.substr(copied, i - copied));
    copied = i + 1;
    if (c == u'\n' && *after_cr) {  // the LF of a CR LF
      *after_cr = false;
      continue;
    }
    *after_cr = c == u'\r';
    out += u"\r\n";
  }
  out.append(text.substr(copied));
}

std::u16string NormaliseLineBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 32);
  bool after_cr = false;
  AppendNormalisedLineBreaks(text, &after_cr, out);
  return out;
}

DecodedText DecodeTextFile(std::string_view bytes) {
  DecodedText result;
  std::size_t start = 0;
  result.charset = AutoDetectCharacterSet(bytes, &start);
  const std::string_view body = bytes.substr(start);
  std::u16string text;
  switch (result.charset) {
    case CharacterSet::csUnicode:
    case CharacterSet::csUnicodeSwapped:
      // an odd last byte is ignored
      text = DecodeUtf16Bytes(body, result.charset == CharacterSet::csUnicodeSwapped);
      result.odd_last_byte = body.size() % 2 != 0;
      break;
    case CharacterSet::csUtf8:
      text = FromUtf8(body, &result.replaced);
      break;
    case CharacterSet::csAnsi:
      // UTF-8 is the system code page here; anything else comes from the old systems.
      text = IsValidUtf8(body) ? FromUtf8(body) : FromCodePage936(body, &result.replaced);
      break;
  }
  result.text = NormaliseLineBreaks(text);
  result.lone_surrogates = CountLoneSurrogates(result.text);
  return result;
}

std::size_t CountLoneSurrogates(std::u16string_view text) {
  std::size_t lone = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0xD800 || c > 0xDFFF) continue;
    if (c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      ++i;  // a whole pair
    else
      ++lone;
  }
  return lone;
}

std::string EncodeTextFile(std::u16string_view text) {
  std::string out(2 + 2 * text.size(), '\0');
  out[0] = '\xFF';
  out[1] = '\xFE';
  EncodeUtf16Le(text, out.data() + 2);
  return out;
}

std::string TextFileError::Describe() const {
  std::string text = what();
  if (!full_path_.empty() && text.find(full_path_) == std::string::npos) text += ": " + full_path_;
  if (!reason().empty()) text += ": " + reason();
  return text;
}

DecodedText LoadFromFile(const fs::path& path) {
  std::string bytes;
  try {
    bytes = ReadWholeFile(path);
  } catch (const FileError& e) {
    throw TextFileError(TextFileError::Message::kCannotOpen, FullPath(path), e);
  }
  return DecodeTextFile(bytes);
}

void SaveToFile(const fs::path& path, std::u16string_view text) {
  const std::string bytes = EncodeTextFile(text);
  try {
    AtomicFileWriter out(path);
    out.Write(bytes.data(), bytes.size());
    out.Commit();
  } catch (const FileError& e) {
    if (e.kind() == FileError::Kind::Write) throw TextFileError(TextFileError::Message::kStreamWrite, FullPath(path), e);
    throw TextFileError(TextFileError::Message::kCannotCreate, FullPath(path), e);
  }
}

struct TextFileReader::State {
  InputFile in;
  std::size_t piece_bytes;
  CharacterSet charset = CharacterSet::csAnsi;
  bool utf8 = false;                // else code page 936, for csAnsi
  std::unique_ptr<UConverter, ConverterCloser> cp936;
  std::string bytes;                // read, not yet decoded (the start of a cut sequence)
  std::u16string units;             // decoded, not yet normalised
  std::u16string held;              // a high surrogate that waits for its other half
  bool after_cr = false;
  bool at_end = false;              // the whole file is read
  bool done = false;                // and decoded
  bool odd_last_byte = false;
  std::size_t replaced = 0;

  State(const fs::path& path, std::size_t piece) : in(path), piece_bytes(std::max<std::size_t>(piece, 4)) {}

  // Reads up to a piece more; true when that was the last.
  bool ReadPiece() {
    const std::size_t base = bytes.size();
    bytes.resize(base + piece_bytes);
    bytes.resize(base + in.Read(bytes.data() + base, piece_bytes));
    return bytes.size() - base < piece_bytes;
  }

  // Decodes what was read into `units`, keeping back a sequence that may go on unless last.
  void Decode(bool last) {
    units.clear();
    std::size_t used = bytes.size();
    switch (charset) {
      case CharacterSet::csUnicode:
      case CharacterSet::csUnicodeSwapped:
        used &= ~std::size_t{1};  // an odd last byte is ignored
        units = DecodeUtf16Bytes(std::string_view(bytes).substr(0, used), charset == CharacterSet::csUnicodeSwapped);
        if (last) {
          odd_last_byte = used != bytes.size();
          used = bytes.size();
        }
        break;
      case CharacterSet::csUtf8:
      case CharacterSet::csAnsi: {
        if (charset == CharacterSet::csAnsi && !utf8) {
          AppendCodePage936(cp936.get(), bytes, last, units);
          break;
        }
        if (!last) used = Utf8Cut(bytes);
        std::size_t subs = 0;
        units = FromUtf8(std::string_view(bytes).substr(0, used), &subs);
        replaced += subs;
        break;
      }
    }
    bytes.erase(0, used);
  }
};

TextFileReader::TextFileReader(const fs::path& path, std::size_t piece_bytes) {
  try {
    st_ = std::make_unique<State>(path, piece_bytes);
    State& st = *st_;
    st.at_end = st.ReadPiece();
    std::size_t start = 0;
    st.charset = AutoDetectCharacterSet(st.bytes, &start);
    st.bytes.erase(0, start);
    if (st.charset != CharacterSet::csAnsi) return;
    // UTF-8 is the system code page here; anything else comes from the old systems.
    Utf8Validator valid;
    valid.Feed(st.bytes);
    std::string block(st.piece_bytes, '\0');
    for (bool more = !st.at_end; more;) {
      const std::size_t n = st.in.Read(block.data(), block.size());
      more = valid.Feed(std::string_view(block.data(), n)) && n == block.size();
    }
    st.utf8 = valid.Finish();
    if (!st.utf8) st.cp936 = OpenCodePage936(&st.replaced);
    if (!st.at_end) {
      if (::lseek(st.in.fd(), 0, SEEK_SET) != 0) throw FileError(FileError::Kind::Read, path, ErrnoText(errno));
      st.bytes.clear();
    }
  } catch (const FileError& e) {
    throw TextFileError(TextFileError::Message::kCannotOpen, FullPath(path), e);
  }
}

TextFileReader::~TextFileReader() = default;

CharacterSet TextFileReader::charset() const { return st_->charset; }
std::size_t TextFileReader::replaced() const { return st_->replaced; }
bool TextFileReader::odd_last_byte() const { return st_->odd_last_byte; }

bool TextFileReader::Next(std::u16string& piece) {
  State& st = *st_;
  piece.clear();
  piece.swap(st.held);
  for (;;) {
    if (!st.done) {
      try {
        if (!st.at_end) st.at_end = st.ReadPiece();
        st.Decode(st.at_end);
      } catch (const FileError& e) {
        throw TextFileError(TextFileError::Message::kCannotOpen, FullPath(e.path()), e);
      }
      st.done = st.at_end;
      AppendNormalisedLineBreaks(st.units, &st.after_cr, piece);
    }
    // A high surrogate at the end waits for the unit after it.
    const bool hold = !st.done && !piece.empty() && (piece.back() & 0xFC00) == 0xD800;
    if (hold && piece.size() == 1) continue;
    if (hold) {
      st.held.assign(1, piece.back());
      piece.pop_back();
    }
    if (!piece.empty() || st.done) return !piece.empty();
  }
}

}  // namespace uy::editor
