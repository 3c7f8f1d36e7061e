// Zip containers (OOXML, ODF): the text of XML parts is UTF-8, where U+0600..U+06FF are
// two-byte sequences, so every part keeps its length and only XML parts change.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include <zip.h>
#include <zlib.h>

#include "formats.h"
#include "formats_internal.h"

namespace uy::recode::detail {
namespace {

struct ArchiveCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

std::string ErrorText(int code) {
  zip_error_t e;
  zip_error_init_with_code(&e, code);
  std::string text = zip_error_strerror(&e);
  zip_error_fini(&e);
  return text;
}

// An XML part: after an optional UTF-8 mark and blanks, it starts with '<'.
bool LooksLikeXml(std::string_view data) {
  std::size_t i = 0;
  if (data.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n')) ++i;
  return i < data.size() && data[i] == '<';
}

std::string ReadEntry(zip_t* z, zip_uint64_t index, const zip_stat_t& st, const char* name) {
  std::unique_ptr<zip_file_t, decltype(&zip_fclose)> f(zip_fopen_index(z, index, 0), &zip_fclose);
  if (!f) throw FormatError(std::string("cannot open the part ") + name + " of the archive: " + zip_strerror(z));
  // The size in the directory is only a claim: memory follows the data actually read.
  std::string data;
  std::vector<char> buf(1 << 16);
  for (zip_int64_t n; (n = zip_fread(f.get(), buf.data(), buf.size())) != 0;) {
    if (n < 0) throw FormatError(std::string("cannot read the part ") + name + " of the archive: " + zip_file_strerror(f.get()));
    if (static_cast<std::uint64_t>(n) > st.size - data.size())
      throw FormatError(std::string("the part ") + name + " of the archive is longer than it says");
    data.append(buf.data(), static_cast<std::size_t>(n));
  }
  if (data.size() != st.size) throw FormatError(std::string("the part ") + name + " of the archive is cut short");
  return data;
}

// The first bytes of a part, enough to see whether it is XML.
std::string Peek(zip_t* z, zip_uint64_t index, const char* name) {
  std::unique_ptr<zip_file_t, decltype(&zip_fclose)> f(zip_fopen_index(z, index, 0), &zip_fclose);
  if (!f) throw FormatError(std::string("cannot open the part ") + name + " of the archive: " + zip_strerror(z));
  std::string head(256, '\0');
  const zip_int64_t n = zip_fread(f.get(), head.data(), head.size());
  if (n < 0) throw FormatError(std::string("cannot read the part ") + name + " of the archive: " + zip_file_strerror(f.get()));
  head.resize(static_cast<std::size_t>(n));
  return head;
}

std::uint32_t Crc(const std::string& data) {
  uLong crc = crc32(0L, Z_NULL, 0);
  const auto* p = reinterpret_cast<const Bytef*>(data.data());
  std::size_t left = data.size();
  while (left > 0) {
    const uInt n = static_cast<uInt>(std::min<std::size_t>(left, 1u << 30));
    crc = crc32(crc, p, n);
    p += n;
    left -= n;
  }
  return static_cast<std::uint32_t>(crc);
}

}  // namespace

std::string RecodeZip(const std::string& archive, int direction, std::vector<ZipEntryCheck>& checks,
                      std::size_t& total_changed, const StepProgress& progress) {
  checks.clear();
  // libzip takes an empty file for an empty archive, but would not free an empty buffer.
  if (archive.empty()) return archive;
  zip_error_t err;
  zip_error_init(&err);
  // The source owns a malloc'd copy: libzip 1.7 releases the old buffer itself when the
  // archive is rewritten into the source, even one it was told not to own.
  void* copy = std::malloc(std::max<std::size_t>(archive.size(), 1));
  if (!copy) throw FormatError("not enough memory for the archive");
  std::memcpy(copy, archive.data(), archive.size());
  zip_source_t* src = zip_source_buffer_create(copy, archive.size(), 1, &err);
  if (!src) {
    std::free(copy);
    throw FormatError("cannot read the archive: " + std::string(zip_error_strerror(&err)));
  }
  Archive z(zip_open_from_source(src, 0, &err));
  if (!z) {
    zip_source_free(src);
    const std::string why = zip_error_strerror(&err);
    zip_error_fini(&err);
    throw FormatError("not a readable zip archive: " + why);
  }
  zip_source_keep(src);  // the new archive is read back from it after closing
  std::unique_ptr<zip_source_t, decltype(&zip_source_free)> keep(src, &zip_source_free);

  const zip_int64_t count = zip_get_num_entries(z.get(), 0);
  std::uint64_t total = 0;
  std::vector<zip_stat_t> stats(static_cast<std::size_t>(count));
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t& st = stats[static_cast<std::size_t>(i)];
    if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0)
      throw FormatError(std::string("cannot read the archive's directory: ") + zip_strerror(z.get()));
    const zip_uint64_t need = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
    if ((st.valid & need) != need) throw FormatError("the archive's directory is incomplete");
    total += st.size;
  }

