// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "cfb.h"
#include "file_io.h"
#include "formats_internal.h"
#include "office_binary.h"
#include "tables.h"
#include "text_recode.h"
#include "utf.h"
#include "zip_checks.h"

namespace uy::formats {
namespace {

namespace fs = std::filesystem;


// Passes the unit pass's positions on, held within 1..100 and ending at 100.
class ClampingSink : public recode::ProgressSink {
 public:
  explicit ClampingSink(Progress& p) : p_(p) {}
  void SetRange(int, int) override {}
  void SetPosition(int position) override { p_.Set(position); }

 private:
  Progress& p_;
};

std::span<std::uint8_t> Bytes(std::string& s) {
  return {reinterpret_cast<std::uint8_t*>(s.data()), s.size()};
}
std::span<const std::uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

bool StartsWith(std::span<const std::uint8_t> b, std::string_view prefix) {
  return b.size() >= prefix.size() && std::memcmp(b.data(), prefix.data(), prefix.size()) == 0;
}

// The share of a compound file's work done (bytes of streams read and recoded), passed
// on each time it grows by a hundredth.
class Meter {
 public:
  Meter(const StepProgress& step, std::uint64_t total) : step_(step), total_(total) {}
  void Add(std::uint64_t bytes) {
    done_ += bytes;
    if (!step_ || total_ == 0 || (done_ < next_ && done_ < total_)) return;
    step_(std::min(1.0, static_cast<double>(done_) / static_cast<double>(total_)));
    next_ = done_ + total_ / 100;
  }

