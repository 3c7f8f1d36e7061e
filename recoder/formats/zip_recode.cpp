// SPDX-License-Identifier: GPL-3.0-or-later
// Zip containers (OOXML, ODF): the text of XML parts is UTF-8, where U+0600..U+06FF are
// two-byte sequences, so every part keeps its length and only XML parts change.
//
// Everything streams: libzip reads the document through a source of our own and writes
// the new archive through the same source into the output file; a recoded part reaches
// it through a source that inflates, recodes and hands on one piece at a time. Memory
// stays a few hundred KB whatever the parts' sizes.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_set>

#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include "file_io.h"
#include "formats.h"
#include "formats_internal.h"
#include "read_bytes.h"
#include "zip_checks.h"

namespace uy::formats {

std::size_t PieceRecoder::RecodePiece(std::span<std::uint8_t> piece, bool last) {
  const std::size_t n = piece.size();
  std::size_t cut = n;
  if (!last) {
    // A reference is decided by its '&' and at most 36 bytes from there.
    if (references_)
      for (std::size_t i = n > kMaxHeldBack - 1 ? n - (kMaxHeldBack - 1) : 0; i < n; ++i)
        if (piece[i] == '&') {
          cut = i;
          break;
        }
    // A lead byte of U+0600..U+06FF waits for its continuation byte.
    if (cut == n && n > 0 && piece[n - 1] >= 0xD8 && piece[n - 1] <= 0xDB) cut = n - 1;
  }
  const auto done = piece.first(cut);
  changed_ += RecodeUtf8(done, direction_);
  if (references_) changed_ += RecodeCharacterReferences(done, direction_);
  return cut;
}

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPiece = std::size_t{1} << 18;
// Progress counts bytes of parts; a part that is deflated again counts this many times
// its size, deflating being the slow step.
constexpr std::uint64_t kDeflateWeight = 4;

using Archive = ZipArchive;
using File = ZipPart;

// libzip's own allocation failures are ours as well.
void ThrowIfNoMemory(int zip_code) {
  if (zip_code == ZIP_ER_MEMORY) throw std::bad_alloc();
}

File OpenPart(zip_t* z, zip_uint64_t index, zip_flags_t flags, const char* name) {
  File f(zip_fopen_index(z, index, flags));
  if (!f) {
    ThrowIfNoMemory(zip_error_code_zip(zip_get_error(z)));
    throw DocumentError(std::string("cannot open the part ") + name + " of the archive: " + zip_strerror(z));
  }
  return f;
}

// The first bytes of a part, enough to see whether it is XML.
std::string Peek(zip_t* z, zip_uint64_t index, const char* name) {
  File f = OpenPart(z, index, 0, name);
  std::string head(256, '\0');
  const zip_int64_t n = zip_fread(f.get(), head.data(), head.size());
  if (n < 0) throw DocumentError(std::string("cannot read the part ") + name + " of the archive: " + zip_file_strerror(f.get()));
  head.resize(static_cast<std::size_t>(n));
  return head;
}

// One XML part, inflated through its CRC and recoded a piece at a time. The size in the
// directory is only a claim: memory follows the data actually read.
class RecodedPart {
 public:
  RecodedPart(zip_t* z, zip_uint64_t index, zip_flags_t flags, const zip_stat_t& st, int direction)
      : file_(OpenPart(z, index, flags, st.name)), name_(st.name), size_(st.size), recoder_(direction, true),
        buf_(static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, st.size + PieceRecoder::kMaxHeldBack + 1))) {}

  bool done() const { return done_; }
  std::size_t changed() const { return recoder_.changed(); }

  // The next recoded bytes; empty once done(). Throws DocumentError.
  std::span<const std::uint8_t> Next() {
    if (done_) return {};
    std::memmove(buf_.data(), buf_.data() + ready_, end_ - ready_);
    end_ -= ready_;
    ready_ = 0;
    for (;;) {
      const zip_int64_t n = zip_fread(file_.get(), buf_.data() + end_, buf_.size() - end_);
      if (n < 0) {
        ThrowIfNoMemory(zip_error_code_zip(zip_file_get_error(file_.get())));
        throw DocumentError("cannot read the part " + name_ + " of the archive: " + zip_file_strerror(file_.get()));
      }
      if (static_cast<std::uint64_t>(n) > size_ - read_)
        throw DocumentError("the part " + name_ + " of the archive is longer than it says");
      read_ += static_cast<std::uint64_t>(n);
      end_ += static_cast<std::size_t>(n);
      const bool last = n == 0;
      if (last && read_ != size_) throw DocumentError("the part " + name_ + " of the archive is cut short");
      ready_ = recoder_.RecodePiece({buf_.data(), end_}, last);
      done_ = last;
      if (ready_ > 0 || last) return {buf_.data(), ready_};
    }
  }

 private:
  File file_;
  std::string name_;
  std::uint64_t size_, read_ = 0;
  PieceRecoder recoder_;
  std::vector<std::uint8_t> buf_;  // always room for one more byte, which tells the end
  std::size_t ready_ = 0, end_ = 0;  // buf_[0, ready_) recoded, buf_[ready_, end_) held back
  bool done_ = false;
};