  std::vector<std::unique_ptr<std::string>> replaced;  // must outlive zip_close
  std::uint64_t done = 0;
  for (zip_int64_t i = 0; i < count; ++i) {
    const zip_stat_t& st = stats[static_cast<std::size_t>(i)];
    const auto index = static_cast<zip_uint64_t>(i);
    checks.push_back({st.name, st.size, st.crc});
    if (st.size == 0 || std::string_view(st.name).ends_with('/')) continue;
    if (st.encryption_method != ZIP_EM_NONE && (st.valid & ZIP_STAT_ENCRYPTION_METHOD))
      throw FormatError(std::string("the part ") + st.name + " of the archive is encrypted");
    done += st.size;
    if (progress && total) progress(static_cast<double>(done) / static_cast<double>(total));
    // Only XML parts (by content) are read whole; pictures and the like are not touched.
    if (!LooksLikeXml(Peek(z.get(), index, st.name))) continue;
    auto data = std::make_unique<std::string>(ReadEntry(z.get(), index, st, st.name));
    std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(data->data()), data->size());
    std::size_t changed = RecodeUtf8(bytes, direction);
    changed += RecodeCharacterReferences(bytes, direction);
    if (changed == 0) continue;
    total_changed += changed;

    checks.back().crc = Crc(*data);
    zip_source_t* part = zip_source_buffer(z.get(), data->data(), data->size(), 0);
    if (!part || zip_file_replace(z.get(), index, part, 0) != 0) {
      if (part) zip_source_free(part);
      throw FormatError(std::string("cannot replace the part ") + st.name + ": " + zip_strerror(z.get()));
    }
    // Keep the part's compression method and time stamp.
    const zip_int32_t method = (st.comp_method == ZIP_CM_STORE) ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    if (zip_set_file_compression(z.get(), index, method, 0) != 0 ||
        ((st.valid & ZIP_STAT_MTIME) && zip_file_set_mtime(z.get(), index, st.mtime, 0) != 0))
      throw FormatError(std::string("cannot set the part ") + st.name + ": " + zip_strerror(z.get()));
    replaced.push_back(std::move(data));
  }

  if (replaced.empty()) return archive;  // nothing to recode: the archive stays byte for byte

  if (zip_close(z.get()) != 0)
    throw FormatError(std::string("cannot write the archive: ") + zip_strerror(z.get()));
  z.release();  // closed

  zip_stat_t out_stat;
  if (zip_source_stat(src, &out_stat) != 0 || !(out_stat.valid & ZIP_STAT_SIZE) || zip_source_open(src) != 0)
    throw FormatError("cannot read the new archive back");
  std::string result(out_stat.size, '\0');
  const zip_int64_t n = zip_source_read(src, result.data(), out_stat.size);
  zip_source_close(src);
  if (n < 0 || static_cast<zip_uint64_t>(n) != out_stat.size) throw FormatError("cannot read the new archive back");
  return result;
}

void VerifyZip(const std::filesystem::path& path, const std::vector<ZipEntryCheck>& checks, bool strict,
               std::string_view label) {
  const std::string what(label);
  int code = 0;
  Archive z(zip_open(path.c_str(), ZIP_RDONLY | (strict ? ZIP_CHECKCONS : 0), &code));
  if (!z) throw FormatError(what + " fails its check: " + ErrorText(code));
  const zip_int64_t count = zip_get_num_entries(z.get(), 0);
  if (count < 0 || static_cast<std::size_t>(count) != checks.size())
    throw FormatError(what + " has a different number of parts");
  std::vector<char> buf(1 << 16);
  for (zip_int64_t i = 0; i < count; ++i) {
    const ZipEntryCheck& want = checks[static_cast<std::size_t>(i)];
    zip_stat_t st;
    if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 || want.name != st.name ||
        st.size != want.size || st.crc != want.crc)
      throw FormatError(what + "'s part " + want.name + " differs from what was meant");
    std::unique_ptr<zip_file_t, decltype(&zip_fclose)> f(zip_fopen_index(z.get(), static_cast<zip_uint64_t>(i), 0), &zip_fclose);
    if (!f) throw FormatError(what + "'s part " + want.name + " cannot be opened: " + zip_strerror(z.get()));
    std::uint64_t got = 0;
    for (zip_int64_t n; (n = zip_fread(f.get(), buf.data(), buf.size())) != 0; got += static_cast<std::uint64_t>(n))
      if (n < 0) throw FormatError(what + "'s part " + want.name + " is damaged: " + zip_file_strerror(f.get()));
    if (got != want.size) throw FormatError(what + "'s part " + want.name + " has the wrong size");
  }
}

void VerifyZipAsClaimed(const std::filesystem::path& path) {
  int code = 0;
  std::vector<ZipEntryCheck> claimed;
  {
    Archive z(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!z) throw FormatError("the archive cannot be opened: " + ErrorText(code));
    const zip_int64_t count = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
      zip_stat_t st;
      if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0)
        throw FormatError(std::string("cannot read the archive's directory: ") + zip_strerror(z.get()));
      claimed.push_back({st.name, st.size, st.crc});
    }
  }
  VerifyZip(path, claimed, false, "the archive");
}

}  // namespace uy::recode::detail
