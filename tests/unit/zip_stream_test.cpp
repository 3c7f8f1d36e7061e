// SPDX-License-Identifier: GPL-3.0-or-later
// Zip containers recoded as streams: text cut between pieces, memory that does not grow
// with the parts, failures under a memory limit, progress that follows the work.
#include <algorithm>
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include "file_io.h"
#include "formats.h"
#include "formats_internal.h"
#include "recoder_test_util.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;
namespace rc = uy::recode;
namespace fm = uy::formats;
using uytest::TempDir;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // no address-space limits, and much slower
#else
constexpr bool kSanitized = false;
#endif

std::span<std::uint8_t> Span(std::string& s) { return {reinterpret_cast<std::uint8_t*>(s.data()), s.size()}; }

// Recodes `text` as pieces of at most `size` bytes arrive, the way a part is read.
std::pair<std::string, std::size_t> InPieces(const std::string& text, std::size_t size) {
  fm::PieceRecoder recoder(0, true);
  std::string out, held;
  for (std::size_t at = 0;;) {
    const std::size_t n = std::min(size, text.size() - at);
    held += text.substr(at, n);
    at += n;
    const std::size_t done = recoder.RecodePiece(Span(held), n == 0);
    EXPECT_LE(held.size() - done, fm::PieceRecoder::kMaxHeldBack);
    out += held.substr(0, done);
    held.erase(0, done);
    if (n == 0) break;
  }
  return {out, recoder.changed()};
}

TEST(ZipStream, TextCutBetweenPiecesIsRecodedAsAWhole) {
  const std::string sample =
      "<t>\u0638\u0626&#1592;&#x638;&#X0626;&#00001592;&#x6d0; \xD8\xD8\xB8 &#1592 &&#1592; &#x000000638;"
      "\u0639\u0649&#1593;</t>\xD8";
  std::string whole = sample;
  std::size_t changed = fm::RecodeUtf8(Span(whole), 0);
  changed += fm::RecodeCharacterReferences(Span(whole), 0);
  ASSERT_GT(changed, 8u);
  for (std::size_t size = 1; size <= sample.size(); ++size) {
    const auto [out, count] = InPieces(sample, size);
    EXPECT_EQ(out, whole) << "pieces of " << size;
    EXPECT_EQ(count, changed) << "pieces of " << size;
  }
}

// A piece of XML text with Arabic letters and references, recodable on its own.
std::string Piece() {
  std::string unit = "<p>\u0638\u0626 abc &#1592; \u0639\u0649 text</p>\n", piece;
  while (piece.size() + unit.size() <= (1u << 16)) piece += unit;
  return piece;
}

// Writes a zip of `parts` deflated XML parts, each `repeats` times Piece(), without
// deflating them whole: the piece deflated with a full flush is repeated.
void WriteBigZip(const fs::path& path, int parts, std::uint64_t repeats) {
  std::string piece = Piece(), body(piece.size() + 1024, '\0'), tail(16, '\0');
  z_stream zs{};
  ASSERT_EQ(deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  zs.next_in = reinterpret_cast<Bytef*>(piece.data());
  zs.avail_in = static_cast<uInt>(piece.size());
  zs.next_out = reinterpret_cast<Bytef*>(body.data());
  zs.avail_out = static_cast<uInt>(body.size());
  ASSERT_EQ(deflate(&zs, Z_FULL_FLUSH), Z_OK);
  body.resize(body.size() - zs.avail_out);
  zs.next_out = reinterpret_cast<Bytef*>(tail.data());
  zs.avail_out = static_cast<uInt>(tail.size());
  ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  tail.resize(tail.size() - zs.avail_out);
  deflateEnd(&zs);
  const uLong piece_crc = crc32(0, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size()));
  uLong crc = crc32(0, Z_NULL, 0);
  for (std::uint64_t k = 0; k < repeats; ++k) crc = crc32_combine(crc, piece_crc, static_cast<z_off_t>(piece.size()));
  const std::uint64_t size = piece.size() * repeats, packed = body.size() * repeats + tail.size();

  auto le = [](std::string& b, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
  };
  std::ofstream f(path, std::ios::binary);
  std::string central;
  std::uint64_t offset = 0;
  for (int i = 0; i < parts; ++i) {
    const std::string name = "part" + std::to_string(i) + ".xml";
    std::string local;
    for (auto [v, n] : {std::pair<std::uint64_t, int>{0x04034b50, 4}, {20, 2}, {0, 2}, {8, 2}, {0, 4}, {crc, 4},
                        {packed, 4}, {size, 4}, {name.size(), 2}, {0, 2}})
      le(local, v, n);
    for (auto [v, n] : {std::pair<std::uint64_t, int>{0x02014b50, 4}, {20, 2}, {20, 2}, {0, 2}, {8, 2}, {0, 4},
                        {crc, 4}, {packed, 4}, {size, 4}, {name.size(), 2}, {0, 2}, {0, 2}, {0, 2}, {0, 2},
                        {0, 4}, {offset, 4}})
      le(central, v, n);
    central += name;
    f << local << name;
    for (std::uint64_t k = 0; k < repeats; ++k) f << body;
    f << tail;
    offset += local.size() + name.size() + packed;
  }
  std::string end;
  for (auto [v, n] : {std::pair<std::uint64_t, int>{0x06054b50, 4}, {0, 2}, {0, 2}, {parts, 2}, {parts, 2},
                      {central.size(), 4}, {offset, 4}, {0, 2}})
    le(end, v, n);
  f << central << end;
}

