// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>
#include <algorithm>
#include <stdexcept>

#include <unistd.h>

#include "batch.h"
#include "commands.h"
#include "detect.h"
#include "formats.h"
#include "recode_tree.h"
#include "tables.h"
#include "utf.h"

namespace uyconv {
namespace {

namespace fs = std::filesystem;
namespace rc = uy::recode;
namespace fm = uy::formats;

void PrintDirections() {
  for (int d = 0; d < rc::kDirectionCount; ++d) {
    const rc::Direction& dir = rc::GetDirection(d);
    std::cout << d << '\t' << uy::ToUtf8(dir.caption) << '\t' << dir.source << " -> " << dir.target
              << '\t' << dir.suffix << '\n';
  }
}

// Shows a percentage on the terminal while one document is recoded, following the
// positions the recoder reports (range 1..100; a position past the end shows 100). The
// line is redrawn only when the shown figure changes, however often positions come.
class TerminalProgress : public rc::ProgressSink {
 public:
  void Start(const std::string& name) {
    name_ = name;
    shown_ = -1;
  }
  void SetRange(int, int) override {}
  void SetPosition(int position) override {
    const int percent = std::clamp(position, 0, 100);
    if (percent == shown_) return;
    shown_ = percent;
    std::fprintf(stderr, "\r%s: %3d%%", name_.c_str(), percent);
    std::fflush(stderr);
  }
  void End() {
    if (shown_ >= 0) std::fputs("\n", stderr);
    shown_ = -1;
  }

 private:
  std::string name_;
  int shown_ = -1;
};

std::optional<int> ParseDirection(const std::string& text) {
  int value = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value >= rc::kDirectionCount)
    return std::nullopt;
  return value;
}

// One document recoded by content (or by the unit pass with --raw); malformed bytes kept
// in UTF-8 text are warned about. Returns the characters changed.
std::size_t RecodeOne(const fs::path& in, const fs::path& out, int dir, bool raw, rc::ProgressSink* sink) {
  if (raw) return rc::RecodeDocument(in, out, dir, sink);
  const fm::RecodeSummary s = fm::RecodeByContent(in, out, dir, sink);
  if (s.malformed > 0)
    std::cerr << "uyconv: warning: " << in.string() << ": " << s.malformed
              << " malformed UTF-8 byte(s) kept as they were, the first at offset " << s.first_malformed << '\n';
  return s.changed;
}

// Recoding in the wrong direction garbles the text without any error to see.
void RefuseContradiction(const fs::path& in, int dir) {
  const fm::Detection found = fm::DetectDocument(in);
  if (fm::ContradictsDirection(found, dir))
    throw std::runtime_error(in.string() + ": " + fm::ContradictionReason(found, dir) +
                             " (--force recodes it anyway)");
}

// The command line of `uyconv recode`.
struct RecodeArgs {
  int direction = 0;
  std::optional<fs::path> output;
  std::vector<std::string> files;
  bool raw = false;
  bool recursive = false;
  bool force = false;
  rc::TreeOptions tree;
};

// --jobs N: 1 to 1024.
std::optional<unsigned> ParseJobs(const std::string& value) {
  unsigned jobs = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), jobs);
  if (ec != std::errc() || end != value.data() + value.size() || jobs == 0 || jobs > 1024) return std::nullopt;
  return jobs;
}

// An option that takes a value (args[i] the option, args[i + 1] its value). Returns an exit
// code when the command ends here.
std::optional<int> TakeValue(const std::string& a, const std::string& value, RecodeArgs& r) {
  if (a == "--out-dir") {
    r.tree.out_dir = value;
  } else if (a == "--jobs") {
    const auto jobs = ParseJobs(value);
    if (!jobs) return UsageError("recode: --jobs must be a number from 1 to 1024, not '" + value + "'");
    r.tree.jobs = *jobs;
  } else if (a == "-o" || a == "--output") {
    r.output = value;
  } else if (auto d = ParseDirection(value)) {
    r.direction = *d;
  } else {
    return UsageError("recode: direction must be a number from 0 to 7, not '" + value + "'");
  }
  return std::nullopt;
}

bool TakesValue(const std::string& a) {
  return a == "--out-dir" || a == "--jobs" || a == "-d" || a == "--direction" || a == "-o" || a == "--output";
}

