// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as a zip container, recoded from one file into another. The direction
// is the sum of the bytes, modulo 8.
//
// Properties: recoding fails only with FileError, leaving no file behind (and leaking
// nothing); progress rises within 1..100 and ends at 100. An archive with nothing to
// recode comes back byte for byte. Otherwise the
// new archive passes libzip's consistency check (which the written file must pass)
// unless the input failed it too; one that passes holds the same entry names in the same
// order, at their old sizes, each readable through its CRC unless it was not before
// (the check of the written file then refuses it); a stored entry stays stored, and
// a leading stored "mimetype" stays first and stored; an entry whose data changed was XML
// and now holds its recoded text, the counts adding up to what was reported; every other
// entry keeps its compressed bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <zip.h>

#include "check.h"
#include "file_io.h"
#include "formats.h"

namespace {

namespace fs = std::filesystem;
namespace rc = uy::recode;
namespace fm = uy::formats;

// A folder of this process, removed at exit; tmpfs when there is one.
const fs::path& Folder() {
  static const fs::path* folder = [] {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string name = (base / "uy-fuzz-zip-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(name.data()) != nullptr);
    std::atexit([] { std::error_code e; fs::remove_all(Folder(), e); });
    return new fs::path(name);
  }();
  return *folder;
}

struct Sink : rc::ProgressSink {
  int last = 0;
  void SetRange(int minimum, int maximum) override { FUZZ_CHECK(minimum == 1 && maximum == 100); }
  void SetPosition(int position) override {
    FUZZ_CHECK(position > last && position <= 100);
    last = position;
  }
};

struct Closer {
  void operator()(zip_t* z) const { zip_discard(z); }
};
using Archive = std::unique_ptr<zip_t, Closer>;

Archive Open(const std::string& bytes, int flags) {
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err);
  FUZZ_CHECK(src != nullptr);
  zip_t* z = zip_open_from_source(src, flags, &err);
  if (!z) zip_source_free(src);
  zip_error_fini(&err);
  return Archive(z);
}

// The whole entry (through its CRC), or its stored bytes with ZIP_FL_COMPRESSED.
std::optional<std::string> Read(zip_t* z, zip_uint64_t i, zip_flags_t flags) {
  zip_stat_t st;
  if (zip_stat_index(z, i, 0, &st) != 0) return std::nullopt;
  std::unique_ptr<zip_file_t, decltype(&zip_fclose)> f(zip_fopen_index(z, i, flags), &zip_fclose);
  if (!f) return std::nullopt;
  std::string data;
  char buf[4096];
  for (zip_int64_t n; (n = zip_fread(f.get(), buf, sizeof buf)) != 0;) {
    if (n < 0) return std::nullopt;
    data.append(buf, static_cast<std::size_t>(n));
  }
  if (data.size() != ((flags & ZIP_FL_COMPRESSED) ? st.comp_size : st.size)) return std::nullopt;
  return data;
}

bool LooksLikeXml(std::string_view d) {
  std::size_t i = d.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (i < d.size() && (d[i] == ' ' || d[i] == '\t' || d[i] == '\r' || d[i] == '\n')) ++i;
  return i < d.size() && d[i] == '<';
}

bool StoredMimetypeFirst(zip_t* z, const std::string& bytes) {
  zip_stat_t st;
  return zip_get_num_entries(z, 0) > 0 && zip_stat_index(z, 0, 0, &st) == 0 &&
         std::string_view(st.name) == "mimetype" && st.comp_method == ZIP_CM_STORE &&
         bytes.size() >= 38 && bytes.compare(0, 4, "PK\x03\x04") == 0 && bytes[8] == 0 && bytes[9] == 0 &&
         bytes.compare(30, 8, "mimetype") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  if (!input.starts_with("PK\x03\x04") && !input.starts_with("PK\x05\x06")) return 0;  // not read as a zip
  const int direction = static_cast<int>(std::accumulate(data, data + size, 0u) % 8);
  const fs::path in_path = Folder() / "in.zip", out_path = Folder() / "out.zip";
  std::ofstream(in_path, std::ios::binary) << input;
  std::size_t changed = 0;
  Sink sink;
  try {
    changed = fm::RecodeByContent(in_path, out_path, direction, &sink).changed;
  } catch (const uy::FileError&) {
    FUZZ_CHECK(!fs::exists(out_path) && std::distance(fs::directory_iterator(Folder()), fs::directory_iterator()) == 1);
    return 0;
  }
  FUZZ_CHECK(sink.last == 100);
  std::ifstream read_back(out_path, std::ios::binary);
  const std::string output((std::istreambuf_iterator<char>(read_back)), std::istreambuf_iterator<char>());
  fs::remove(out_path);
  if (changed == 0) {
    FUZZ_CHECK(output == input);
    return 0;
  }

  const Archive in = Open(input, ZIP_RDONLY), out = Open(output, ZIP_RDONLY | ZIP_CHECKCONS);
  FUZZ_CHECK(in);
  if (!out) {  // refused by the check of the written file, as it was inconsistent before
    FUZZ_CHECK(!Open(input, ZIP_RDONLY | ZIP_CHECKCONS));
    return 0;
  }
  const zip_int64_t count = zip_get_num_entries(in.get(), 0);
  FUZZ_CHECK(zip_get_num_entries(out.get(), 0) == count);
  if (StoredMimetypeFirst(in.get(), input)) FUZZ_CHECK(StoredMimetypeFirst(out.get(), output));
  std::size_t recoded = 0;
  for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
    const char* name_in = zip_get_name(in.get(), i, ZIP_FL_ENC_RAW);
    const char* name_out = zip_get_name(out.get(), i, ZIP_FL_ENC_RAW);
    FUZZ_CHECK(name_in && name_out && std::string_view(name_in) == name_out);
    zip_stat_t st_in, st_out;
    FUZZ_CHECK(zip_stat_index(in.get(), i, 0, &st_in) == 0 && zip_stat_index(out.get(), i, 0, &st_out) == 0);
    FUZZ_CHECK(st_out.size == st_in.size);
    if (st_in.comp_method == ZIP_CM_STORE) FUZZ_CHECK(st_out.comp_method == ZIP_CM_STORE);
    const std::optional<std::string> now = Read(out.get(), i, 0);
    std::optional<std::string> text = Read(in.get(), i, 0);
    FUZZ_CHECK(now.has_value() || !text);  // damage is copied, never made
    // A part damaged in the document may be rewritten by the archive library; the check
    // of the written file refuses such a document, naming it.
    if (!text) continue;
    if (Read(in.get(), i, ZIP_FL_COMPRESSED) == Read(out.get(), i, ZIP_FL_COMPRESSED)) continue;
    FUZZ_CHECK(now.has_value() && text.has_value() && LooksLikeXml(*text));
    std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(text->data()), text->size());
    recoded += fm::RecodeUtf8(bytes, direction);
    recoded += fm::RecodeCharacterReferences(bytes, direction);
    FUZZ_CHECK(*now == *text);
  }
  FUZZ_CHECK(recoded == changed);
  return 0;
}