 private:
  const StepProgress& step_;
  std::uint64_t total_;
  std::uint64_t done_ = 0, next_ = 0;
};

// Recodes the units of `ranges`, which KeepEachByteOnce has made disjoint.
std::size_t RecodeRanges(std::vector<std::uint8_t>& stream, const std::vector<UnitRange>& ranges,
                         int direction, Meter& meter) {
  constexpr std::uint64_t kChunk = 1 << 12;  // units between progress reports
  const auto& map = recode::LowByteMap(direction);
  std::size_t changed = 0;
  for (const UnitRange& r : ranges) {
    for (std::uint64_t k = 0; k < r.count;) {
      const std::uint64_t stop = std::min(r.count, k + kChunk);
      meter.Add(2 * (stop - k));
      changed += recode::RecodeArabicUnits({stream.data() + r.offset + 2 * k, static_cast<std::size_t>(2 * (stop - k))}, map);
      k = stop;
    }
  }
  return changed;
}

std::uint64_t RangeBytes(const std::vector<UnitRange>& ranges) {
  std::uint64_t n = 0;
  for (const UnitRange& r : ranges) n += 2 * r.count;
  return n;
}

Handling HandlingOf(CompoundText::Kind kind) {
  switch (kind) {
    case CompoundText::Kind::kWorkbook:
    case CompoundText::Kind::kOldWorkbook: return Handling::kSpreadsheetStrings;
    case CompoundText::Kind::kWordDocument: return Handling::kWordProcessorText;
    case CompoundText::Kind::kPresentation: return Handling::kPresentationText;
    case CompoundText::Kind::kOther: break;
  }
  return Handling::kCompoundStreams;
}

// The text of a known binary office document. False when it is no document we know;
// one whose text structures are damaged is refused (DocumentError), never given the
// unit pass over whole streams.
bool RecodeKnownCompound(std::string& file, const cfb::CompoundFile& cf, int direction,
                         RecodeSummary& summary, const StepProgress& progress) {
  const auto bytes = Bytes(file);
  CompoundText text = ReadCompoundText(bytes, cf);
  if (text.kind == CompoundText::Kind::kOther) return false;
  summary.handling = HandlingOf(text.kind);
  std::uint64_t total = text.read;
  for (StreamText& t : text.streams) {
    KeepEachByteOnce(t.ranges);
    total += RangeBytes(t.ranges);
  }
  Meter meter(progress, total);
  meter.Add(text.read);
  for (StreamText& t : text.streams) {
    summary.changed += RecodeRanges(t.data, t.ranges, direction, meter);
    cfb::CompoundFile::Write(bytes, *t.stream, t.data);
  }
  return true;
}

// Streams of a compound file: known documents have their text recoded, others every
// unit of every stream; the container's own sectors are never touched.
cfb::CompoundFile RecodeCompound(std::string& file, int direction, RecodeSummary& summary,
                                 const StepProgress& progress) {
  cfb::CompoundFile cf;
  try {
    cf = cfb::CompoundFile::Parse(Bytes(file));
  } catch (const DocumentError& e) {
    throw DocumentError(std::string("a damaged compound file: ") + e.what());
  }
  RefuseEncrypted(cf, Bytes(file));
  if (RecodeKnownCompound(file, cf, direction, summary, progress)) return cf;
  summary.handling = Handling::kCompoundStreams;
  std::uint64_t total = 0;
  for (const cfb::Stream& s : cf.streams()) total += s.size / 2 * 2;
  Meter meter(progress, total);
  for (const cfb::Stream& s : cf.streams()) {
    std::vector<std::uint8_t> data = cfb::CompoundFile::Read(Bytes(file), s);
    const std::vector<UnitRange> all{{0, data.size() / 2}};
    summary.changed += RecodeRanges(data, all, direction, meter);
    cfb::CompoundFile::Write(Bytes(file), s, data);
  }
  return cf;
}

// Compound files are read whole: one too large for that is refused before it is read.
void CheckCompoundSize(InputFile& in, std::span<const std::uint8_t> head8) {
  std::uint8_t head[32];
  std::memcpy(head, head8.data(), head8.size());
  const std::size_t n = head8.size() + in.Read(head + head8.size(), sizeof head - head8.size());
  try {
    cfb::CheckFileSize({head, n}, in.size());
  } catch (const DocumentError& e) {
    throw FileError(FileError::Kind::Read, in.path(), e.what());
  }
}

}  // namespace


Progress::Progress(recode::ProgressSink* sink) : sink_(sink) {
  if (sink_) sink_->SetRange(1, 100);
}

void Progress::Set(int position) {
  position = std::clamp(position, 1, 100);
  if (position <= last_) return;
  last_ = position;
  if (sink_) sink_->SetPosition(position);
}

StepProgress Progress::Step(int first, int last) {
  return [this, first, last](double share) {
    Set(first + static_cast<int>(std::clamp(share, 0.0, 1.0) * (last - first)));
  };
}

void Progress::Work(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return;
  const unsigned __int128 percent = static_cast<unsigned __int128>(std::min(done, total)) * 100 / total;
  Set(static_cast<int>(percent));
}

void VerifyCompound(const std::string& written, const std::string& original, const cfb::CompoundFile& before) {
  cfb::CompoundFile after;
  try {
    after = cfb::CompoundFile::Parse(Bytes(written));
  } catch (const DocumentError& e) {
    throw DocumentError(std::string("the written compound file does not parse: ") + e.what());
  }
  const auto& a = before.streams();
  const auto& b = after.streams();
  if (a.size() != b.size()) throw DocumentError("the written compound file has other streams");
  std::vector<cfb::Extent> inside;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].path != b[i].path || a[i].size != b[i].size || a[i].start != b[i].start || a[i].mini != b[i].mini)
      throw DocumentError("the written compound file's stream " + a[i].path + " differs");
    inside.insert(inside.end(), a[i].extents.begin(), a[i].extents.end());
  }
  if (written.size() != original.size()) throw DocumentError("the written compound file has another size");
  std::sort(inside.begin(), inside.end(), [](const cfb::Extent& x, const cfb::Extent& y) { return x.offset < y.offset; });
  std::uint64_t pos = 0;
  auto same = [&](std::uint64_t from, std::uint64_t to) {
    if (to > from && std::memcmp(written.data() + from, original.data() + from, to - from) != 0)
      throw DocumentError("the written compound file's container structures differ");
  };
  for (const cfb::Extent& x : inside) {
    if (x.offset > pos) same(pos, x.offset);
    pos = std::max(pos, x.offset + x.length);
  }
  same(pos, written.size());
}


DocumentKind DetectKind(std::span<const std::uint8_t> head, bool whole_file) {
  if (head.size() >= 8 && std::memcmp(head.data(), cfb::kSignature, 8) == 0) return DocumentKind::kCompound;
  if (StartsWith(head, "PK\x03\x04") || StartsWith(head, "PK\x05\x06")) return DocumentKind::kZip;
  if (StartsWith(head, "\xFF\xFE") || StartsWith(head, "\xFE\xFF")) return DocumentKind::kUtf16Text;
  if (StartsWith(head, "{\\rtf")) return DocumentKind::kRtf;
  if (StartsWith(head, "\xEF\xBB\xBF")) return DocumentKind::kUtf8Text;
  if (whole_file) {
    Utf8TextProbe probe;
    if (probe.Feed(head) && probe.Finish()) return DocumentKind::kUtf8Text;
  }
  return DocumentKind::kOther;
}