// Shared by the callbacks of one run: a failure of ours inside libzip's call is kept
// here and thrown once libzip has returned.
struct Run {
  std::exception_ptr failure;
  Progress* progress = nullptr;
  std::uint64_t done = 0, total = 1;
  void Add(std::uint64_t n) {
    done += n;
    progress->Work(done, total);
  }
};

// libzip's view of the document (read side) and of the output file (write side).
struct ArchiveIo {
  Run* run = nullptr;
  int in_fd = -1;
  std::uint64_t in_size = 0, rpos = 0;
  // libzip reads headers and data in small pieces: they are served from a block read ahead.
  std::vector<char> cache = std::vector<char>(std::size_t{1} << 16);
  std::uint64_t cache_at = 0;
  std::size_t cache_len = 0;
  bool count_reads = false;
  const fs::path* output = nullptr;
  int out_fd = -1;
  std::uint64_t wpos = 0, wend = 0;
  // Writes, as small as a header, gather in a block: buffer[0, buffered) belongs at buffer_at.
  std::vector<char> buffer = std::vector<char>(std::size_t{1} << 16);
  std::uint64_t buffer_at = 0;
  std::size_t buffered = 0;
  zip_error_t error;

  zip_int64_t Read(char* data, zip_uint64_t len);
  zip_int64_t ReadSide(void* data, zip_uint64_t len, zip_source_cmd_t cmd);
  zip_int64_t WriteSide(void* data, zip_uint64_t len, zip_source_cmd_t cmd);

  void WriteOut(const char* data, std::size_t n, std::uint64_t at) {
    for (std::size_t put = 0; put < n;) {
      const ssize_t r = ::pwrite(out_fd, data + put, n - put, static_cast<off_t>(at + put));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) throw FileError(FileError::Kind::Write, *output, r < 0 ? errno : ENOSPC);
      put += static_cast<std::size_t>(r);
    }
  }
  void Flush() {
    WriteOut(buffer.data(), buffered, buffer_at);
    buffered = 0;
  }
  void Write(const char* data, std::size_t n) {
    const bool inside = wpos >= buffer_at && wpos <= buffer_at + buffered && wpos - buffer_at + n <= buffer.size();
    if (!inside) {
      Flush();
      if (n >= buffer.size()) return WriteOut(data, n, wpos);
      buffer_at = wpos;
    }
    const std::size_t from = static_cast<std::size_t>(wpos - buffer_at);
    std::memcpy(buffer.data() + from, data, n);
    buffered = std::max(buffered, from + n);
  }
};

