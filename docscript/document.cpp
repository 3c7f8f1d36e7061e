// SPDX-License-Identifier: GPL-3.0-or-later
// Zip containers: the text parts are read whole (within limits), walked and rewritten; every
// other part is copied with its compressed data as it was. The new archive is made in memory,
// written atomically and read back before it replaces anything.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>
#include <zip.h>

#include "docscript.h"
#include "document_error.h"
#include "file_io.h"
#include "html_script.h"
#include "rtf_script.h"
#include "word_script.h"
#include "word_walk.h"
#include "zip_checks.h"

namespace uy::docscript {
namespace {

namespace fs = std::filesystem;
namespace sc = uy::script;
using formats::DocumentError;

// Limits that keep memory and time bounded on hostile documents.
constexpr std::uint64_t kMaxDocument = std::uint64_t{512} << 20;
constexpr std::uint64_t kMaxPart = std::uint64_t{64} << 20;
constexpr std::uint64_t kMaxTextParts = std::uint64_t{256} << 20;
constexpr std::uint64_t kMaxParts = 65536;

using Archive = formats::ZipArchive;
using ZipFile = formats::ZipPart;

// The parts of a word-processing document that hold paragraphs or their styles.
bool IsWordTextPart(std::string_view name) {
  if (!name.starts_with("word/") || !name.ends_with(".xml") || name.find('/', 5) != std::string_view::npos) return false;
  const std::string_view base = name.substr(5, name.size() - 9);
  for (const std::string_view p : {"header", "footer"})
    if (base.starts_with(p) && std::all_of(base.begin() + static_cast<std::ptrdiff_t>(p.size()), base.end(),
                                           [](char c) { return c >= '0' && c <= '9'; }))
      return true;
  for (const std::string_view n : {"document", "footnotes", "endnotes", "comments", "styles", "numbering"})
    if (base == n) return true;
  return false;
}

// PREFIX, a number and ".xml".
bool Numbered(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix) || !name.ends_with(".xml")) return false;
  const std::string_view n = name.substr(prefix.size(), name.size() - prefix.size() - 4);
  return !n.empty() && std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The parts of a workbook that hold strings, sheet directions and cell formats.
bool IsSheetTextPart(std::string_view name) {
  return name == "xl/sharedStrings.xml" || name == "xl/styles.xml" || Numbered(name, "xl/worksheets/sheet") ||
         Numbered(name, "xl/comments");
}

// The parts of a presentation that hold text or its levels' directions.
bool IsSlideTextPart(std::string_view name) {
  for (const std::string_view p : {"ppt/slides/slide", "ppt/notesSlides/notesSlide", "ppt/slideLayouts/slideLayout",
                                   "ppt/slideMasters/slideMaster", "ppt/notesMasters/notesMaster"})
    if (Numbered(name, p)) return true;
  return false;
}

// Which parts a document's conversion walks, and in which vocabulary.
std::optional<Markup> TextPart(DocumentType type, std::string_view name) {
  if (type == DocumentType::kWordDocx && IsWordTextPart(name)) return Markup::kWord;
  if (type == DocumentType::kSpreadsheetXlsx && IsSheetTextPart(name)) return Markup::kSheet;
  if (type == DocumentType::kPresentationPptx && IsSlideTextPart(name)) return Markup::kSlide;
  if (type == DocumentType::kOpenDocument && (name == "content.xml" || name == "styles.xml")) return Markup::kOdf;
  return std::nullopt;
}

bool HasPart(const std::vector<zip_stat_t>& entries, std::string_view name) {
  return std::any_of(entries.begin(), entries.end(), [&](const zip_stat_t& st) { return name == st.name; });
}

// A part read whole through its CRC; its claimed size is checked against what it holds.
std::string ReadPart(zip_t* z, zip_uint64_t index, const zip_stat_t& st) {
  if (st.size > kMaxPart)
    throw DocumentError(std::string("the part ") + st.name + " is larger than " + std::to_string(kMaxPart >> 20) + " MB");
  ZipFile f(zip_fopen_index(z, index, 0));
  if (!f) throw DocumentError(std::string("cannot open the part ") + st.name + ": " + zip_strerror(z));
  std::string data(static_cast<std::size_t>(st.size) + 1, '\0');
  std::size_t got = 0;
  for (zip_int64_t n; got < data.size() && (n = zip_fread(f.get(), data.data() + got, data.size() - got)) != 0;) {
    if (n < 0) throw DocumentError(std::string("the part ") + st.name + " is damaged: " + zip_file_strerror(f.get()));
    got += static_cast<std::size_t>(n);
  }
  if (got != st.size) throw DocumentError(std::string("the part ") + st.name + " does not have the size its directory says");
  data.resize(got);
  return data;
}

struct SourceFree {
  void operator()(zip_source_t* s) const { zip_source_free(s); }
};
using Source = std::unique_ptr<zip_source_t, SourceFree>;

// The document held in memory: libzip reads it and writes the new archive into the same
// buffer source, keeping every unchanged part's bytes, names, times and order.
struct OpenDocument {
  Source source;  // owns the document's bytes; kept past the archive's close
  Archive zip;
  std::vector<zip_stat_t> entries;
  std::vector<std::string> names;  // the entries' names outlive the archive
  DocumentType type = DocumentType::kOtherZip;
};

DocumentType ZipType(const std::vector<zip_stat_t>& entries, zip_t* z) {
  if (HasPart(entries, "word/document.xml")) return DocumentType::kWordDocx;
  if (HasPart(entries, "xl/workbook.xml")) return DocumentType::kSpreadsheetXlsx;
  if (HasPart(entries, "ppt/presentation.xml")) return DocumentType::kPresentationPptx;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (std::string_view(entries[i].name) == "mimetype" && entries[i].size < 256) {
      const std::string m = ReadPart(z, i, entries[i]);
      if (m.starts_with("application/vnd.oasis.opendocument.")) return DocumentType::kOpenDocument;
    }
  return DocumentType::kOtherZip;
}

// The archive's layout and directory checked as the recoder checks them.
OpenDocument Open(const InputFile& in) {
  if (in.size() > kMaxDocument)
    throw DocumentError("the document is larger than " + std::to_string(kMaxDocument >> 20) + " MB");
  formats::CheckZipLayout(in.fd(), in.size());
  OpenDocument d;
  // libzip frees the buffer it was given once it has written the new archive over it, so
  // the buffer is its own (malloc'd, freed by it) from the start.
  const std::size_t size = static_cast<std::size_t>(in.size());
  void* bytes = std::malloc(std::max<std::size_t>(size, 1));
  if (!bytes) throw std::bad_alloc();
  for (std::size_t got = 0; got < size;) {
    const ssize_t n = ::pread(in.fd(), static_cast<char*>(bytes) + got, size - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::free(bytes);
      throw FileError(FileError::Kind::Read, in.path(), n < 0 ? ErrnoText(errno) : "the file became shorter");
    }
    got += static_cast<std::size_t>(n);
  }
  zip_error_t err;
  zip_error_init(&err);
  d.source.reset(zip_source_buffer_create(bytes, size, 1, &err));
  if (!d.source) {
    std::free(bytes);
    throw std::bad_alloc();
  }
  d.zip.reset(zip_open_from_source(d.source.get(), 0, &err));
  if (!d.zip) {
    const int code = zip_error_code_zip(&err);
    zip_error_fini(&err);
    if (code == ZIP_ER_MEMORY) throw std::bad_alloc();
    throw DocumentError("not a readable zip archive: " + formats::ZipErrorText(code));
  }
  zip_source_keep(d.source.get());  // the archive's reference goes with it; ours stays
  zip_error_fini(&err);
  d.entries = formats::ReadZipEntries(d.zip.get());
  for (const zip_stat_t& st : d.entries) d.names.emplace_back(st.name);
  if (d.entries.size() > kMaxParts) throw DocumentError("the archive has more than " + std::to_string(kMaxParts) + " parts");
  d.type = ZipType(d.entries, d.zip.get());
  return d;
}

struct Rewritten {
  std::vector<std::string> data;  // per entry; empty unless `changed`
  std::vector<bool> changed;
};

// Whether a text part's letters tell the document's script. A presentation's masters and
// layouts hold the placeholder prompts of the writer's program, in its own language.
bool TellsScript(DocumentType type, std::string_view name) {
  return type != DocumentType::kPresentationPptx ||
         !(name.starts_with("ppt/slideMasters/") || name.starts_with("ppt/slideLayouts/") ||
           name.starts_with("ppt/notesMasters/"));
}

// The script told from every paragraph of the text parts.
sc::Detection Detect(const OpenDocument& d) {
  CollectTransform collect;
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    const auto markup = TextPart(d.type, d.entries[i].name);
    if (!markup || !TellsScript(d.type, d.entries[i].name)) continue;
    const std::string part = ReadPart(d.zip.get(), i, d.entries[i]);
    Edits none;
    PartInfo info;
    try {
      WalkWordPart(part, collect, none, info, *markup);
    } catch (const DocumentError& e) {
      throw DocumentError(std::string("the part ") + d.entries[i].name + ": " + e.what());
    }
  }
  sc::Decide(collect.detection);
  return collect.detection;
}

