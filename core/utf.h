// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between UTF-8 or UTF-16 bytes and UTF-16 text, for texts of any length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace uy {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16; every malformed sequence becomes U+FFFD and decoding goes on.
// The number of replacements is stored in *replaced when given.
std::u16string FromUtf8(std::string_view bytes, std::size_t* replaced = nullptr);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// The 16-bit units of UTF-16 bytes in either byte order, taken as they are (surrogates
// are not checked). out receives bytes.size() / 2 units, the number returned; an odd last
// byte is left over.
std::size_t DecodeUtf16Bytes(std::span<const std::uint8_t> bytes, bool big_endian, char16_t* out);
// The same for bytes held as chars, into a string.
std::u16string DecodeUtf16Bytes(std::string_view bytes, bool big_endian);
// The reverse, little-endian: writes 2 * units.size() bytes at out and returns the end.
char* EncodeUtf16Le(std::u16string_view units, char* out);

// Decoding of text read block by block: how much of a block was taken, how much written.
struct BlockDecoded {
  std::size_t taken;    // bytes
  std::size_t written;  // code units
};

// Strict UTF-8 of one block, in[0..n), to out, which has room for n units. A sequence cut
// by the end of the block is left for the next one unless `last`. Decoding stops at the
// first malformed sequence (overlong forms, surrogates and values above U+10FFFF
// included) and sets *bad; `taken` is then its offset in the block.
BlockDecoded DecodeUtf8Block(const std::uint8_t* in, std::size_t n, bool last, char16_t* out, bool* bad);

// Checks UTF-8 well-formedness of bytes that arrive in pieces; a sequence may be split
// anywhere between two pieces.
class Utf8Validator {
 public:
  // False once the bytes so far cannot be the start of well-formed UTF-8.
  bool Feed(std::string_view bytes);
  // True when everything fed is well-formed and no sequence is left incomplete.
  bool Finish() const { return ok_ && need_ == 0; }

 private:
  bool ok_ = true;
  int need_ = 0;             // continuation bytes still expected
  std::uint8_t lo_ = 0x80;   // range of the next continuation byte
  std::uint8_t hi_ = 0xBF;
};

namespace detail {
// The conversions above, done in pieces of at most `piece` code units or bytes (ICU
// takes 32-bit lengths); the pieces never split a character. `piece` is at least 4.
std::string ToUtf8(std::u16string_view text, std::size_t piece);
std::u16string FromUtf8(std::string_view bytes, std::size_t* replaced, std::size_t piece);
}  // namespace detail

}  // namespace uy
