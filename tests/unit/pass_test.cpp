// SPDX-License-Identifier: GPL-3.0-or-later
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "file_io.h"
#include "pass.h"
#include "recoder_test_util.h"
#include "tables.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace uy::recode;
using uytest::ReadFile;
using uytest::TempDir;
using uytest::RecordingSink;
using uytest::WriteFile;

// The distinct progress values of the per-unit loop, in order.
std::vector<int> ReferenceProgress(std::uint64_t size) {
  std::vector<int> v;
  auto push = [&](int x) {
    if (v.empty() || v.back() != x) v.push_back(x);
  };
  if (size == 0) return {100};
  push(static_cast<int>(256000 / size));
  for (std::uint64_t off = 2560; off + 1 < size; off += 2) push(static_cast<int>(100 * (off + 2) / size));
  return v;
}

std::string Units(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

TEST(OutputFileName, SuffixBeforeALongExtensionOrTheLastFourCharacters) {
  const std::tuple<std::string, int, std::string> cases[] = {
      {"report.doc", 0, "report(Unicode).doc"}, {"report.xls", 1, "report(Korveli).xls"},
      {"a.ppt", 3, "a(Unicode).ppt"}, {"ab.x", 0, "(Unicode)ab.x"}, {"", 0, "(Unicode)"},
      {"report.doc", 1, "report(Korveli).doc"}, {"notes.md", 0, "note(Unicode)s.md"},
      {"abcd", 0, "(Unicode)abcd"}, {"abcde", 0, "a(Unicode)bcde"}, {"abc.", 0, "(Unicode)abc."},
      // Extensions of four or five characters stay whole.
      {"report.docx", 2, "report(Unicode).docx"}, {"x.docx", 0, "x(Unicode).docx"},
      {"book.xlsx", 1, "book(Korveli).xlsx"}, {"a.b.pptx", 0, "a.b(Unicode).pptx"},
      {"page.xhtml", 0, "page(Unicode).xhtml"}, {"..html", 0, ".(Unicode).html"},
      // A leading dot starts no extension; six characters are no extension either.
      {".docx", 0, ".(Unicode)docx"}, {"a.abcdef", 0, "a.ab(Unicode)cdef"},
      // "ھۆججەت.دوك": the last four characters are Arabic, two bytes each.
      {"\xDA\xBE\xDB\x86\xD8\xAC\xD8\xAC\xDB\x95\xD8\xAA.\xD8\xAF\xD9\x88\xD9\x83", 0,
       "\xDA\xBE\xDB\x86\xD8\xAC\xD8\xAC\xDB\x95\xD8\xAA(Unicode).\xD8\xAF\xD9\x88\xD9\x83"},
      {"\xE6\x96\x87.\xD8\xAF\xD9\x88\xD9\x83\xD8\xB3", 0,
       "\xE6\x96\x87(Unicode).\xD8\xAF\xD9\x88\xD9\x83\xD8\xB3"},  // four Arabic characters
      {"\xE6\x96\x87.doc", 0, "\xE6\x96\x87(Unicode).doc"},
      {"\xE6\x96\x87" "doc", 0, "(Unicode)\xE6\x96\x87" "doc"}};
  for (const auto& [name, d, want] : cases) EXPECT_EQ(OutputFileName(name, d), want) << name;
}

TEST(RecodeBuffer, MatchesTheUnitByUnitModel) {
  for (std::size_t size : {0, 1, 2559, 2560, 2561, 70001}) {
    std::string doc = uytest::RandomBytes(size, static_cast<unsigned>(size));
    for (std::size_t i = 1; i < doc.size(); i += 4) doc[i] = 0x06;  // frequent table values
    std::vector<std::uint8_t> buf(doc.begin(), doc.end());
    RecodeBuffer(buf, 2);
    EXPECT_EQ(std::string(buf.begin(), buf.end()), uytest::UnitByUnitPass(doc, 2)) << size;
  }
}

TEST(RecodeDocument, CraftedFiles) {
  TempDir dir;
  const std::string header(2560, '\x06');  // table values inside the header stay
  auto recode = [&](const std::string& doc, int d) {
    WriteFile(dir / "in.doc", doc);
    RecodeDocument(dir / "in.doc", dir / "out.doc", d, nullptr);
    return ReadFile(dir / "out.doc");
  };
  EXPECT_EQ(recode("", 0), "");
  EXPECT_EQ(recode(header, 0), header);
  EXPECT_EQ(recode(header + "\x38", 0), header + "\x38");
  EXPECT_EQ(recode(header + Units({0x38, 0x06, 0x26, 0x06}), 0), header + Units({0x26, 0x06, 0xD0, 0x06}));
  EXPECT_EQ(recode(header + Units({0x26, 0x06}), 1), header + Units({0x38, 0x06}));
  EXPECT_EQ(recode(header + Units({0x26, 0x06, 0x49}), 3), header + Units({0x38, 0x06, 0x49}));
  const std::string odd = header + Units({0x00, 0x38, 0x06, 0x00});  // a pair at an odd offset
  for (int d = 0; d < 8; ++d) EXPECT_EQ(recode(odd, d), odd);
  const std::string short_doc = Units({0x38, 0x06, 0x26, 0x06});
  EXPECT_EQ(recode(short_doc, 0), short_doc);
}

TEST(RecodeDocument, StreamedOutputMatchesTheModelAcrossBlocks) {
  TempDir dir;
  std::string doc = uytest::RandomBytes((3 << 20) + 2560 + 7, 42);
  for (std::size_t i = 1; i < doc.size(); i += 6) doc[i] = 0x06;
  WriteFile(dir / "big.xls", doc);
  for (int d : {0, 1, 4}) {
    RecodeDocument(dir / "big.xls", dir / "out.xls", d, nullptr);
    ASSERT_EQ(ReadFile(dir / "out.xls"), uytest::UnitByUnitPass(doc, d)) << d;
  }
  EXPECT_EQ(ReadFile(dir / "big.xls"), doc);  // the input is never touched
}

TEST(RecodeDocument, ProgressIsTheDistinctSequenceOfTheUnitLoop) {
  TempDir dir;
  for (std::uint64_t size : {1ull, 2559ull, 2560ull, 2561ull, 2562ull, 2563ull, 2564ull, 2600ull,
                             5121ull, 256000ull, 256001ull, 3000017ull}) {
    WriteFile(dir / "in", std::string(size, 'a'));
    RecordingSink sink;
    RecodeDocument(dir / "in", dir / "out", 0, &sink);
    ASSERT_EQ(sink.ranges, (std::vector<std::pair<int, int>>{{1, 100}})) << size;
    ASSERT_EQ(sink.positions, ReferenceProgress(size)) << size;
  }
  WriteFile(dir / "empty", "");
  RecordingSink sink;
  RecodeDocument(dir / "empty", dir / "out", 0, &sink);
  EXPECT_EQ(sink.positions, std::vector<int>{100});
}

TEST(RecodeDocument, FailuresLeaveTheOutputAsItWasAndNoTemporaryFile) {
  TempDir dir;
  WriteFile(dir / "in.doc", std::string(10000, 'x'));
  WriteFile(dir / "out.doc", "existing");
  auto expect_failure = [&](const fs::path& in, const fs::path& out, const std::string& fragment) {
    try {
      RecodeDocument(in, out, 0, nullptr);
      ADD_FAILURE() << "no failure for " << in << " -> " << out;
    } catch (const uy::FileError& e) {
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
  };
  expect_failure(dir / "missing.doc", dir / "out.doc", "missing.doc");
  expect_failure(dir.path(), dir / "out.doc", "folder");
  expect_failure(dir / "in.doc", dir / "nofolder" / "out.doc", "nofolder");
  fs::create_directory(dir / "sub");
  expect_failure(dir / "in.doc", dir / "sub", "sub");
  expect_failure(dir / "in.doc", dir / "in.doc", "in.doc");
  fs::create_symlink(dir / "in.doc", dir / "link.doc");
  expect_failure(dir / "in.doc", dir / "link.doc", "link.doc");
  {
    uytest::FileSizeLimit limit(4000);
    expect_failure(dir / "in.doc", dir / "out.doc", "out.doc");
  }
  EXPECT_EQ(ReadFile(dir / "out.doc"), "existing");
  EXPECT_EQ(ReadFile(dir / "in.doc"), std::string(10000, 'x'));
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"in.doc", "link.doc", "out.doc", "sub"}));
  EXPECT_THROW(RecodeDocument(dir / "in.doc", dir / "x.doc", 8, nullptr), std::out_of_range);
}

}  // namespace