// `count`, when given, counts the letters of the parts that tell the script.
Rewritten ConvertParts(const OpenDocument& d, ScriptTransform& transform, sc::Detection* count = nullptr) {
  Rewritten r{std::vector<std::string>(d.entries.size()), std::vector<bool>(d.entries.size(), false)};
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    const zip_stat_t& st = d.entries[i];
    const auto markup = TextPart(d.type, st.name);
    if (!markup) continue;
    if ((total += st.size) > kMaxTextParts)
      throw DocumentError("the text parts hold more than " + std::to_string(kMaxTextParts >> 20) + " MB");
    const std::string part = ReadPart(d.zip.get(), i, st);
    Edits edits;
    PartInfo info;
    transform.Begin(part, &info, *markup);
    transform.CountInto(count && TellsScript(d.type, st.name) ? count : nullptr);
    try {
      WalkWordPart(part, transform, edits, info, *markup);
    } catch (const DocumentError& e) {
      throw DocumentError(std::string("the part ") + st.name + ": " + e.what());
    }
    if (edits.empty()) continue;
    r.data[i] = ApplyEdits(part, std::move(edits));
    r.changed[i] = r.data[i] != part;
    if (!r.changed[i]) r.data[i].clear();
  }
  return r;
}

// Every rewritten part parses again; one that does not is a fault of the conversion.
void CheckParts(const OpenDocument& d, const Rewritten& r) {
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    if (!r.changed[i]) continue;
    try {
      CheckWellFormed(r.data[i]);
    } catch (const DocumentError& e) {
      throw std::logic_error("the converted part " + d.names[i] + " does not parse: " + e.what());
    }
  }
}

}  // namespace
}  // namespace uy::docscript