// Up to `len` bytes of the document from rpos: from the block read ahead where it holds
// them, straight into `data` when they are at least a block long.
zip_int64_t ArchiveIo::Read(char* data, zip_uint64_t len) {
  len = std::min<zip_uint64_t>(len, in_size - std::min(rpos, in_size));
  zip_uint64_t got = 0;
  while (got < len) {
    const std::uint64_t at = rpos + got;
    if (at >= cache_at && at < cache_at + cache_len) {
      const std::size_t from = static_cast<std::size_t>(at - cache_at);
      const std::size_t n = static_cast<std::size_t>(std::min<zip_uint64_t>(len - got, cache_len - from));
      std::memcpy(data + got, cache.data() + from, n);
      got += n;
      continue;
    }
    const bool direct = len - got >= cache.size();
    char* into = direct ? data + got : cache.data();
    const ssize_t n = ::pread(in_fd, into, direct ? len - got : cache.size(), static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      zip_error_set(&error, ZIP_ER_READ, errno);
      return -1;
    }
    if (n == 0) break;
    if (direct) {
      got += static_cast<zip_uint64_t>(n);
    } else {
      cache_at = at;
      cache_len = static_cast<std::size_t>(n);
    }
  }
  rpos += got;
  if (count_reads) run->Add(got);
  return static_cast<zip_int64_t>(got);
}

zip_int64_t ArchiveIo::ReadSide(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      rpos = 0;
      return 0;
    case ZIP_SOURCE_READ:
      return Read(static_cast<char*>(data), len);
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      st->size = in_size;
      st->valid |= ZIP_STAT_SIZE;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_SEEK: {
      const zip_int64_t to = zip_source_seek_compute_offset(rpos, in_size, data, len, &error);
      if (to < 0) return -1;
      rpos = static_cast<zip_uint64_t>(to);
      return 0;
    }
    default:  // ZIP_SOURCE_TELL
      return static_cast<zip_int64_t>(rpos);
  }
}

zip_int64_t ArchiveIo::WriteSide(void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  switch (cmd) {
    case ZIP_SOURCE_BEGIN_WRITE:
      if (out_fd < 0) {
        zip_error_set(&error, ZIP_ER_WRITE, EBADF);
        return -1;
      }
      wpos = wend = buffer_at = 0;
      buffered = 0;
      return 0;
    case ZIP_SOURCE_WRITE:
      Write(static_cast<const char*>(data), static_cast<std::size_t>(len));
      wpos += len;
      wend = std::max(wend, wpos);
      return static_cast<zip_int64_t>(len);
    case ZIP_SOURCE_SEEK_WRITE: {
      const zip_int64_t to = zip_source_seek_compute_offset(wpos, wend, data, len, &error);
      if (to < 0) return -1;
      wpos = static_cast<zip_uint64_t>(to);
      return 0;
    }
    case ZIP_SOURCE_TELL_WRITE:
      return static_cast<zip_int64_t>(wpos);
    default:  // ZIP_SOURCE_COMMIT_WRITE: the caller commits once the file has been checked
      Flush();
      return 0;
  }
}

zip_int64_t ArchiveCallback(void* user, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  ArchiveIo& io = *static_cast<ArchiveIo*>(user);
  try {
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
      case ZIP_SOURCE_READ:
      case ZIP_SOURCE_STAT:
      case ZIP_SOURCE_SEEK:
      case ZIP_SOURCE_TELL:
        return io.ReadSide(data, len, cmd);
      case ZIP_SOURCE_BEGIN_WRITE:
      case ZIP_SOURCE_WRITE:
      case ZIP_SOURCE_SEEK_WRITE:
      case ZIP_SOURCE_TELL_WRITE:
      case ZIP_SOURCE_COMMIT_WRITE:
        return io.WriteSide(data, len, cmd);
      case ZIP_SOURCE_CLOSE:
      case ZIP_SOURCE_ROLLBACK_WRITE:  // an uncommitted output is removed by its writer
      case ZIP_SOURCE_REMOVE:
      case ZIP_SOURCE_FREE:
        return 0;
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&io.error, data, len);
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_WRITABLE;
      default:
        zip_error_set(&io.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  } catch (...) {
    io.run->failure = std::current_exception();
    zip_error_set(&io.error, ZIP_ER_INTERNAL, 0);
    return -1;
  }
}

// A recoded XML part as libzip reads it while writing the new archive.
struct PartSource {
  Run* run;
  zip_t* archive;
  zip_uint64_t index;
  zip_stat_t st;
  int direction;
  std::optional<RecodedPart> part;
  std::span<const std::uint8_t> pending;
  zip_error_t error;

