// SPDX-License-Identifier: GPL-3.0-or-later
// The content-aware recoder on text: UTF-8, UTF-16, markup and rich text, in memory,
// in pieces split anywhere, and as files of any size.
#include <algorithm>
#include <fstream>
#include <functional>
#include <numeric>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "document_builders.h"
#include "text_recode.h"

namespace {

using namespace uytest;

std::vector<std::uint8_t> Buf(std::string_view s) { return {s.begin(), s.end()}; }
std::string Str(const std::vector<std::uint8_t>& b) { return {b.begin(), b.end()}; }

TEST(TextRecode, Utf8RecodesTwoByteArabicOnceAndKeepsEverythingElse) {
  // U+0638 U+0626 U+0639 U+0649 in direction 0: no second lookup in the chains.
  auto b = Buf("a\u0638\u0626 \u0639\u0649 \u4E2D\u0627\xF0\x9F\x98\x80");
  const std::string before = Str(b);
  EXPECT_EQ(fm::RecodeUtf8(b, 0), 4u);
  EXPECT_EQ(Str(b), "a\u0626\u06D0 \u0649\u06C8 \u4E2D\u0627\xF0\x9F\x98\x80");
  EXPECT_EQ(b.size(), before.size());
  // A stray lead byte at the end, and a lead without a continuation, stay.
  auto c = Buf("\xD8\x38\xD8");
  EXPECT_EQ(fm::RecodeUtf8(c, 0), 0u);
  EXPECT_EQ(Str(c), "\xD8\x38\xD8");
}

TEST(TextRecode, Utf16BothByteOrders) {
  auto le = Buf(std::string("\x38\x06\x26\x06\x06\x38", 6));
  EXPECT_EQ(fm::RecodeUtf16(le, false, 0), 2u);
  EXPECT_EQ(Str(le), std::string("\x26\x06\xD0\x06\x06\x38", 6));
  auto be = Buf(std::string("\x06\x38\x06\x26\x38\x06", 6));
  EXPECT_EQ(fm::RecodeUtf16(be, true, 0), 2u);
  EXPECT_EQ(Str(be), std::string("\x06\x26\x06\xD0\x38\x06", 6));
}

TEST(TextRecode, CharacterReferencesKeepTheirWidthAndCase) {
  auto b = Buf("<p>&#1592;&#x638;&#X0626;&#x6d0;&#1574; &#65; &#99999999999;</p>");
  EXPECT_EQ(fm::RecodeCharacterReferences(b, 0), 4u);  // U+06D0 has no pair in direction 0
  EXPECT_EQ(Str(b), "<p>&#1574;&#x626;&#X06D0;&#x6d0;&#1744; &#65; &#99999999999;</p>");
  // Without the ';' that browsers do without: ended by any other byte or by the text's end.
  // Leading zeros are part of the width, which stays.
  auto e = Buf("&#x638 &#1592<&#1592&#1592;&#0001592x&#000001592 &#x0000638g&#x000000638;&#1592");
  EXPECT_EQ(fm::RecodeCharacterReferences(e, 0), 9u);
  EXPECT_EQ(Str(e), "&#x626 &#1574<&#1574&#1574;&#0001574x&#000001574 &#x0000626g&#x000000626;&#1574");
  auto d = Buf("&#1744;&#x6C7;");
  EXPECT_EQ(fm::RecodeCharacterReferences(d, 1), 2u);
  EXPECT_EQ(Str(d), "&#1574;&#x630;");
}

TEST(TextRecode, RtfEscapesOnlyWhereTheyAreCharacters) {
  auto b = Buf("{\\rtf1\\uc1 \\u1592?\\u1574\\'c6 \\\\u1592 \\ul1592 \\u-1592 {\\bin4 \\u1592}\\u1593 \\u00000015921 x}");
  EXPECT_EQ(fm::RecodeRtfEscapes(b, 0), 3u);  // the last escape is U+3E31, all its digits read
  EXPECT_EQ(Str(b), "{\\rtf1\\uc1 \\u1574?\\u1744\\'c6 \\\\u1592 \\ul1592 \\u-1592 {\\bin4 \\u1592}\\u1609 \\u00000015921 x}");
  // Leading zeros stay; a value past 32 bits is not taken for its low bits (2^32 + 1592).
  auto c = Buf("\\u0000000001592?\\u4294968888?");
  EXPECT_EQ(fm::RecodeRtfEscapes(c, 0), 1u);
  EXPECT_EQ(Str(c), "\\u0000000001574?\\u4294968888?");
}

TEST(RecodeByContent, TextFilesAreRecodedFromTheFirstByte) {
  TempDir dir;
  // A stray NUL in UTF-8 text: still text, recoded.
  const std::string nul = std::string("\u0638 one NUL: \0 ") + std::string(60, '.');
  WriteFile(dir / "n.txt", nul);
  const auto s = fm::RecodeByContent(dir / "n.txt", dir / "m.txt", 0, nullptr);
  EXPECT_EQ(s.kind, fm::DocumentKind::kUtf8Text);
  EXPECT_EQ(s.changed, 1u);
  EXPECT_EQ(ReadFile(dir / "m.txt"), std::string("\u0626 one NUL: \0 ") + std::string(60, '.'));
  // Unmarked UTF-8 markup: characters and references.
  WriteFile(dir / "c.html", "<p>\u0638 &#1592;</p>");
  fm::RecodeByContent(dir / "c.html", dir / "d.html", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "d.html"), "<p>\u0626 &#1574;</p>");
  // Plain UTF-8 text: "&#1592;" is literal text there.
  WriteFile(dir / "e.txt", "\u0638 &#1592;");
  fm::RecodeByContent(dir / "e.txt", dir / "f.txt", 0, nullptr);
  EXPECT_EQ(ReadFile(dir / "f.txt"), "\u0626 &#1592;");
}

