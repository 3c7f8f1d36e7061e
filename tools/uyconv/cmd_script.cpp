// SPDX-License-Identifier: GPL-3.0-or-later
// uyconv script: text files between the Uyghur scripts, block by block in bounded memory.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "docscript.h"
#include "file_io.h"
#include "script.h"

namespace uyconv {
namespace {

namespace sc = uy::script;
namespace ds = uy::docscript;

constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr std::size_t kSniff = std::size_t{4} << 20;  // the text the script is told from

// A file that failed: the message names it; the run goes on with the next one.
class FileFailure : public std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct OutputFailed {};

class Source {
 public:
  explicit Source(const std::string& path) : name_(path == "-" ? "standard input" : path) {
    if (path != "-") file_.emplace(path);
  }
  const std::string& name() const { return name_; }
  std::size_t Read(char* buf, std::size_t n) {
    if (file_) return file_->Read(buf, n);
    for (;;) {
      const ssize_t r = ::read(STDIN_FILENO, buf, n);
      if (r >= 0) return static_cast<std::size_t>(r);
      if (errno != EINTR) throw FileFailure("cannot read standard input: " + uy::ErrnoText(errno));
    }
  }
  // Fills buf up to n bytes, fewer only at the end.
  std::size_t ReadFull(char* buf, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
      const std::size_t r = Read(buf + got, n - got);
      if (r == 0) break;
      got += r;
    }
    return got;
  }

 private:
  std::optional<uy::InputFile> file_;
  std::string name_;
};

// Where the converted bytes go: standard output, or the -o file written whole or not at all.
class Sink {
 public:
  explicit Sink(const std::optional<std::string>& path) {
    if (path) file_ = std::make_unique<uy::AtomicFileWriter>(*path);
  }
  void Write(const char* p, std::size_t n) {
    if (n == 0) return;
    if (file_) file_->Write(p, n);
    else if (std::fwrite(p, 1, n, stdout) != n) throw OutputFailed();
  }
  void Commit() {
    if (file_) file_->Commit();
  }