  // Up to `len` recoded bytes into `data`.
  zip_int64_t Read(char* data, zip_uint64_t len) {
    zip_uint64_t out = 0;
    while (out < len) {
      if (pending.empty()) {
        if (part->done()) break;
        pending = part->Next();
        continue;
      }
      const std::size_t n = static_cast<std::size_t>(std::min<zip_uint64_t>(len - out, pending.size()));
      std::memcpy(data + out, pending.data(), n);
      pending = pending.subspan(n);
      out += n;
    }
    run->Add(out * kDeflateWeight);
    return static_cast<zip_int64_t>(out);
  }
};

zip_int64_t PartCallback(void* user, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  PartSource& s = *static_cast<PartSource*>(user);
  try {
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        s.part.emplace(s.archive, s.index, ZIP_FL_UNCHANGED, s.st, s.direction);
        s.pending = {};
        return 0;
      case ZIP_SOURCE_READ:
        return s.Read(static_cast<char*>(data), len);
      case ZIP_SOURCE_CLOSE:
        s.part.reset();
        return 0;
      case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = s.st.size;
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&s.error, data, len);
      case ZIP_SOURCE_FREE:
        delete &s;
        return 0;
      case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_READABLE;
      default:
        zip_error_set(&s.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  } catch (...) {
    s.run->failure = std::current_exception();
    zip_error_set(&s.error, ZIP_ER_INTERNAL, 0);
    return -1;
  }
}

std::size_t ReadAt(int fd, void* buf, std::size_t n, std::uint64_t offset, const fs::path& path) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd, static_cast<char*>(buf) + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw FileError(FileError::Kind::Read, path, errno);
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

// The archive as it is: copied, then read back and compared.
void CopyWhole(InputFile& in, AtomicFileWriter& out, Run& run) {
  std::vector<char> buf(kPiece), back(kPiece);
  std::uint64_t at = 0;
  for (std::size_t n; (n = ReadAt(in.fd(), buf.data(), buf.size(), at, in.path())) > 0; at += n) {
    out.Write(buf.data(), n);
    run.Add(n);
  }
  InputFile written(out.temp_path());
  if (written.size() != at) throw DocumentError("the written file differs from the document");
  for (std::uint64_t pos = 0; pos < at;) {
    const std::size_t n = ReadAt(in.fd(), buf.data(), buf.size(), pos, in.path());
    if (written.Read(back.data(), n) != n || std::memcmp(buf.data(), back.data(), n) != 0)
      throw DocumentError("the written file differs from the document");
    pos += n;
    run.Add(n);
  }
}

struct Entry {
  zip_stat_t st;
  bool xml = false;
  bool changes = false;
};

// The parts of the archive: their directory entries, what the written archive must hold
// (refined once the recoded CRCs are known) and which parts are XML.
struct Parts {
  std::vector<Entry> entries;
  std::vector<ZipEntryCheck> checks;
  std::uint64_t all = 0, xml = 0;  // bytes of all parts, of the XML ones
};

FileError Damaged(const fs::path& input, const std::string& why) {
  return FileError(FileError::Kind::Read, input, FileError::Why::kDamaged, why);
}

// The document opened by libzip through `io`.
Archive OpenArchive(ArchiveIo& io, const fs::path& input) {
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* src = zip_source_function_create(ArchiveCallback, &io, &err);
  if (!src) throw std::bad_alloc();
  Archive z(zip_open_from_source(src, 0, &err));
  if (!z) {
    zip_source_free(src);
    if (io.run->failure) std::rethrow_exception(io.run->failure);
    ThrowIfNoMemory(zip_error_code_zip(&err));
    const std::string why = zip_error_strerror(&err);
    zip_error_fini(&err);
    throw Damaged(input, "not a readable zip archive: " + why);
  }
  zip_error_fini(&err);
  return z;
}

// The directory read, and which parts are XML (by content): only those are read whole;
// pictures and the like are not touched.
Parts ListParts(zip_t* z) {
  Parts p;
  for (const zip_stat_t& st : ReadZipEntries(z)) {
    const zip_uint64_t i = p.entries.size();
    p.entries.push_back({st});
    p.checks.push_back({st.name, st.size, st.crc});
    p.all += st.size;
    if (st.size == 0 || std::string_view(st.name).ends_with('/')) continue;
    p.entries.back().xml = IsMarkup(Peek(z, i, st.name));
    if (p.entries.back().xml) p.xml += st.size;
  }
  return p;
}