// What the parts of WriteBigZip hold once recoded in direction 0.
std::pair<std::uint32_t, std::size_t> RecodedPart(std::uint64_t repeats) {
  std::string piece = Piece();
  std::size_t changed = fm::RecodeUtf8(Span(piece), 0);
  changed += fm::RecodeCharacterReferences(Span(piece), 0);
  const uLong piece_crc = crc32(0, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size()));
  uLong crc = crc32(0, Z_NULL, 0);
  for (std::uint64_t k = 0; k < repeats; ++k) crc = crc32_combine(crc, piece_crc, static_cast<z_off_t>(piece.size()));
  return {static_cast<std::uint32_t>(crc), changed * repeats};
}

// Runs `body` in a child process; its exit status and peak resident size in KiB.
template <typename F>
std::pair<int, long> InChild(F body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) _exit(body());
  int status = 0;
  struct rusage usage {};
  EXPECT_EQ(::wait4(pid, &status, 0, &usage), pid);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), usage.ru_maxrss};
}

TEST(ZipStream, MemoryDoesNotGrowWithThePartsAndTheResultIsExact) {
  TempDir dir;
  const std::uint64_t repeats = kSanitized ? 128 : 1024;  // a part of 8 MiB, or of 64 MiB
  const int parts = 1;
  WriteBigZip(dir / "big.zip", parts, repeats);
  struct rusage self {};
  ::getrusage(RUSAGE_SELF, &self);
  const auto [status, peak_kib] = InChild([&] {
    const auto summary = fm::RecodeByContent(dir / "big.zip", dir / "out.zip", 0, nullptr);
    return summary.changed == parts * RecodedPart(repeats).second ? 0 : 1;
  });
  ASSERT_EQ(status, 0);
  if (!kSanitized) {
    EXPECT_LT(peak_kib - self.ru_maxrss, 32 * 1024) << "KiB beyond the test's own";  // the part is 64 MiB
  }
  int err = 0;
  zip_t* z = zip_open((dir / "out.zip").c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  ASSERT_NE(z, nullptr);
  for (zip_uint64_t i = 0; i < parts; ++i) {
    zip_stat_t st;
    ASSERT_EQ(zip_stat_index(z, i, 0, &st), 0);
    EXPECT_EQ(st.size, Piece().size() * repeats);
    EXPECT_EQ(st.crc, RecodedPart(repeats).first);  // the writer's own check read it through this CRC
  }
  zip_discard(z);
}

TEST(ZipStream, UnderAMemoryLimitEveryFailureNamesTheDocument) {
  if (kSanitized) GTEST_SKIP() << "address-space limits do not work under the sanitizer";
  TempDir dir;
  WriteBigZip(dir / "big.zip", 1, 256);  // 16 MiB of XML
  for (const long margin_mib : {0, 1, 4, 16}) {
    const auto [status, peak] = InChild([&] {
      long pages = 0;
      std::ifstream("/proc/self/statm") >> pages;
      const rlim_t limit = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (margin_mib << 20);
      const struct rlimit lim {limit, limit};
      ::setrlimit(RLIMIT_AS, &lim);
      try {
        fm::RecodeByContent(dir / "big.zip", dir / "out.zip", 0, nullptr);
        return 0;
      } catch (const uy::FileError& e) {
        return std::string(e.what()).find("big.zip") != std::string::npos ? 0 : 2;
      } catch (...) {
        return 3;  // a failure that names no file
      }
    });
    EXPECT_EQ(status, 0) << "with " << margin_mib << " MiB to spare";
  }
  EXPECT_TRUE(fs::exists(dir / "out.zip"));  // done within a small margin
  fs::remove(dir / "out.zip");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"big.zip"});
}

TEST(ZipStream, ProgressFollowsTheBytesOfTheParts) {
  TempDir dir;
  WriteBigZip(dir / "four.zip", 4, 24);  // four parts of 1.5 MiB
  uytest::RecordingSink sink;
  fm::RecodeByContent(dir / "four.zip", dir / "out.zip", 0, &sink);
  ASSERT_EQ(sink.ranges, (std::vector<std::pair<int, int>>{{1, 100}}));
  ASSERT_GE(sink.positions.size(), 40u);
  EXPECT_LE(sink.positions.front(), 3);
  EXPECT_EQ(sink.positions.back(), 100);
  for (std::size_t i = 1; i < sink.positions.size(); ++i) {
    EXPECT_GT(sink.positions[i], sink.positions[i - 1]);
    EXPECT_LE(sink.positions[i] - sink.positions[i - 1], 4) << "a jump at " << sink.positions[i - 1];
  }
}

}  // namespace
