// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "batch.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;
using namespace uy::recode;
using uytest::ReadFile;
using uytest::TempDir;
using uytest::WriteFile;

struct Recorder {
  std::vector<std::string> events;
  BatchCallbacks Callbacks() {
    BatchCallbacks c;
    c.on_current = [this](std::size_t i) { events.push_back("current " + std::to_string(i)); };
    c.on_last_output = [this](const fs::path& p) { events.push_back("output " + p.filename().string()); };
    c.on_complete = [this](const std::vector<BatchFailure>& f) {
      events.push_back("complete " + std::to_string(f.size()));
    };
    return c;
  }
};

TEST(RunBatch, RunsEveryEntryInListOrderDuplicatesIncluded) {
  TempDir dir;
  const std::string header(2560, 'h');
  WriteFile(dir / "a.doc", header + "\x38\x06");
  WriteFile(dir / "b.doc", header + "\x26\x06");
  Recorder rec;
  std::vector<std::string> order;
  BatchCallbacks c = rec.Callbacks();
  c.recoder = [&](const fs::path& in, const fs::path& out, int d, ProgressSink* p) {
    order.push_back(in.filename().string());
    return RecodeDocument(in, out, d, p);
  };
  const auto failures = RunBatch(EntriesInFolder(dir.path(), {"a.doc", "b.doc", "a.doc"}), 0, c);
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(order, (std::vector<std::string>{"a.doc", "b.doc", "a.doc"}));
  EXPECT_EQ(rec.events, (std::vector<std::string>{"current 0", "output a(Unicode).doc", "current 1",
                                                  "output b(Unicode).doc", "current 2",
                                                  "output a(Unicode).doc", "complete 0"}));
  EXPECT_EQ(ReadFile(dir / "a(Unicode).doc"), header + "\x26\x06");
  EXPECT_EQ(ReadFile(dir / "b(Unicode).doc"), header + "\xD0\x06");
}

TEST(RunBatch, EmptyListStillCompletes) {
  Recorder rec;
  EXPECT_TRUE(RunBatch({}, 3, rec.Callbacks()).empty());
  EXPECT_EQ(rec.events, std::vector<std::string>{"complete 0"});
}

TEST(RunBatch, GoesOnAfterAFailureAndReportsIt) {
  TempDir dir;
  TempDir other;
  WriteFile(dir / "good.doc", "x");
  WriteFile(other / "far.xls", "y");
  Recorder rec;
  std::vector<BatchEntry> entries = {{dir.path(), "gone.doc"}, {dir.path(), "good.doc"}, {other.path(), "far.xls"}};
  const auto failures = RunBatch(entries, 1, rec.Callbacks());
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].index, 0u);
  EXPECT_EQ(failures[0].input, dir / "gone.doc");
  EXPECT_NE(failures[0].reason.find("gone.doc"), std::string::npos);
  EXPECT_NE(failures[0].reason.find("No such file"), std::string::npos);
  EXPECT_EQ(rec.events.back(), "complete 1");
  EXPECT_EQ(ReadFile(dir / "good(Korveli).doc"), "x");
  EXPECT_EQ(ReadFile(other / "far(Korveli).xls"), "y");  // each entry keeps its own folder
}

TEST(RunBatch, UnknownDirectionTouchesNoFile) {
  TempDir dir;
  WriteFile(dir / "a.doc", "x");
  EXPECT_THROW(RunBatch(EntriesInFolder(dir.path(), {"a.doc"}), 9, {}), std::out_of_range);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"a.doc"});
}

}  // namespace