// Every XML part recoded once to learn whether it changes and the CRC it will have.
void MeasureRecodedParts(zip_t* z, Parts& p, int direction, Run& run, RecodeSummary& summary) {
  for (std::size_t i = 0; i < p.entries.size(); ++i) {
    if (!p.entries[i].xml) continue;
    RecodedPart part(z, i, 0, p.entries[i].st, direction);
    uLong crc = crc32(0L, Z_NULL, 0);
    while (!part.done()) {
      const auto piece = part.Next();
      crc = crc32_z(crc, piece.data(), piece.size());
      run.Add(piece.size());
    }
    if (part.changed() == 0) continue;
    p.entries[i].changes = true;
    summary.changed += part.changed();
    p.checks[i].crc = static_cast<std::uint32_t>(crc);
  }
}

// The changing part at `index` replaced by its recoding, streamed while libzip writes,
// in the part's compression method and with its time stamp.
void ReplacePart(zip_t* z, std::size_t index, const zip_stat_t& st, int direction, Run& run) {
  auto* part = new PartSource{&run, z, index, st, direction, std::nullopt, {}, {}};
  zip_error_init(&part->error);
  zip_source_t* s = zip_source_function(z, PartCallback, part);
  if (!s) {
    delete part;
    throw std::bad_alloc();
  }
  if (zip_file_replace(z, index, s, 0) != 0) {
    zip_source_free(s);
    throw DocumentError(std::string("cannot replace the part ") + st.name + ": " + zip_strerror(z));
  }
  const zip_int32_t method = (st.comp_method == ZIP_CM_STORE) ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
  if (zip_set_file_compression(z, index, method, 0) != 0 ||
      ((st.valid & ZIP_STAT_MTIME) && zip_file_set_mtime(z, index, st.mtime, 0) != 0))
    throw DocumentError(std::string("cannot set the part ") + st.name + ": " + zip_strerror(z));
}

// The new archive written into the output: unchanged parts copied as they are, the
// changing ones recoded on the way.
void WriteRecoded(Archive& z, const Parts& p, ArchiveIo& io, AtomicFileWriter& out, int direction,
                  const fs::path& input) {
  for (std::size_t i = 0; i < p.entries.size(); ++i)
    if (p.entries[i].changes) ReplacePart(z.get(), i, p.entries[i].st, direction, *io.run);
  io.out_fd = out.fd();
  io.count_reads = true;
  if (zip_close(z.get()) != 0) {
    if (io.run->failure) std::rethrow_exception(io.run->failure);
    ThrowIfNoMemory(zip_error_code_zip(zip_get_error(z.get())));
    throw Damaged(input, std::string("cannot write the archive: ") + zip_strerror(z.get()));
  }
  z.release();  // closed
}

// The written file read back against what it must hold. An archive without text to change
// is the input byte for byte: its parts are still read through their CRCs, but its headers
// are not held to the strict consistency check that archives written here must pass.
void CheckWritten(const AtomicFileWriter& out, const Parts& p, bool copy, const fs::path& input,
                  const fs::path& output, Run& run) {
  try {
    const std::uint64_t before = run.done;
    VerifyZip(out.temp_path(), p.checks, !copy, "the written archive",
              [&](std::uint64_t n) { run.Add(before + n - run.done); });
  } catch (const DocumentError& e) {
    // Damage that the document itself carries (a part that does not match its own
    // directory) is copied, not made: name the document rather than the result.
    try {
      VerifyZipAsClaimed(input);
    } catch (const DocumentError& why) {
      throw Damaged(input, std::string("the document is damaged: ") + why.what());
    }
    throw FileError(FileError::Kind::Write, output, FileError::Why::kCheckFailed, e.what());
  } catch (const FileError& e) {
    throw FileError(FileError::Kind::Write, output, FileError::Why::kCheckFailed, e.reason());
  }
}

}  // namespace