 private:
  std::unique_ptr<uy::AtomicFileWriter> file_;
};

// Decodes UTF-8 [in, in+n) appending to out; a sequence cut by the end stays for the next
// block unless `last`. Returns the bytes taken; *bad at the first malformed sequence.
std::size_t DecodeUtf8(const unsigned char* in, std::size_t n, bool last, std::u16string& out, bool* bad) {
  const std::size_t old = out.size();
  out.resize(old + n);
  char16_t* o = out.data() + old;
  std::size_t i = 0;
  *bad = false;
  while (i < n) {
    const unsigned c = in[i];
    if (c < 0x80) {
      if (i + 8 <= n) {
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
    if (c >= 0xC2 && c < 0xE0 && i + 1 < n && (in[i + 1] & 0xC0) == 0x80) {
      do {
        *o++ = static_cast<char16_t>((in[i] & 0x1F) << 6 | (in[i + 1] & 0x3F));
        i += 2;
      } while (i + 1 < n && in[i] >= 0xC2 && in[i] < 0xE0 && (in[i + 1] & 0xC0) == 0x80);
      continue;
    }
    const std::size_t len = c >= 0xF5 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (len == 0) {
      *bad = true;
      break;
    }
    if (i + len > n) {
      // A cut sequence: malformed already when its bytes so far cannot start one.
      bool ok = true;
      for (std::size_t k = i + 1; k < n; ++k) ok &= (in[k] & 0xC0) == 0x80;
      if (len >= 3 && i + 1 < n) {
        const unsigned c1 = in[i + 1];
        ok &= !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0) && !(c == 0xF0 && c1 < 0x90) &&
              !(c == 0xF4 && c1 >= 0x90);
      }
      *bad = last || !ok;
      break;
    }
    std::uint32_t cp = c & (0x7F >> len);
    bool ok = true;
    for (std::size_t k = 1; k < len; ++k) {
      ok &= (in[i + k] & 0xC0) == 0x80;
      cp = cp << 6 | (in[i + k] & 0x3F);
    }
    if (!ok || (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) ||
        (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
      *bad = true;
      break;
    }
    if (cp >= 0x10000) {
      *o++ = static_cast<char16_t>(0xD7C0 + (cp >> 10));
      *o++ = static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    } else {
      *o++ = static_cast<char16_t>(cp);
    }
    i += len;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return i;
}

// UTF-16 bytes in either order; surrogates must pair. Returns the bytes taken (a unit or a
// high surrogate cut by the end waits for the next block unless `last`).
std::size_t DecodeUtf16(const unsigned char* in, std::size_t n, bool big, bool last, std::u16string& out,
                        bool* bad) {
  *bad = false;
  const std::size_t units = n / 2;
  const std::size_t old = out.size();
  out.resize(old + units);
  char16_t* o = out.data() + old;
  std::size_t k = 0;
  for (; k < units; ++k) {
    const char16_t u = big ? static_cast<char16_t>(in[2 * k] << 8 | in[2 * k + 1])
                           : static_cast<char16_t>(in[2 * k + 1] << 8 | in[2 * k]);
    if (u >= 0xD800 && u < 0xE000) {
      if (u >= 0xDC00) {
        *bad = true;
        break;
      }
      if (k + 1 == units) {
        *bad = last;
        break;
      }
      const char16_t v = big ? static_cast<char16_t>(in[2 * k + 2] << 8 | in[2 * k + 3])
                             : static_cast<char16_t>(in[2 * k + 3] << 8 | in[2 * k + 2]);
      if (v < 0xDC00 || v >= 0xE000) {
        *bad = true;
        break;
      }
      o[k] = u;
      o[++k] = v;
      continue;
    }
    o[k] = u;
  }
  if (!*bad && last && k == units && n % 2 == 1) *bad = true, k = units;  // an odd last byte
  out.resize(old + k);
  return 2 * k;
}

void EncodeUtf8(std::u16string_view t, std::string& out) {
  const std::size_t old = out.size();
  out.resize(old + t.size() * 3);
  char* o = out.data() + old;
  const std::size_t n = t.size();
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t u = t[i];
    if (u < 0x80) {
      *o++ = static_cast<char>(u);
    } else if (u < 0x800) {
      *o++ = static_cast<char>(0xC0 | u >> 6);
      *o++ = static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0xD800 || u >= 0xE000) {
      *o++ = static_cast<char>(0xE0 | u >> 12);
      *o++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
      *o++ = static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0xDC00 && i + 1 < n && t[i + 1] >= 0xDC00 && t[i + 1] < 0xE000) {
      u = 0x10000 + ((u - 0xD800) << 10) + (t[++i] - 0xDC00);
      *o++ = static_cast<char>(0xF0 | u >> 18);
      *o++ = static_cast<char>(0x80 | (u >> 12 & 0x3F));
      *o++ = static_cast<char>(0x80 | (u >> 6 & 0x3F));
      *o++ = static_cast<char>(0x80 | (u & 0x3F));
    } else {  // never: the input's surrogates are checked and the converter keeps them paired
      *o++ = '\xEF', *o++ = '\xBF', *o++ = '\xBD';
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
}

void EncodeUtf16(std::u16string_view t, bool big, std::string& out) {
  const std::size_t old = out.size();
  out.resize(old + t.size() * 2);
  char* o = out.data() + old;
  for (const char16_t u : t) {
    *o++ = static_cast<char>(big ? u >> 8 : u & 0xFF);
    *o++ = static_cast<char>(big ? u & 0xFF : u >> 8);
  }
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return s;
}

// A document this command does not convert (yet), or nothing.
std::optional<std::string> DocumentKind(const std::string& path, std::string_view head, std::u16string_view text) {
  if (head.substr(0, 4) == std::string_view("PK\x03\x04", 4) || head.substr(0, 4) == std::string_view("PK\x05\x06", 4))
    return "a zip container (an office document or archive); give a document as a file, alone, with -o OUT";
  if (head.substr(0, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
    return *ds::Refusal(ds::DocumentType::kBinaryOffice);
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) ++i;
  std::string start;
  for (std::size_t k = i; k < text.size() && k < i + 16; ++k) start += static_cast<char>(text[k] < 0x80 ? text[k] : '?');
  start = Lower(start);
  if (start.rfind("{\\rtf", 0) == 0) return "rich text (RTF)";
  if (start.rfind("<!doctype html", 0) == 0 || start.rfind("<html", 0) == 0 || start.rfind("<head", 0) == 0 ||
      start.rfind("<body", 0) == 0)
    return "an HTML page";
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  if (ext == ".html" || ext == ".htm" || ext == ".xhtml") return "an HTML page";
  return std::nullopt;
}

struct Settings {
  std::optional<sc::Script> from;
  sc::Script to = sc::Script::Uly;
  bool e_acute = false, wrap = true;
  const sc::WordList* words = nullptr;
};

// A text file's bytes, decoded block by block: UTF-8 with or without its mark, UTF-16 with
// its mark. Documents are refused before any of it is taken as text.
class TextInput {
 public:
  explicit TextInput(const std::string& path) : src_(path) {
    raw_.resize(kSniff);
    raw_.resize(src_.ReadFull(raw_.data(), raw_.size()));
    at_end_ = raw_.size() < kSniff;
    if (raw_.rfind("\xEF\xBB\xBF", 0) == 0) mark_ = 3;
    else if (raw_.rfind("\xFF\xFE", 0) == 0) mark_ = 2, utf16_ = true;
    else if (raw_.rfind("\xFE\xFF", 0) == 0) mark_ = 2, utf16_ = big_ = true;
    std::u16string head;
    bool bad = false;
    const auto* p = reinterpret_cast<const unsigned char*>(raw_.data()) + mark_;
    const std::size_t n = std::min<std::size_t>(raw_.size() - mark_, 256);
    if (utf16_) DecodeUtf16(p, n, big_, false, head, &bad);
    else DecodeUtf8(p, n, false, head, &bad);
    if (const auto kind = DocumentKind(path, raw_, head))
      throw FileFailure(name() + ": " + *kind + "; 'uyconv script' converts plain text files and .docx, .xlsx and .pptx documents only");
    pos_ = offset_ = mark_;
  }
  const std::string& name() const { return src_.name(); }
  std::string_view mark() const { return std::string_view(raw_).substr(0, mark_); }
  bool utf16() const { return utf16_; }
  bool big_endian() const { return big_; }

  // Appends the text of the bytes read so far to `text`; false when the input has no more.
  bool Next(std::u16string& text) {
    if (!first_) {
      if (at_end_) return false;
      raw_.erase(0, pos_);
      pos_ = 0;
      const std::size_t have = raw_.size();
      raw_.resize(have + kBlock);
      const std::size_t got = src_.ReadFull(raw_.data() + have, kBlock);
      raw_.resize(have + got);
      at_end_ = got < kBlock;
    }
    first_ = false;
    bool bad = false;
    const auto* p = reinterpret_cast<const unsigned char*>(raw_.data()) + pos_;
    const std::size_t n = raw_.size() - pos_;
    const std::size_t used =
        utf16_ ? DecodeUtf16(p, n, big_, at_end_, text, &bad) : DecodeUtf8(p, n, at_end_, text, &bad);
    if (bad) {
      const std::string what = utf16_ ? "malformed UTF-16" : mark_ ? "malformed UTF-8" : "not valid UTF-8";
      throw FileFailure(name() + ": " + what + " at byte " + std::to_string(offset_ + used));
    }
    pos_ += used;
    offset_ += used;
    return true;
  }

 private:
  Source src_;
  std::string raw_;
  std::size_t pos_ = 0, mark_ = 0;
  std::uint64_t offset_ = 0;  // input bytes before raw_[pos_]
  bool utf16_ = false, big_ = false, at_end_ = false, first_ = true;
};

// The conversion for a text whose start is `text`: --from, or the script its letters tell.
sc::Options OptionsFor(const Settings& set, std::u16string_view text, const std::string& name) {
  sc::Options options;
  options.to = set.to;
  options.e_acute = set.e_acute;
  options.wrap = set.wrap;
  options.words = set.words;
  if (set.from) {
    options.from = *set.from;
  } else {
    const sc::Detection d = sc::DetectScript(text);
    if (!d.script) {
      if (d.arabic + d.latin + d.cyrillic == 0)
        throw FileFailure(name + ": no letters to tell the script from; give --from");
      throw FileFailure(name + ": no script clearly leads (" + std::to_string(d.arabic) + " Arabic, " +
                        std::to_string(d.latin) + " Latin, " + std::to_string(d.cyrillic) +
                        " Cyrillic letters); give --from");
    }
    options.from = *d.script;
    if (d.assumed && set.to != sc::Script::Uly)
      Error(name + ": Latin without a letter only ULY or the New Script has: taken as ULY (give --from uyy "
                   "for the New Script)");
  }
  if (options.from == options.to)
    throw FileFailure(name + ": the text is in " + std::string(sc::Name(options.to)) + " already");
  return options;
}

// Converts one input to the sink, keeping its encoding and mark. Throws FileFailure naming it.
void ConvertOne(const std::string& path, const Settings& set, Sink& sink) {
  TextInput input(path);
  std::u16string text, out;
  input.Next(text);  // the first 4 MB: enough to tell the script
  sc::Converter converter(OptionsFor(set, text, input.name()));
  std::string bytes(input.mark());
  auto emit = [&] {
    if (input.utf16()) EncodeUtf16(out, input.big_endian(), bytes);
    else EncodeUtf8(out, bytes);
    out.clear();
    sink.Write(bytes.data(), bytes.size());
    bytes.clear();
  };
  do {
    converter.Feed(text, out, nullptr);
    text.clear();
    emit();
  } while (input.Next(text));
  converter.Finish(out, nullptr);
  emit();
}

// The office document of a file (nothing for text files and what cannot be read: the text
// path reports those).
std::optional<ds::DocumentType> DocumentOf(const std::string& path) {
  if (path == "-") return std::nullopt;
  try {
    const ds::DocumentType t = ds::TypeOf(path);
    if (t == ds::DocumentType::kNone) return std::nullopt;
    return t;
  } catch (const uy::FileError&) {
    return std::nullopt;
  }
}

// An office document, converted into a file of its own.
int ConvertDocumentFile(const std::string& path, ds::DocumentType type, const std::vector<std::string>& files,
                        const std::optional<std::string>& output, const Settings& set) {
  // A zip archive that did not open as a document gets its reason from the conversion.
  if (const auto why = ds::Refusal(type); why && type != ds::DocumentType::kOtherZip) {
    Error(path + ": " + *why);
    return 1;
  }
  if (files.size() != 1 || !output) {
    Error(path + ": an office document is converted into a file of its own: give it alone, with -o OUT");
    return 1;
  }
  ds::ConvertOptions options{set.from, set.to, set.e_acute, set.wrap, set.words};
  try {
    const ds::ConvertSummary s = ds::ConvertDocument(path, *output, options);
    if (s.assumed && set.to != sc::Script::Uly)
      Error(path + ": Latin without a letter only ULY or the New Script has: taken as ULY (give --from uyy "
                   "for the New Script)");
    if (s.runs_changed == 0)
      Error(path + ": unchanged: no text in it was converted from " + std::string(sc::Name(s.from)));
  } catch (const uy::FileError& e) {
    Error(e.what());
    return 1;
  }
  return 0;
}

struct Request {
  Settings set;
  std::vector<std::string> files, word_files;
  std::optional<std::string> output;
};

// Reads the arguments into `r`; returns -1, or the exit status of --help or a usage error.
int ParseArgs(const Args& args, Request& r) {
  bool to_given = false, options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    if (options_done || a == "-" || a.empty() || a[0] != '-') {
      r.files.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    std::optional<std::string> value;
    if (const std::size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a.resize(eq);
    }
    auto take = [&]() -> std::optional<std::string> {
      if (value) return value;
      if (i + 1 == args.size()) return std::nullopt;
      return args[++i];
    };
    if (a == "--help" || a == "-h") return PrintUsage("script");
    if (a == "--from" || a == "--to") {
      const auto v = take();
      if (!v) return UsageError("script: " + a + " needs a script: uey, uly, uky or uyy");
      const auto s = sc::ParseScript(*v);
      if (!s) return UsageError("script: " + a + " takes uey, uly, uky or uyy, not '" + *v + "'");
      if (a == "--from") r.set.from = *s;
      else r.set.to = *s, to_given = true;
    } else if (a == "--words" || a == "-o" || a == "--output") {
      const auto v = take();
      if (!v) return UsageError("script: " + a + " needs a file");
      if (a == "--words") r.word_files.push_back(*v);
      else r.output = *v;
    } else if (a == "--e-acute" && !value) {
      r.set.e_acute = true;
    } else if (a == "--no-wrap" && !value) {
      r.set.wrap = false;
    } else {
      return UsageError("script: unknown option '" + args[i] + "'");
    }
  }
  if (!to_given) return UsageError("script: give the script to convert to with --to");
  if (r.set.from && *r.set.from == r.set.to) return UsageError("script: --from and --to are the same script");
  if (r.set.e_acute && r.set.to != sc::Script::Uly) return UsageError("script: --e-acute goes with --to uly");
  if (r.files.empty()) r.files.push_back("-");
  if (std::count(r.files.begin(), r.files.end(), "-") > 1) return UsageError("script: standard input given twice");
  return -1;
}

// The word lists: the files' pairs (for the Latin scripts of the run), then the built-in ones.
// Throws WordListError or uy::FileError.
sc::WordList LoadWords(const Request& r) {
  sc::WordList words;
  std::vector<sc::Script> latin;
  for (const sc::Script s : {sc::Script::Uly, sc::Script::Uyy})
    if (r.set.to == s || !r.set.from || *r.set.from == s) latin.push_back(s);
  for (const std::string& f : r.word_files) words.AddText(uy::ReadWholeFile(f), f, latin);
  words.Merge(sc::WordList::BuiltIn());
  return words;
}

}  // namespace

int RunScript(const Args& args) {
  Request r;
  if (const int status = ParseArgs(args, r); status >= 0) return status;
  sc::WordList words;
  try {
    words = LoadWords(r);
  } catch (const sc::WordListError& e) {
    Error(e.what());
    return 1;
  } catch (const uy::FileError& e) {
    Error(e.what());
    return 1;
  }
  r.set.words = &words;
  for (const std::string& f : r.files)
    if (const auto type = DocumentOf(f)) return ConvertDocumentFile(f, *type, r.files, r.output, r.set);

  int status = 0;
  try {
    Sink sink(r.output);
    for (const std::string& f : r.files) {
      try {
        ConvertOne(f, r.set, sink);
      } catch (const FileFailure& e) {
        Error(e.what());
        status = 1;
      } catch (const uy::FileError& e) {
        Error(e.what());
        status = 1;
      }
    }
    if (status == 0) sink.Commit();  // -o: written whole, or (after a failure) not at all
  } catch (const OutputFailed&) {
    return 1;  // main reports the write error
  } catch (const uy::FileError& e) {
    Error(e.what());
    return 1;
  }
  return status;
}

}  // namespace uyconv
