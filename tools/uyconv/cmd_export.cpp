// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "commands.h"
#include "file_io.h"
#include "utf.h"
#include "visual.h"

namespace uyconv {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

// A growable array of trivially copyable units that is never zero-filled.
template <typename T>
class Buffer {
 public:
  T* data() { return data_.get(); }
  std::size_t size() const { return size_; }
  // Room for n more units after size(); returns where they go.
  T* Reserve(std::size_t n) {
    if (size_ + n > capacity_) {
      const std::size_t capacity = std::max(size_ + n, capacity_ * 2);
      std::unique_ptr<T[]> grown(new T[capacity]);
      if (size_ != 0) std::memcpy(grown.get(), data_.get(), size_ * sizeof(T));
      data_ = std::move(grown);
      capacity_ = capacity;
    }
    return data_.get() + size_;
  }
  void Grow(std::size_t n) { size_ += n; }
  void Resize(std::size_t n) { size_ = n; }
  // Drops the first n units.
  void Consume(std::size_t n) {
    if (n != 0 && n < size_) std::memmove(data_.get(), data_.get() + n, (size_ - n) * sizeof(T));
    size_ -= std::min(n, size_);
  }

 private:
  std::unique_ptr<T[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

class InputError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Standard output failed: reported once, by main, as a write error.
struct OutputFailed {};

// The bytes of a named regular file or of standard input, block by block.
class Source {
 public:
  explicit Source(const std::optional<std::string>& file) {
    if (file) {
      file_.emplace(*file);
      name_ = *file;
    } else {
      name_ = "standard input";
    }
  }
  const std::string& name() const { return name_; }
  // Up to n bytes; 0 only at the end.
  std::size_t Read(char* buf, std::size_t n) {
    if (file_) return file_->Read(buf, n);
    for (;;) {
      const ssize_t r = ::read(STDIN_FILENO, buf, n);
      if (r >= 0) return static_cast<std::size_t>(r);
      if (errno != EINTR) throw InputError("cannot read standard input: " + uy::ErrnoText(errno));
    }
  }

 private:
  std::optional<uy::InputFile> file_;
  std::string name_;
};

// The UTF-8 of U+FB00..U+FFFF, where the presentation forms that make most of an export
// lie: three bytes and a spare, so that one four-byte copy writes a unit (the next unit
// or the line's end overwrites the spare).
struct Utf8Of3 {
  char bytes[4];
};

constexpr std::array<Utf8Of3, 0x500> BuildHighUtf8() {
  std::array<Utf8Of3, 0x500> t{};
  for (std::uint32_t k = 0; k < t.size(); ++k) {
    const std::uint32_t u = 0xFB00 + k;
    t[k] = {{static_cast<char>(0xE0 | u >> 12), static_cast<char>(0x80 | (u >> 6 & 0x3F)),
             static_cast<char>(0x80 | (u & 0x3F)), 0}};
  }
  return t;
}

constexpr std::array<Utf8Of3, 0x500> kHighUtf8 = BuildHighUtf8();

// False when none of the four units at p is a line break, whose units are all below
// U+000E or U+2028 (true may also come from a few other units, which are then checked one
// by one). Each 16-bit lane is tested for "below 14" and "equal to U+2028" with the
// borrow of a subtraction; a lane with its top bit set never counts, and is no break.
bool MayHoldBreak(const char16_t* p) {
  constexpr std::uint64_t kOnes = 0x0001000100010001ull, kTops = 0x8000800080008000ull;
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  const std::uint64_t ls = w ^ (kOnes * 0x2028);
  return ((((w - kOnes * 0x000E) & ~w) | ((ls - kOnes) & ~ls)) & kTops) != 0;
}

// Export lines go to standard output in blocks of about a megabyte.
class Sink {
 public:
  explicit Sink(bool utf16) : utf16_(utf16) {}

  void Line(std::u16string_view line) {
    char* o = bytes_.Reserve(line.size() * 3 + 4);
    if (utf16_) {
      o = uy::EncodeUtf16Le(line, o);
      std::memcpy(o, "\r\0\n\0", 4);
      o += 4;
    } else {
      const std::size_t n = line.size();
      for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t u = line[i];
        if (u >= 0xFB00) {
          std::memcpy(o, kHighUtf8[u - 0xFB00].bytes, 4);
          o += 3;
        } else if (u >= 0xE000 || (u >= 0x800 && u < 0xD800)) {
          *o++ = static_cast<char>(0xE0 | u >> 12);
          *o++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
          *o++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0x80) {
          *o++ = static_cast<char>(u);
        } else if (u < 0x800) {
          *o++ = static_cast<char>(0xC0 | u >> 6);
          *o++ = static_cast<char>(0x80 | (u & 0x3F));
        } else {  // a surrogate
          if (u < 0xDC00 && i + 1 < n && line[i + 1] >= 0xDC00 && line[i + 1] < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (line[++i] - 0xDC00);
            *o++ = static_cast<char>(0xF0 | u >> 18);
            *o++ = static_cast<char>(0x80 | (u >> 12 & 0x3F));
          } else {
            u = 0xFFFD;  // an unpaired surrogate
            *o++ = static_cast<char>(0xE0 | u >> 12);
          }
          *o++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
          *o++ = static_cast<char>(0x80 | (u & 0x3F));
        }
      }
      *o++ = '\n';
    }
    bytes_.Resize(static_cast<std::size_t>(o - bytes_.data()));
    if (bytes_.size() >= kBlock) Flush();
  }

  // Writes what is buffered; a failed standard output stops the export.
  void Flush() {
    const bool ok = std::fwrite(bytes_.data(), 1, bytes_.size(), stdout) == bytes_.size();
    bytes_.Resize(0);
    if (!ok) throw OutputFailed();
  }

 private:
  bool utf16_;
  Buffer<char> bytes_;
};

// Reads the whole input block by block and exports every complete line as it arrives.
// Hard lines: breaks are LF, CR LF, a lone CR and U+2028; a break at the very end does
// not open another line, and an empty text has no lines. ".uyt" files and other UTF-16
// with its mark are read as such (an odd last byte ignored); everything else is UTF-8 (a
// leading mark skipped), and malformed UTF-8 stops the export with an error.
void Export(Source& source, Sink& sink) {
  Buffer<char> raw;           // bytes read and not yet decoded
  Buffer<char16_t> text;      // decoded units not yet exported (a line's beginning)
  std::u16string visual;
  std::uint64_t offset = 0;   // input bytes before raw
  bool skip_lf = false;       // the last break was a CR
  std::size_t scanned = 0;    // text[0..scanned) holds no break
  enum class Kind { kUnknown, kUtf8, kUtf16Le, kUtf16Be } kind = Kind::kUnknown;

  auto export_lines = [&](bool last) {
    char16_t* t = text.data();
    const std::size_t n = text.size();
    std::size_t start = 0;
    for (std::size_t i = scanned; i < n; ++i) {
      while (i + 4 <= n && !MayHoldBreak(t + i)) i += 4;
      if (i == n) break;
      const char16_t c = t[i];
      if (c > u'\r' && c != u'\u2028') continue;
      if (c != u'\n' && c != u'\r' && c != u'\u2028') continue;
      if (skip_lf && c == u'\n' && i == start) {
        skip_lf = false;
        start = i + 1;
        continue;
      }
      visual.clear();
      uy::exporter::AppendVisualLine(std::u16string_view(t + start, i - start), visual);
      sink.Line(visual);
      skip_lf = c == u'\r';
      start = i + 1;
    }
    if (start < n) skip_lf = false;
    if (last && start < n) {
      visual.clear();
      uy::exporter::AppendVisualLine(std::u16string_view(t + start, n - start), visual);
      sink.Line(visual);
      start = n;
    }
    text.Consume(start);
    scanned = text.size();
  };

  for (bool last = false; !last;) {
    const std::size_t got = source.Read(raw.Reserve(kBlock), kBlock);
    raw.Grow(got);
    last = got == 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data());
    std::size_t n = raw.size();
    std::size_t taken = 0;
    if (kind == Kind::kUnknown) {
      if (n < 3 && !last) continue;
      if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) kind = Kind::kUtf16Le, taken = 2;
      else if (n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) kind = Kind::kUtf16Be, taken = 2;
      else if (n >= 3 && std::memcmp(bytes, "\xEF\xBB\xBF", 3) == 0) kind = Kind::kUtf8, taken = 3;
      else kind = Kind::kUtf8;
    }
    char16_t* out = text.Reserve(n - taken);
    if (kind == Kind::kUtf8) {
      bool bad = false;
      const uy::BlockDecoded d = uy::DecodeUtf8Block(bytes + taken, n - taken, last, out, &bad);
      text.Grow(d.written);
      taken += d.taken;
      if (bad) {
        throw InputError(source.name() + ": not valid UTF-8 text (a malformed sequence at byte " +
                         std::to_string(offset + taken) + ")");
      }
    } else {
      const std::size_t units = uy::DecodeUtf16Bytes({bytes + taken, n - taken}, kind == Kind::kUtf16Be, out);
      text.Grow(units);
      taken += 2 * units;
      // As the editor reads it: the byte is left out, with a warning.
      if (last && taken < n)
        Error("warning: " + source.name() + ": the last byte, at " + std::to_string(offset + taken) +
              ", is half a UTF-16 unit; it is left out");
    }
    offset += taken;
    raw.Consume(taken);
    export_lines(last);
  }
}

}  // namespace

int RunExport(const Args& args) {
  bool utf16 = false;
  std::optional<std::string> file;
  bool options_done = false;
  for (const std::string& a : args) {
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && (a == "--help" || a == "-h")) {
      return PrintUsage("export");
    } else if (!options_done && a == "--utf16") {
      utf16 = true;
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      return UsageError("export: unknown option '" + a + "'");
    } else if (file) {
      return UsageError("export: more than one input file given");
    } else if (a != "-") {
      file = a;
    }
  }

  try {
    Source source(file);
    Sink sink(utf16);
    Export(source, sink);
    sink.Flush();
  } catch (const OutputFailed&) {
    return 1;
  } catch (const std::bad_alloc&) {
    Error("export: " + (file ? *file : std::string("standard input")) + ": out of memory (a line too long?)");
    return 1;
  } catch (const std::exception& e) {
    Error("export: " + std::string(e.what()));
    return 1;
  }
  // A failed standard output is reported once, by main, as a write error.
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace uyconv
