// SPDX-License-Identifier: GPL-3.0-or-later
// What a zip container must be before its parts are read: its layout read from its own
// directory (every part where the directory says, inside the file, none sharing bytes
// with another, nothing before the first) and a directory libzip reads whole.
#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <unistd.h>
#include <zip.h>

#include "zip_checks.h"

#include "file_io.h"
#include "read_bytes.h"

namespace uy::formats {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kEnd64Signature = 0x06064b50;
constexpr std::uint32_t kLocator64Signature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22, kLocator64Size = 20, kEnd64Size = 56, kCentralSize = 46, kLocalSize = 30;
constexpr std::size_t kMaxComment = 0xFFFF;

std::uint64_t Le64(std::span<const std::uint8_t> b, std::uint64_t off) {
  return Le32(b, off) | static_cast<std::uint64_t>(Le32(b, off + 4)) << 32;
}

class Reader {
 public:
  Reader(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t size() const { return size_; }
  // Exactly n bytes at `at`, or DocumentError.
  std::vector<std::uint8_t> At(std::uint64_t at, std::uint64_t n) const {
    if (at > size_ || n > size_ - at) throw DocumentError("the archive's directory points past its end");
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(n));
    for (std::size_t got = 0; got < buf.size();) {
      const ssize_t r = ::pread(fd_, buf.data() + got, buf.size() - got, static_cast<off_t>(at + got));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) throw DocumentError("the archive cannot be read: " + ErrnoText(r < 0 ? errno : EIO));
      got += static_cast<std::size_t>(r);
    }
    return buf;
  }

 private:
  int fd_;
  std::uint64_t size_;
};

struct Directory {
  std::uint64_t offset = 0, size = 0, entries = 0;
  std::uint64_t end_at = 0;  // where the end records start: the directory ends there
};

Directory FindDirectory(const Reader& r) {
  const std::uint64_t tail_size = std::min<std::uint64_t>(r.size(), kEndSize + kMaxComment);
  const std::uint64_t tail_at = r.size() - tail_size;
  const auto tail = r.At(tail_at, tail_size);
  for (std::size_t i = tail.size() >= kEndSize ? tail.size() - kEndSize + 1 : 0; i-- > 0;) {
    if (Le32(tail, i) != kEndSignature) continue;
    Directory d{Le32(tail, i + 16), Le32(tail, i + 12), Le16(tail, i + 10), tail_at + i};
    const bool zip64 = d.entries == 0xFFFF || d.size == 0xFFFFFFFF || d.offset == 0xFFFFFFFF;
    if (!zip64 || d.end_at < kLocator64Size) return d;
    const auto locator = r.At(d.end_at - kLocator64Size, kLocator64Size);
    if (Le32(locator, 0) != kLocator64Signature) return d;
    const std::uint64_t end64_at = Le64(locator, 8);
    const auto end64 = r.At(end64_at, kEnd64Size);
    if (Le32(end64, 0) != kEnd64Signature) throw DocumentError("the archive's zip64 directory record is missing");
    return {Le64(end64, 48), Le64(end64, 40), Le64(end64, 32), end64_at};
  }
  throw DocumentError("the archive has no end of directory record");
}

struct Span {
  std::uint64_t start, end;
  std::string name;
};

