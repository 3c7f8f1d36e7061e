// SPDX-License-Identifier: GPL-3.0-or-later
#include "utf.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <unicode/ustring.h>
#include <unicode/utf16.h>

namespace uy {
namespace {

// Pieces handed to ICU: their lengths, and three bytes of UTF-8 per unit, stay far below 2^31.
constexpr std::size_t kPiece = std::size_t{1} << 28;

[[noreturn]] void Fail(UErrorCode status) {
  throw std::runtime_error(std::string("UTF-8 conversion failed: ") + u_errorName(status));
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::size_t DecodeUtf16Bytes(std::span<const std::uint8_t> bytes, bool big_endian, char16_t* out) {
  const std::size_t units = bytes.size() / 2;
  const std::uint8_t* p = bytes.data();
  // One loop per byte order, so that each stays a plain loop the compiler can widen.
  if (big_endian) {
    for (std::size_t i = 0; i < units; ++i) out[i] = static_cast<char16_t>(p[2 * i] << 8 | p[2 * i + 1]);
  } else {
    for (std::size_t i = 0; i < units; ++i) out[i] = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
  }
  return units;
}

std::u16string DecodeUtf16Bytes(std::string_view bytes, bool big_endian) {
  std::u16string out(bytes.size() / 2, u'\0');
  DecodeUtf16Bytes({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, big_endian,
                   out.data());
  return out;
}

BlockDecoded DecodeUtf8Block(const std::uint8_t* in, std::size_t n, bool last, char16_t* out, bool* bad) {
  std::size_t i = 0;
  char16_t* o = out;
  while (i < n) {
    const unsigned c = in[i];
    if (c < 0x80) {
      // Eight ASCII bytes at a time, unless a lone one (a space between words) is seen.
      if (i + 8 <= n && in[i + 1] < 0x80) {
        std::uint64_t word;
        std::memcpy(&word, in + i, 8);
        if ((word & 0x8080808080808080ull) == 0) {
          for (int k = 0; k < 8; ++k) o[k] = in[i + k];
          o += 8;
          i += 8;
          continue;
        }
      }
      *o++ = static_cast<char16_t>(c);
      ++i;
      continue;
    }
    // Two-byte sequences (Arabic and Cyrillic letters among them) first, a word's worth in one loop.
    if (c >= 0xC2 && c < 0xE0 && i + 1 < n && (in[i + 1] & 0xC0) == 0x80) {
      do {
        *o++ = static_cast<char16_t>((in[i] & 0x1F) << 6 | (in[i + 1] & 0x3F));
        i += 2;
      } while (i + 1 < n && in[i] >= 0xC2 && in[i] < 0xE0 && (in[i + 1] & 0xC0) == 0x80);
      continue;
    }
    const std::size_t len = c >= 0xF5 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (len == 0) break;
    if (i + len > n) {
      if (last) break;
      *bad = false;
      return {i, static_cast<std::size_t>(o - out)};
    }
    std::uint32_t cp = c & (0x7F >> len);
    bool ok = true;
    for (std::size_t k = 1; k < len; ++k) {
      ok &= (in[i + k] & 0xC0) == 0x80;
      cp = cp << 6 | (in[i + k] & 0x3F);
    }
    if (!ok || (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) ||
        (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      break;
    if (cp >= 0x10000) {
      *o++ = static_cast<char16_t>(0xD7C0 + (cp >> 10));
      *o++ = static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    } else {
      *o++ = static_cast<char16_t>(cp);
    }
    i += len;
  }
  *bad = i < n;
  return {i, static_cast<std::size_t>(o - out)};
}

char* EncodeUtf16Le(std::u16string_view units, char* out) {
  for (const char16_t u : units) {
    *out++ = static_cast<char>(u & 0xFF);
    *out++ = static_cast<char>(u >> 8);
  }
  return out;
}

namespace detail {

std::string ToUtf8(std::u16string_view text, std::size_t piece) {
  std::string out;
  while (!text.empty()) {
    std::size_t n = std::min(text.size(), piece);
    // A surrogate pair stays in one piece.
    if (n < text.size() && n > 1 && U16_IS_LEAD(text[n - 1])) --n;
    const std::size_t at = out.size();
    out.resize(at + n * 3);
    int32_t len = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data() + at, static_cast<int32_t>(n * 3), &len,
                       reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(n), 0xFFFD,
                       nullptr, &status);
    if (U_FAILURE(status)) Fail(status);
    out.resize(at + static_cast<std::size_t>(len));
    text.remove_prefix(n);
  }
  return out;
}

std::u16string FromUtf8(std::string_view bytes, std::size_t* replaced, std::size_t piece) {
  std::u16string out;
  if (replaced) *replaced = 0;
  while (!bytes.empty()) {
    std::size_t n = std::min(bytes.size(), piece);
    // Cut before a byte that is not a continuation byte, so that no sequence, whole or
    // broken, spans two pieces. Four continuation bytes in a row cannot all belong to
    // one sequence: a cut after them is safe too.
    if (n < bytes.size()) {
      std::size_t cut = n;
      while (cut > 0 && n - cut < 3 && IsContinuation(bytes[cut])) --cut;
      if (cut > 0 && !IsContinuation(bytes[cut])) n = cut;
    }
    const std::size_t at = out.size();
    out.resize(at + n);  // never more units than bytes
    int32_t len = 0;
    int32_t subs = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data() + at), static_cast<int32_t>(n), &len,
                         bytes.data(), static_cast<int32_t>(n), 0xFFFD, &subs, &status);
    if (U_FAILURE(status)) Fail(status);
    out.resize(at + static_cast<std::size_t>(len));
    if (replaced) *replaced += static_cast<std::size_t>(subs);
    bytes.remove_prefix(n);
  }
  return out;
}

}  // namespace detail

std::string ToUtf8(std::u16string_view text) { return detail::ToUtf8(text, kPiece); }

std::u16string FromUtf8(std::string_view bytes, std::size_t* replaced) {
  return detail::FromUtf8(bytes, replaced, kPiece);
}

bool Utf8Validator::Feed(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (ok_ && i < n) {
    if (need_ == 0) {
      // Plain ASCII eight bytes at a time.
      while (i + 8 <= n) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080u) break;
        i += 8;
      }
      if (i == n) break;
      const unsigned char c = p[i++];
      if (c < 0x80) continue;
      lo_ = 0x80;
      hi_ = 0xBF;
      if (c >= 0xC2 && c <= 0xDF) {
        need_ = 1;
      } else if (c >= 0xE0 && c <= 0xEF) {
        need_ = 2;
        if (c == 0xE0) lo_ = 0xA0;  // no overlong forms
        if (c == 0xED) hi_ = 0x9F;  // no surrogates
      } else if (c >= 0xF0 && c <= 0xF4) {
        need_ = 3;
        if (c == 0xF0) lo_ = 0x90;
        if (c == 0xF4) hi_ = 0x8F;  // nothing past U+10FFFF
      } else {
        ok_ = false;
      }
    } else {
      const unsigned char c = p[i++];
      if (c < lo_ || c > hi_) {
        ok_ = false;
      } else {
        --need_;
        lo_ = 0x80;
        hi_ = 0xBF;
      }
    }
  }
  return ok_;
}

bool IsValidUtf8(std::string_view bytes) {
  Utf8Validator v;
  v.Feed(bytes);
  return v.Finish();
}

}  // namespace uy