namespace uy::docscript {
namespace {

// The converted parts replace theirs, in their compression and with their times; the archive
// is written into the document's buffer.
void Replace(OpenDocument& d, const Rewritten& r) {
  zip_t* z = d.zip.get();
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    if (!r.changed[i]) continue;
    const zip_stat_t& st = d.entries[i];
    zip_source_t* s = zip_source_buffer(z, r.data[i].data(), r.data[i].size(), 0);
    if (!s) throw std::bad_alloc();
    if (zip_file_replace(z, i, s, 0) != 0) {
      zip_source_free(s);
      throw DocumentError(std::string("cannot replace the part ") + st.name + ": " + zip_strerror(z));
    }
    const zip_int32_t method = st.comp_method == ZIP_CM_STORE ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    if (zip_set_file_compression(z, i, method, 0) != 0 ||
        ((st.valid & ZIP_STAT_MTIME) && zip_file_set_mtime(z, i, st.mtime, 0) != 0))
      throw DocumentError(std::string("cannot set the part ") + st.name + ": " + zip_strerror(z));
  }
  if (zip_close(z) != 0) {
    if (zip_error_code_zip(zip_get_error(z)) == ZIP_ER_MEMORY) throw std::bad_alloc();
    throw DocumentError(std::string("cannot write the archive: ") + zip_strerror(z));
  }
  d.zip.release();  // closed
}

void WriteArchive(zip_source_t* source, AtomicFileWriter& out) {
  if (zip_source_open(source) != 0) throw DocumentError("cannot read the written archive back");
  std::vector<char> buf(std::size_t{1} << 16);
  for (zip_int64_t n; (n = zip_source_read(source, buf.data(), buf.size())) != 0;) {
    if (n < 0) throw DocumentError("cannot read the written archive back");
    out.Write(buf.data(), static_cast<std::size_t>(n));
  }
  zip_source_close(source);
}

// Whether the part at `index` reads (through its CRC) as `want`, or, with no `want`, reads
// through its CRC to the size its directory gives; a piece at a time, whatever its size.
bool ReadsBack(zip_t* z, zip_uint64_t index, const zip_stat_t& st, std::optional<std::string_view> want) {
  ZipFile f(zip_fopen_index(z, index, 0));
  if (!f) return false;
  std::vector<char> buf(std::size_t{1} << 16);
  std::uint64_t got = 0;
  for (zip_int64_t n; (n = zip_fread(f.get(), buf.data(), buf.size())) != 0; got += static_cast<std::uint64_t>(n)) {
    if (n < 0) return false;
    const auto len = static_cast<std::size_t>(n);
    if (want && (got + len > want->size() || want->compare(static_cast<std::size_t>(got), len, {buf.data(), len}) != 0))
      return false;
  }
  return got == st.size && (!want || got == want->size());
}

// The written file passes libzip's consistency check and holds the same parts, each read
// through its CRC: the converted ones as they were meant, the others as they were.
void Verify(const fs::path& path, const OpenDocument& d, const Rewritten& r) {
  int code = 0;
  Archive z(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
  if (!z) throw DocumentError("the written archive fails its check: " + formats::ZipErrorText(code));
  if (zip_get_num_entries(z.get(), 0) != static_cast<zip_int64_t>(d.entries.size()))
    throw DocumentError("the written archive has a different number of parts");
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    zip_stat_t st;
    const zip_stat_t& was = d.entries[i];
    const std::string& name = d.names[i];
    if (zip_stat_index(z.get(), i, 0, &st) != 0 || name != st.name)
      throw DocumentError("the written archive's part " + name + " is missing");
    const bool same = r.changed[i] ? ReadsBack(z.get(), i, st, r.data[i])
                                   : st.size == was.size && st.crc == was.crc && ReadsBack(z.get(), i, st, std::nullopt);
    if (!same) throw DocumentError("the written archive's part " + name + " differs from what was meant");
  }
}

// OpenDocument: the shared styles, which the text of every part resolves against.
void PrepareOdf(const OpenDocument& d, ScriptTransform& transform) {
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    if (d.names[i] != "styles.xml") continue;
    try {
      transform.PrepareOdf(ReadPart(d.zip.get(), i, d.entries[i]));
    } catch (const DocumentError& e) {
      throw DocumentError("the part styles.xml: " + std::string(e.what()));
    }
  }
}