// One directory entry: where its part lies. `at` moves past the entry.
Span ReadEntry(const Reader& r, std::span<const std::uint8_t> cd, std::uint64_t& at) {
  if (Le32(cd, at) != kCentralSignature) throw DocumentError("the archive's directory is damaged");
  std::uint64_t comp = Le32(cd, at + 20), uncomp = Le32(cd, at + 24), local = Le32(cd, at + 42);
  const std::uint16_t name_len = Le16(cd, at + 28), extra_len = Le16(cd, at + 30), comment_len = Le16(cd, at + 32);
  const std::uint64_t extra = at + kCentralSize + name_len;
  if (extra + extra_len + comment_len > cd.size()) throw DocumentError("the archive's directory is damaged");
  std::string name(reinterpret_cast<const char*>(cd.data() + at + kCentralSize), name_len);
  // Zip64: the sizes and offset that do not fit follow, in this order, in the extra field.
  for (std::uint64_t e = extra; e + 4 <= extra + extra_len;) {
    const std::uint16_t id = Le16(cd, e), len = Le16(cd, e + 2);
    if (id == 0x0001) {
      std::uint64_t f = e + 4;
      for (std::uint64_t* v : {&uncomp, &comp, &local})
        if (*v == 0xFFFFFFFF && f + 8 <= e + 4 + len) *v = Le64(cd, f), f += 8;
    }
    e += 4 + len;
  }
  at = extra + extra_len + comment_len;
  const auto head = r.At(local, kLocalSize);
  if (Le32(head, 0) != kLocalSignature) throw DocumentError("the part " + name + " of the archive is not where its directory says");
  const std::uint64_t data = local + kLocalSize + Le16(head, 26) + Le16(head, 28);
  if (data > r.size() || comp > r.size() - data) throw DocumentError("the part " + name + " of the archive runs past its end");
  return {local, data + comp, std::move(name)};
}

}  // namespace

bool EndsWithZipDirectory(int fd, std::uint64_t size) {
  try {
    const Reader r(fd, size);
    const std::uint64_t tail_size = std::min<std::uint64_t>(size, kEndSize + kMaxComment);
    const auto tail = r.At(size - tail_size, tail_size);
    for (std::size_t i = tail.size() >= kEndSize ? tail.size() - kEndSize + 1 : 0; i-- > 0;)
      if (Le32(tail, i) == kEndSignature && i + kEndSize + Le16(tail, i + 20) == tail.size()) return true;
  } catch (const DocumentError&) {
  }
  return false;
}

void CheckZipLayout(int fd, std::uint64_t size) {
  const Reader r(fd, size);
  const Directory d = FindDirectory(r);
  if (d.offset > d.end_at || d.size != d.end_at - d.offset)
    throw DocumentError("the archive does not start at the start of the file (a self-extracting archive?)");
  const auto cd = r.At(d.offset, d.size);
  std::vector<Span> spans;
  std::uint64_t at = 0;
  for (std::uint64_t i = 0; i < d.entries; ++i) spans.push_back(ReadEntry(r, cd, at));
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
  if (!spans.empty() && spans.front().start != 0)
    throw DocumentError("the archive has " + std::to_string(spans.front().start) +
                        " bytes before its first part (a self-extracting archive?)");
  for (std::size_t i = 1; i < spans.size(); ++i)
    if (spans[i].start < spans[i - 1].end)
      throw DocumentError("the parts " + spans[i - 1].name + " and " + spans[i].name + " of the archive overlap");
  if (!spans.empty() && spans.back().end > d.offset) throw DocumentError("the part " + spans.back().name + " of the archive overlaps its directory");
}

std::string ZipErrorText(int code) {
  zip_error_t e;
  zip_error_init_with_code(&e, code);
  std::string text = zip_error_strerror(&e);
  zip_error_fini(&e);
  return text;
}

std::vector<zip_stat_t> ReadZipEntries(zip_t* z) {
  const zip_int64_t count = zip_get_num_entries(z, 0);
  std::vector<zip_stat_t> out(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)));
  std::unordered_set<std::string_view> names;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t& st = out[static_cast<std::size_t>(i)];
    if (zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st) != 0)
      throw DocumentError(std::string("cannot read the archive's directory: ") + zip_strerror(z));
    const zip_uint64_t need = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
    if ((st.valid & need) != need) throw DocumentError("the archive's directory is incomplete");
    if (!names.insert(st.name).second)
      throw DocumentError(std::string("the document is damaged: two of its parts are named ") + st.name);
    if (st.size != 0 && st.encryption_method != ZIP_EM_NONE && (st.valid & ZIP_STAT_ENCRYPTION_METHOD))
      throw DocumentError(std::string("the part ") + st.name + " of the archive is encrypted", DocumentError::Cause::kEncrypted);
  }
  return out;
}

}  // namespace uy::formats