void RecodeZipFile(InputFile& in, const fs::path& output, int direction, Progress& progress,
                   RecodeSummary& summary) {
  const fs::path& input = in.path();
  summary.handling = Handling::kXmlParts;
  try {
    CheckZipLayout(in.fd(), in.size());
  } catch (const DocumentError& e) {
    throw Damaged(input, e.what());
  }
  Run run;
  run.progress = &progress;
  ArchiveIo io;
  io.run = &run;
  io.in_fd = in.fd();
  io.in_size = in.size();
  io.output = &output;
  zip_error_init(&io.error);
  Archive z = OpenArchive(io, input);

  Parts parts;
  try {
    parts = ListParts(z.get());
    run.total = parts.xml + (in.size() + parts.xml * kDeflateWeight) + parts.all;
    MeasureRecodedParts(z.get(), parts, direction, run, summary);
  } catch (const DocumentError& e) {
    throw Damaged(input, e.what());
  }

  std::uint64_t rewritten = 0;
  for (const Entry& e : parts.entries)
    if (e.changes) rewritten += e.st.size;
  const bool copy = summary.changed == 0;  // nothing to recode: the archive stays byte for byte
  run.total = run.done + (copy ? 2 * in.size() : in.size() + rewritten * kDeflateWeight) + parts.all;

  AtomicFileWriter out(output, in.permissions());
  try {
    if (copy) {
      z.reset();
      CopyWhole(in, out, run);
    } else {
      WriteRecoded(z, parts, io, out, direction, input);
    }
  } catch (const DocumentError& e) {
    throw Damaged(input, e.what());
  }
  CheckWritten(out, parts, copy, input, output, run);
  out.Commit();
}

void VerifyZip(const std::filesystem::path& path, const std::vector<ZipEntryCheck>& checks, bool strict,
               std::string_view label, const std::function<void(std::uint64_t)>& progress) {
  const std::string what(label);
  int code = 0;
  Archive z(zip_open(path.c_str(), ZIP_RDONLY | (strict ? ZIP_CHECKCONS : 0), &code));
  if (!z) {
    ThrowIfNoMemory(code);
    throw DocumentError(what + " fails its check: " + ZipErrorText(code));
  }
  const zip_int64_t count = zip_get_num_entries(z.get(), 0);
  if (count < 0 || static_cast<std::size_t>(count) != checks.size())
    throw DocumentError(what + " has a different number of parts");
  std::vector<char> buf(1 << 16);
  std::uint64_t total = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    const ZipEntryCheck& want = checks[static_cast<std::size_t>(i)];
    zip_stat_t st;
    if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 || want.name != st.name ||
        st.size != want.size || st.crc != want.crc)
      throw DocumentError(what + "'s part " + want.name + " differs from what was meant");
    File f(zip_fopen_index(z.get(), static_cast<zip_uint64_t>(i), 0));
    if (!f) throw DocumentError(what + "'s part " + want.name + " cannot be opened: " + zip_strerror(z.get()));
    std::uint64_t got = 0;
    for (zip_int64_t n; (n = zip_fread(f.get(), buf.data(), buf.size())) != 0; got += static_cast<std::uint64_t>(n)) {
      if (n < 0) throw DocumentError(what + "'s part " + want.name + " is damaged: " + zip_file_strerror(f.get()));
      total += static_cast<std::uint64_t>(n);
      if (progress) progress(total);
    }
    if (got != want.size) throw DocumentError(what + "'s part " + want.name + " has the wrong size");
  }
}

void VerifyZipAsClaimed(const std::filesystem::path& path) {
  int code = 0;
  std::vector<ZipEntryCheck> claimed;
  {
    Archive z(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!z) throw DocumentError("the archive cannot be opened: " + ZipErrorText(code));
    const zip_int64_t count = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      zip_stat_t st;
      if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0)
        throw DocumentError(std::string("cannot read the archive's directory: ") + zip_strerror(z.get()));
      claimed.push_back({st.name, st.size, st.crc});
    }
  }
  VerifyZip(path, claimed, false, "the archive");
}

}  // namespace uy::formats
