// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert_file.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "pass.h"
#include "tree.h"
#include "utf.h"

namespace uy::docscript {
namespace {

namespace fs = std::filesystem;
namespace sc = uy::script;

constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr std::size_t kSniff = std::size_t{4} << 20;  // the text the script is told from

// Strict UTF-8 appended to out; see uy::DecodeUtf8Block. Returns the bytes taken.
std::size_t DecodeUtf8(const unsigned char* in, std::size_t n, bool last, std::u16string& out, bool* bad) {
  const std::size_t old = out.size();
  out.resize(old + n);
  const BlockDecoded d = DecodeUtf8Block(in, n, last, out.data() + old, bad);
  out.resize(old + d.written);
  return d.taken;
}

// UTF-16 bytes in either order, appended to out; surrogates must pair. Returns the bytes
// taken (a unit or a high surrogate cut by the end waits for the next block unless `last`).
std::size_t DecodeUtf16(const unsigned char* in, std::size_t n, bool big, bool last, std::u16string& out,
                        bool* bad) {
  *bad = false;
  const std::size_t old = out.size();
  out.resize(old + n / 2);
  const std::size_t units = DecodeUtf16Bytes({in, n}, big, out.data() + old);
  const char16_t* u = out.data() + old;
  std::size_t k = 0;
  for (; k < units; ++k) {
    if (u[k] < 0xD800 || u[k] >= 0xE000) continue;
    if (u[k] >= 0xDC00) {
      *bad = true;
      break;
    }
    if (k + 1 == units) {
      *bad = last;
      break;
    }
    if (u[k + 1] < 0xDC00 || u[k + 1] >= 0xE000) {
      *bad = true;
      break;
    }
    ++k;
  }
  if (!*bad && last && k == units && n % 2 == 1) *bad = true;  // an odd last byte
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

// A document that is no plain text, told by its first bytes, its first letters or its
// name's extension: what it is, or nothing.
std::optional<std::pair<TextError::Kind, std::string>> DocumentKind(const std::string& name, std::string_view head,
                                                                  std::u16string_view text) {
  using K = TextError::Kind;
  if (head.substr(0, 4) == std::string_view("PK\x03\x04", 4) || head.substr(0, 4) == std::string_view("PK\x05\x06", 4))
    return std::pair{K::kZip, std::string("a zip container (an office document or archive)")};
  if (head.substr(0, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
    return std::pair{K::kDocument, *Refusal(DocumentType::kBinaryOffice)};
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\r' || text[i] == u'\n')) ++i;
  std::string start;
  for (std::size_t k = i; k < text.size() && k < i + 16; ++k) start += static_cast<char>(text[k] < 0x80 ? text[k] : '?');
  start = Lower(start);
  if (start.rfind("{\\rtf", 0) == 0) return std::pair{K::kDocument, std::string("rich text (RTF)")};
  const std::string ext = Lower(fs::path(name).extension().string());
  if (start.rfind("<!doctype html", 0) == 0 || start.rfind("<html", 0) == 0 || start.rfind("<head", 0) == 0 ||
      start.rfind("<body", 0) == 0 || ext == ".html" || ext == ".htm" || ext == ".xhtml")
    return std::pair{K::kDocument, std::string("an HTML page")};
  return std::nullopt;
}

// A text's bytes, decoded block by block. Documents are refused before any of it is taken
// as text.
class TextInput {
 public:
  explicit TextInput(ByteSource& src) : src_(src) {
    raw_.resize(kSniff);
    raw_.resize(ReadFull(raw_.data(), raw_.size()));
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
    if (auto kind = DocumentKind(name(), raw_, head)) {
      const std::string reason = kind->second + (kind->first == TextError::Kind::kZip
                                                     ? "; only a file can be taken as a document"
                                                     : "; only plain text and office documents are converted");
      throw TextError(kind->first, name(), reason, kind->second);
    }
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
      const std::size_t got = ReadFull(raw_.data() + have, kBlock);
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
      throw TextError(TextError::Kind::kText, name(), what + " at byte " + std::to_string(offset_ + used));
    }
    pos_ += used;
    offset_ += used;
    return true;
  }

 private:
  // Fills buf up to n bytes, fewer only at the end.
  std::size_t ReadFull(char* buf, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
      const std::size_t r = src_.Read(buf + got, n - got);
      if (r == 0) break;
      got += r;
    }
    return got;
  }

  ByteSource& src_;
  std::string raw_;
  std::size_t pos_ = 0, mark_ = 0;
  std::uint64_t offset_ = 0;  // input bytes before raw_[pos_]
  bool utf16_ = false, big_ = false, at_end_ = false, first_ = true;
};

// The conversion for a text whose start is `text`: options.from, or the script its letters tell.
sc::Options OptionsFor(const ConvertOptions& set, std::u16string_view text, const std::string& name,
                       ConvertSummary& summary) {
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
        throw TextError(TextError::Kind::kText, name, "no letters to tell the script from; give --from");
      throw TextError(TextError::Kind::kText, name,
                      "no script clearly leads (" + std::to_string(d.arabic) + " Arabic, " + std::to_string(d.latin) +
                          " Latin, " + std::to_string(d.cyrillic) + " Cyrillic letters); give --from");
    }
    options.from = *d.script;
    summary.assumed = d.assumed;
  }
  if (options.from == options.to)
    throw TextError(TextError::Kind::kText, name, "the text is in " + std::string(sc::Name(options.to)) + " already");
  summary.from = options.from;
  return options;
}

// Tells whether the output differs from the input. The converter's output lags its input
// by the line it has not finished, and only that much input is held.
class ChangeCheck {
 public:
  // The input just fed and the output that feed gave.
  void Step(std::u16string_view input, std::u16string_view output) {
    if (changed_) return;
    const std::size_t a = std::min(output.size(), pending_.size());
    if (output.substr(0, a) != std::u16string_view(pending_).substr(0, a)) return Differ();
    output.remove_prefix(a);
    pending_.erase(0, a);
    if (!pending_.empty()) {
      pending_.append(input);
      return;
    }
    if (output.size() > input.size() || output != input.substr(0, output.size())) return Differ();
    pending_.assign(input.substr(output.size()));
  }
  bool changed() const { return changed_ || !pending_.empty(); }