namespace {

// What a handler is given: the open document and where its recoding goes.
struct Job {
  InputFile& in;
  const fs::path& input;
  const fs::path& output;
  int direction;
  Progress& progress;
};

// Each handler recodes a document of its kind into a new file at the output, checks
// what it wrote before that replaces anything, and fills the summary.
using Handler = void (*)(const Job& job, RecodeSummary& summary);

void RecodeZip(const Job& job, RecodeSummary& summary) {
  RecodeZipFile(job.in, job.output, job.direction, job.progress, summary);
}

// Text is recoded in pieces, in bounded memory.
void RecodeText(const Job& job, RecodeSummary& summary) {
  summary.handling = TextHandling(summary.kind);
  AtomicFileWriter out(job.output, PermissionsOf(job.input));
  summary.changed = RecodeTextStream(job.input, out, summary.kind, job.direction, job.progress.Step(0, 99));
  out.Commit();
}

void RecodeOther(const Job& job, RecodeSummary& summary) {
  summary.handling = Handling::kUnitPass;
  ClampingSink clamp(job.progress);
  summary.changed = recode::RecodeDocument(job.input, job.output, job.direction, &clamp);
}

// Compound files are read and recoded whole; the written file must parse with the same
// layout and keep every byte outside the streams.
void RecodeCompoundFile(const Job& job, RecodeSummary& summary) {
  std::string data = ReadWholeFile(job.input);
  job.progress.Set(5);
  const std::string original = data;
  cfb::CompoundFile layout;
  try {
    layout = RecodeCompound(data, job.direction, summary, job.progress.Step(5, 80));
  } catch (const DocumentError& e) {
    throw FileError(FileError::Kind::Read, job.input, e.what());
  }
  job.progress.Set(80);

  AtomicFileWriter out(job.output, PermissionsOf(job.input));
  out.Write(data.data(), data.size());
  job.progress.Set(90);
  try {
    const std::string written = ReadWholeFile(out.temp_path());
    if (written != data) throw DocumentError("the written file differs from the recoded document");
    VerifyCompound(written, original, layout);
  } catch (const DocumentError& e) {
    throw FileError(FileError::Kind::Write, job.output, std::string("check failed, nothing written: ") + e.what());
  } catch (const FileError& e) {
    throw FileError(FileError::Kind::Write, job.output, "check failed, nothing written: " + e.reason());
  }
  out.Commit();
}

struct KindHandler {
  DocumentKind kind;
  Handler recode;
};
constexpr KindHandler kHandlers[] = {
    {DocumentKind::kZip, RecodeZip},        {DocumentKind::kCompound, RecodeCompoundFile},
    {DocumentKind::kUtf16Text, RecodeText}, {DocumentKind::kUtf8Text, RecodeText},
    {DocumentKind::kRtf, RecodeText},       {DocumentKind::kOther, RecodeOther},
};

// Detects the kind by content and hands the document to that kind's handler.
RecodeSummary Recode(const fs::path& input, const fs::path& output, int direction, Progress& progress) {
  RecodeSummary summary;
  InputFile in(input);
  if (SameFile(input, output))
    throw FileError(FileError::Kind::Create, output, "it is the document being recoded");
  std::uint8_t head[8];
  const std::size_t n = in.Read(head, sizeof head);
  summary.kind = DetectKind({head, n}, n == in.size());
  if (summary.kind == DocumentKind::kCompound) CheckCompoundSize(in, {head, n});
  // Unmarked files of any size are read through in pieces to tell UTF-8 text.
  if (summary.kind == DocumentKind::kOther && n < in.size() && IsUtf8TextFile(in, {head, n}))
    summary.kind = DocumentKind::kUtf8Text;
  // UTF-8 text with a stray malformed byte or many NULs is still text: recoded as such,
  // the malformed bytes kept (and reported).
  if (summary.kind == DocumentKind::kOther && n < in.size()) {
    const MostlyUtf8 probe = ProbeMostlyUtf8(in);
    if (probe.text) {
      summary.kind = DocumentKind::kUtf8Text;
      summary.malformed = probe.malformed;
      summary.first_malformed = probe.first_malformed;
    }
  }
  // A zip archive behind other bytes is refused as one, never given the unit pass.
  if (summary.kind == DocumentKind::kOther && EndsWithZipDirectory(in.fd(), in.size())) summary.kind = DocumentKind::kZip;
  const Job job{in, input, output, direction, progress};
  for (const KindHandler& h : kHandlers)
    if (h.kind == summary.kind) h.recode(job, summary);
  progress.Set(100);
  return summary;
}
}  // namespace

RecodeSummary RecodeByContent(const fs::path& input, const fs::path& output, int direction,
                              recode::ProgressSink* sink) {
  recode::LowByteMap(direction);  // an unknown direction fails before any file is touched
  Progress progress(sink);
  try {
    return Recode(input, output, direction, progress);
  } catch (const std::bad_alloc&) {
    throw FileError(FileError::Kind::Read, input, "not enough memory to recode the document");
  }
}

}  // namespace uy::formats
