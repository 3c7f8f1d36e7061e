// SPDX-License-Identifier: GPL-3.0-or-later
#include "text_file.h"

#include <memory>

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

// The code page the old files were written in.
std::u16string FromCodePage936(std::string_view bytes, std::size_t* replaced) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> conv(ucnv_open("windows-936", &status));
  if (U_FAILURE(status)) throw std::runtime_error(std::string("code page 936 unavailable: ") + u_errorName(status));
  ucnv_setToUCallBack(conv.get(), CountingSubstitute, replaced, nullptr, nullptr, &status);
  std::u16string out(bytes.size() + 16, u'\0');
  const char* src = bytes.data();
  const char* const src_end = src + bytes.size();
  std::size_t used = 0;
  for (;;) {
    auto* target = reinterpret_cast<UChar*>(out.data() + used);
    auto* const target_end = reinterpret_cast<UChar*>(out.data() + out.size());
    status = U_ZERO_ERROR;
    ucnv_toUnicode(conv.get(), &target, target_end, &src, src_end, nullptr, true, &status);
    used = static_cast<std::size_t>(reinterpret_cast<char16_t*>(target) - out.data());
    if (status != U_BUFFER_OVERFLOW_ERROR) break;
    out.resize(out.size() * 2);
  }
  if (U_FAILURE(status)) throw std::runtime_error(std::string("code page 936 conversion failed: ") + u_errorName(status));
  out.resize(used);
  return out;
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

std::u16string NormaliseLineBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 32);
  std::size_t copied = 0;  // text before this is in out
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n' && c != u'\u2028') continue;
    out.append(text.substr(copied, i - copied));
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    out += u"\r\n";
    copied = i + 1;
  }
  out.append(text.substr(copied));
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
    if (e.kind() == FileError::Kind::Write)
      throw TextFileError(TextFileError::Message::kStreamWrite, FullPath(path), e);
    throw TextFileError(TextFileError::Message::kCannotCreate, FullPath(path), e);
  }
}

}  // namespace uy::editor