struct TextSample {
  const char* name;
  fm::DocumentKind kind;
  bool markup;
  std::string bytes;
  bool markup_whatever_its_start = false;  // as for the XML parts of zips
};
void PrintTo(const TextSample& s, std::ostream* os) { *os << s.name; }

// The whole text at once, through the in-memory functions.
std::string RecodeWhole(const TextSample& s, std::size_t& changed) {
  auto b = Buf(s.bytes);
  switch (s.kind) {
    case fm::DocumentKind::kUtf8Text:
      changed = fm::RecodeUtf8(b, 0) + (s.markup ? fm::RecodeCharacterReferences(b, 0) : 0);
      break;
    case fm::DocumentKind::kUtf16Text:
      changed = fm::RecodeUtf16(std::span(b).subspan(2), b[0] == 0xFE, 0);
      break;
    default:
      changed = fm::RecodeRtfEscapes(b, 0);
  }
  return Str(b);
}

class TextPieces : public testing::TestWithParam<TextSample> {};

// Characters, references, control words and units split at every byte give the result
// of the whole text.
TEST_P(TextPieces, EverySplitGivesTheWholeResult) {
  const TextSample& s = GetParam();
  std::size_t want_changed = 0;
  const std::string want = RecodeWhole(s, want_changed);
  ASSERT_GT(want_changed, 0u);
  const auto bytes = Bytes(s.bytes);
  auto recode = [&](const std::vector<std::size_t>& cuts) {
    fm::TextRecoder r(s.kind, 0, s.markup_whatever_its_start);
    std::string out;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
      r.Feed(bytes.subspan(from, cut - from), out);
      from = cut;
    }
    r.Feed(bytes.subspan(from), out);
    r.Finish(out);
    EXPECT_EQ(r.changed(), want_changed);
    return out;
  };
  for (std::size_t k = 0; k <= bytes.size(); ++k) ASSERT_EQ(recode({k}), want) << "split at " << k;
  std::vector<std::size_t> every(bytes.size());
  std::iota(every.begin(), every.end(), 0);
  EXPECT_EQ(recode(every), want);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, TextPieces,
    testing::Values(
        TextSample{"utf8", fm::DocumentKind::kUtf8Text, false,
                   "a\u0638\u0626 \u0639\u0649 \u4E2D &#1592; \xF0\x9F\x98\x80\u0638\xD8\x38\u0638\xD8"},
        TextSample{"markup", fm::DocumentKind::kUtf8Text, true,
                   "\xEF\xBB\xBF \n<p>\u0638 &#1592;&#x638 &#0001592x&#000001592 &&#1592&#X638;&#99999999"
                   "&#1592;</p>&#1592"},
        TextSample{"broken mark", fm::DocumentKind::kUtf8Text, false, "\xEF\xBB<p>\u0638 &#1592;"},
        TextSample{"xml part", fm::DocumentKind::kUtf8Text, true, "x &#1592; \u0638 &#x638", true},
        TextSample{"utf16le", fm::DocumentKind::kUtf16Text, false,
                   std::string("\xFF\xFE\x38\x06\x26\x06 \x00\x06\x38\x39\x06\x38", 13)},
        TextSample{"utf16be", fm::DocumentKind::kUtf16Text, false,
                   std::string("\xFE\xFF\x06\x38\x06\x26\x00 \x38\x06\x06\x39", 12)},
        TextSample{"rtf", fm::DocumentKind::kRtf, false,
                   "{\\rtf1\\uc1 \\u1592?\\u1574\\'c6 \\\\u1592 \\ul1592 \\u-1592 {\\bin4 \\u1592}\\u1593 "
                   "\\u000000001592 \\bin3 \\u1592\\u1592 \\binx\\u1592\\u15921\\u1592}\\u1592"}),
    [](const testing::TestParamInfo<TextSample>& i) {
      std::string n = i.param.name;
      std::replace(n.begin(), n.end(), ' ', '_');
      return n;
    });