std::string NoScriptReason(const sc::Detection& d) {
  if (d.arabic + d.latin + d.cyrillic == 0) return "no letters to tell the script from; give --from";
  return "no script clearly leads (" + std::to_string(d.arabic) + " Arabic, " + std::to_string(d.latin) + " Latin, " +
         std::to_string(d.cyrillic) + " Cyrillic letters); give --from";
}

}  // namespace

std::optional<std::string> Refusal(DocumentType t) {
  switch (t) {
    case DocumentType::kBinaryOffice:
      return "a binary office document (.doc, .xls or .ppt), whose text cannot change its length safely; "
             "save it as .docx, .xlsx or .pptx first";
    case DocumentType::kOtherZip: return "a zip archive that is no office document";
    case DocumentType::kWordDocx:
    case DocumentType::kSpreadsheetXlsx:
    case DocumentType::kPresentationPptx:
    case DocumentType::kOpenDocument:
    case DocumentType::kHtml:
    case DocumentType::kRtf:
    case DocumentType::kNone: break;
  }
  return std::nullopt;
}

namespace {

// The text parts converted from `so.from`; `count`, when given, counts every paragraph's
// letters as the detection does.
Rewritten ConvertAs(const OpenDocument& d, const sc::Options& so, ConvertSummary& summary,
                    sc::Detection* count = nullptr) {
  ScriptTransform transform(so);
  if (d.type == DocumentType::kOpenDocument) PrepareOdf(d, transform);
  Rewritten r = ConvertParts(d, transform, count);
  summary.paragraphs = transform.paragraphs();
  summary.runs_changed = transform.runs_changed();
  return r;
}

// The document's script told from its letters and its text converted, in one walk where the
// text turns out to be in the script first assumed: towards Latin or Cyrillic that is the
// Arabic script, whose letters the conversion counts as it goes. Otherwise (another script,
// no clear script, a part refused) the parts are walked again as before.
Rewritten DetectAndConvert(const OpenDocument& d, sc::Options& so, ConvertSummary& summary) {
  std::optional<Rewritten> r;
  std::optional<sc::Detection> det;
  if (so.to != sc::Script::Uey) {
    so.from = sc::Script::Uey;
    sc::Detection count;
    try {
      r = ConvertAs(d, so, summary, &count);
      sc::Decide(count);
      det = count;
    } catch (const DocumentError&) {
      r.reset();  // told and reported below, as without the assumption
    }
  }
  if (!det) det = Detect(d);
  if (!det->script) throw DocumentError(NoScriptReason(*det));
  summary.assumed = det->assumed;
  if (r && *det->script == so.from) return std::move(*r);
  so.from = *det->script;
  if (so.from == so.to) throw DocumentError("the text is in " + std::string(sc::Name(so.to)) + " already");
  return ConvertAs(d, so, summary);
}

// The new archive written beside the document, checked, and put in place.
void WriteChecked(OpenDocument& d, const Rewritten& r, const InputFile& in, const fs::path& output) {
  // The rewritten parts are parsed again beside the compression of the new archive (on a
  // second core where there is one); nothing is written before both are done.
  std::future<void> checked = std::async(std::launch::async | std::launch::deferred, [&] { CheckParts(d, r); });
  Replace(d, r);
  checked.get();
  AtomicFileWriter out(output, in.permissions());
  WriteArchive(d.source.get(), out);
  try {
    Verify(out.temp_path(), d, r);
  } catch (const DocumentError& e) {
    throw FileError(FileError::Kind::Write, output, std::string("check failed, nothing written: ") + e.what());
  }
  out.Commit();
}

ConvertSummary Convert(InputFile& in, const fs::path& output, const ConvertOptions& options) {
  OpenDocument d = Open(in);
  ConvertSummary summary;
  summary.type = d.type;
  if (const auto why = Refusal(d.type)) throw DocumentError(*why);
  sc::Options so;
  so.to = options.to;
  so.e_acute = options.e_acute;
  so.wrap = options.wrap;
  so.words = options.words;
  Rewritten r;
  if (options.from) {
    so.from = *options.from;
    if (so.from == so.to) throw DocumentError("the text is in " + std::string(sc::Name(so.to)) + " already");
    r = ConvertAs(d, so, summary);
  } else {
    r = DetectAndConvert(d, so, summary);
  }
  summary.from = so.from;
  WriteChecked(d, r, in, output);
  return summary;
}

bool StartsWith(std::string_view head, std::string_view prefix) { return head.substr(0, prefix.size()) == prefix; }

DocumentType TypeOfHead(std::string_view head);

// A zip archive behind other bytes is taken as one, to be refused as the recoder refuses it.
DocumentType TypeOfFile(InputFile& in) {
  char head[1024];
  const std::size_t n = in.Read(head, sizeof head);
  const DocumentType t = TypeOfHead({head, n});
  if (t == DocumentType::kNone && formats::EndsWithZipDirectory(in.fd(), in.size())) return DocumentType::kOtherZip;
  if (t == DocumentType::kNone && LooksLikeHtml({head, n}, in.path())) return DocumentType::kHtml;
  return t;
}

DocumentType TypeOfHead(std::string_view head) {
  if (StartsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return DocumentType::kBinaryOffice;
  if (StartsWith(head, "{\\rtf")) return DocumentType::kRtf;
  if (StartsWith(head, std::string_view("PK\x03\x04", 4)) || StartsWith(head, std::string_view("PK\x05\x06", 4)))
    return DocumentType::kOtherZip;
  return DocumentType::kNone;
}

}  // namespace

DocumentType TypeOf(const fs::path& path) {
  InputFile in(path);
  const DocumentType t = TypeOfFile(in);
  if (t != DocumentType::kOtherZip) return t;
  try {
    return Open(in).type;
  } catch (const DocumentError&) {
    return DocumentType::kOtherZip;
  }
}

ConvertSummary ConvertDocument(const fs::path& input, const fs::path& output, const ConvertOptions& options) {
  InputFile in(input);
  if (SameFile(input, output)) throw FileError(FileError::Kind::Create, output, "it is the document being converted");
  try {
    const DocumentType t = TypeOfFile(in);
    if (t == DocumentType::kHtml) return ConvertHtml(in, output, options);
    if (t == DocumentType::kRtf) return ConvertRtf(in, output, options);
    if (t != DocumentType::kOtherZip) throw DocumentError(Refusal(t).value_or("not an office document"));
    return Convert(in, output, options);
  } catch (const DocumentError& e) {
    throw FileError(FileError::Kind::Read, input, e.what());
  } catch (const std::bad_alloc&) {
    throw FileError(FileError::Kind::Read, input, "not enough memory to convert the document");
  }
}

}  // namespace uy::docscript