 private:
  void Differ() {
    changed_ = true;
    std::u16string().swap(pending_);
  }
  std::u16string pending_;  // input the output has not reached yet
  bool changed_ = false;
};

class WriterSink : public ByteSink {
 public:
  explicit WriterSink(AtomicFileWriter& out) : out_(out) {}
  void Write(const char* data, std::size_t n) override { out_.Write(data, n); }

 private:
  AtomicFileWriter& out_;
};

}  // namespace

ConvertSummary ConvertText(ByteSource& in, ByteSink& out, const ConvertOptions& options) {
  ConvertSummary summary;
  TextInput input(in);
  std::u16string text, converted;
  input.Next(text);  // the first 4 MB: enough to tell the script
  sc::Converter converter(OptionsFor(options, text, input.name(), summary));
  ChangeCheck check;
  std::string bytes(input.mark());
  auto emit = [&](std::u16string_view fed) {
    check.Step(fed, converted);
    if (input.utf16()) EncodeUtf16(converted, input.big_endian(), bytes);
    else EncodeUtf8(converted, bytes);
    converted.clear();
    if (!bytes.empty()) out.Write(bytes.data(), bytes.size());
    bytes.clear();
  };
  do {
    converter.Feed(text, converted, nullptr);
    emit(text);
    text.clear();
  } while (input.Next(text));
  converter.Finish(converted, nullptr);
  emit({});
  summary.runs_changed = check.changed() ? 1 : 0;
  return summary;
}

bool IsDocument(DocumentType t) {
  if (t == DocumentType::kNone) return false;
  return t != DocumentType::kRtf || !Refusal(t);
}

ConvertSummary ConvertFile(const fs::path& input, const fs::path& output, const ConvertOptions& options) {
  DocumentType type = DocumentType::kNone;
  try {
    type = TypeOf(input);
  } catch (const FileError&) {
    // opened again below, which names the reason
  }
  if (IsDocument(type)) return ConvertDocument(input, output, options);
  FileSource source(input);
  if (SameFile(input, output)) throw FileError(FileError::Kind::Create, output, "it is the document being converted");
  AtomicFileWriter writer(output, source.file().permissions());
  WriterSink sink(writer);
  const ConvertSummary summary = ConvertText(source, sink, options);
  writer.Commit();
  return summary;
}

std::string_view OutputSuffix(sc::Script to) {
  // The tree walk knows these suffixes too, so that no run takes an output as an input.
  switch (to) {
    case sc::Script::Uey: return recode::kScriptOutputSuffixes[0];
    case sc::Script::Uly: return recode::kScriptOutputSuffixes[1];
    case sc::Script::Uky: return recode::kScriptOutputSuffixes[2];
    case sc::Script::Uyy: return recode::kScriptOutputSuffixes[3];
  }
  return recode::kScriptOutputSuffixes[1];
}

std::string OutputFileName(std::string_view name, sc::Script to) {
  return recode::OutputFileNameWith(name, OutputSuffix(to));
}

}  // namespace uy::docscript