// A text larger than any read whole before (64 MiB), recoded in a child process whose
// peak memory is measured. Smaller under the sanitizers, which are slow; the bound shows
// either way.
TEST(RecodeByContent, TextOfAnySizeIsRecodedInPiecesInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
  const std::size_t copies = 400'000;
#else
  const std::size_t copies = 2'000'000;
#endif
  const std::string line = "\u0638\u0626 legacy \u0639\u0649 &#1592;\n";  // 35 bytes
  const std::string want = "\u0626\u06D0 legacy \u0649\u06C8 &#1592;\n";
  TempDir dir;
  {
    std::ofstream f(dir / "big.txt", std::ios::binary);
    std::string block;
    for (int i = 0; i < 1000; ++i) block += line;
    for (std::size_t i = 0; i < copies / 1000; ++i) f << block;
  }
  struct Result {
    long grown_kb;
    std::size_t changed, positions;
    int first, last;
    bool rising, text;
  } result{};
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(fds[0]);
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    Recorder r;
    Result out{};
    try {
      const auto summary = fm::RecodeByContent(dir / "big.txt", dir / "out.txt", 0, &r);
      out.changed = summary.changed;
      out.text = summary.kind == fm::DocumentKind::kUtf8Text;
    } catch (...) {
    }
    ::getrusage(RUSAGE_SELF, &after);
    out.grown_kb = after.ru_maxrss - before.ru_maxrss;
    out.positions = r.positions.size();
    out.first = r.positions.empty() ? 0 : r.positions.front();
    out.last = r.positions.empty() ? 0 : r.positions.back();
    out.rising = std::adjacent_find(r.positions.begin(), r.positions.end(), std::greater_equal<int>()) ==
                 r.positions.end();
    (void)!::write(fds[1], &out, sizeof out);
    ::_exit(0);
  }
  ::close(fds[1]);
  ASSERT_EQ(::read(fds[0], &result, sizeof result), static_cast<ssize_t>(sizeof result));
  ::close(fds[0]);
  ::waitpid(pid, nullptr, 0);
  EXPECT_TRUE(result.text);
  EXPECT_EQ(result.changed, 4 * copies);
  EXPECT_LT(result.grown_kb, 32 * 1024);  // the text itself is 70 MB (14 MB)
  // Progress follows the bytes done: one position per piece, from the start to 100.
  EXPECT_GE(result.positions, std::min<std::size_t>(50, copies * line.size() >> 20));
  EXPECT_EQ(result.first, 1);
  EXPECT_EQ(result.last, 100);
  EXPECT_TRUE(result.rising);
  std::ifstream f(dir / "out.txt", std::ios::binary);
  std::string block(want.size() * 1000, '\0'), expected;
  for (int i = 0; i < 1000; ++i) expected += want;
  for (std::size_t i = 0; i < copies / 1000; ++i) {
    ASSERT_TRUE(f.read(block.data(), static_cast<std::streamsize>(block.size()))) << "short output";
    ASSERT_EQ(block, expected) << "block " << i;
  }
  EXPECT_EQ(f.get(), EOF);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"big.txt", "out.txt"}));
}

}  // namespace