// One option that is no file. Returns an exit code when the command ends here.
std::optional<int> TakeOption(const Args& args, std::size_t& i, RecodeArgs& r) {
  const std::string& a = args[i];
  if (a == "--help" || a == "-h") return PrintUsage("recode");
  if (a == "--list") {
    PrintDirections();
    return 0;
  }
  if (a == "--raw") r.raw = true;
  else if (a == "-r" || a == "--recursive") r.recursive = true;
  else if (a == "--overwrite") r.tree.overwrite = true;
  else if (a == "--force") r.force = true;
  else if (TakesValue(a)) {
    if (i + 1 == args.size()) return UsageError("recode: " + a + " needs a value");
    return TakeValue(a, args[++i], r);
  } else if (a.rfind("-d", 0) == 0 && a.size() > 2) {
    auto d = ParseDirection(a.substr(2));
    if (!d) return UsageError("recode: direction must be a number from 0 to 7, not '" + a.substr(2) + "'");
    r.direction = *d;
  } else {
    return UsageError("recode: unknown option '" + a + "'");
  }
  return std::nullopt;
}

// The arguments read, or the exit code when the command ends while reading them.
std::optional<int> ParseRecodeArgs(const Args& args, RecodeArgs& r) {
  r.tree.jobs = std::max(1u, std::thread::hardware_concurrency());
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      r.files.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (auto code = TakeOption(args, i, r)) {
      return code;
    }
  }
  if (r.files.empty()) return UsageError("recode: no document given");
  if (r.output && r.files.size() != 1) return UsageError("recode: -o takes exactly one document");
  if (r.recursive && r.output) return UsageError("recode: -o does not go with -r (use --out-dir)");
  if (!r.recursive && r.tree.out_dir) return UsageError("recode: --out-dir goes with -r");
  return std::nullopt;
}

int RecodeTreesOf(RecodeArgs& r) {
  r.tree.direction = r.direction;
  return RecodeTrees(r.files, r.tree, [raw = r.raw, force = r.force](const fs::path& in, const fs::path& out, int dir,
                                                                     rc::ProgressSink*) {
    if (!force) RefuseContradiction(in, dir);
    return RecodeOne(in, out, dir, raw, nullptr);
  });
}

void PrintBatchSummary(const RecodeArgs& r, std::size_t count, std::size_t failed, std::size_t unchanged) {
  const rc::Direction& dir = rc::GetDirection(r.direction);
  std::cerr << "uyconv: " << count - failed - unchanged << " of " << count << " document(s) recoded ("
            << dir.source << " -> " << dir.target << ")";
  if (unchanged > 0) std::cerr << ", " << unchanged << " unchanged";
  if (failed > 0) std::cerr << ", " << failed << " failed";
  std::cerr << '\n';
}

// The documents named, one after the other, each output beside its document (or at -o).
int RecodeFiles(const RecodeArgs& r) {
  std::vector<rc::BatchEntry> entries;
  for (const std::string& f : r.files) {
    const fs::path p(f);
    entries.push_back({p.parent_path(), p.filename().string()});
  }
  TerminalProgress progress;
  rc::BatchCallbacks callbacks;
  if (::isatty(STDERR_FILENO) == 1) callbacks.progress = &progress;
  callbacks.on_current = [&](std::size_t i) { progress.Start(r.files[i]); };
  callbacks.recoder = [&](const fs::path& in, const fs::path& out, int dir, rc::ProgressSink* sink) {
    const fs::path target = r.output ? *r.output : out;
    if (!r.force) RefuseContradiction(in, dir);
    std::size_t changed = 0;
    try {
      changed = RecodeOne(in, target, dir, r.raw, sink);
    } catch (...) {
      progress.End();
      throw;
    }
    progress.End();
    std::cout << target.string() << '\n';
    return changed;
  };
  std::size_t unchanged = 0;
  callbacks.on_unchanged = [&](std::size_t i) {
    ++unchanged;
    std::cerr << "uyconv: unchanged " << r.files[i] << ": " << kNothingToRecode << '\n';
  };
  const auto failures = rc::RunBatch(entries, r.direction, callbacks);
  for (const rc::BatchFailure& f : failures) Error(f.reason);
  PrintBatchSummary(r, entries.size(), failures.size(), unchanged);
  return failures.empty() ? 0 : 1;
}

}  // namespace

int RunRecode(const Args& args) {
  RecodeArgs r;
  if (const auto code = ParseRecodeArgs(args, r)) return *code;
  return r.recursive ? RecodeTreesOf(r) : RecodeFiles(r);
}

}  // namespace uyconv
