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

}  // namespace

int RunRecode(const Args& args) {
  int direction = 0;
  std::optional<fs::path> output;
  std::vector<std::string> files;
  bool options_done = false;
  bool raw = false;
  bool recursive = false;
  uy::recode::TreeOptions tree;
  tree.jobs = std::max(1u, std::thread::hardware_concurrency());
  bool force = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      files.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "--help" || a == "-h") {
      return PrintUsage("recode");
    } else if (a == "--raw") {
      raw = true;
    } else if (a == "-r" || a == "--recursive") {
      recursive = true;
    } else if (a == "--overwrite") {
      tree.overwrite = true;
    } else if (a == "--out-dir" || a == "--jobs") {
      if (i + 1 == args.size()) return UsageError("recode: " + a + " needs a value");
      const std::string& value = args[++i];
      if (a == "--out-dir") {
        tree.out_dir = value;
      } else {
        unsigned jobs = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), jobs);
        if (ec != std::errc() || end != value.data() + value.size() || jobs == 0 || jobs > 1024)
          return UsageError("recode: --jobs must be a number from 1 to 1024, not '" + value + "'");
        tree.jobs = jobs;
      }
    } else if (a == "--force") {
      force = true;
    } else if (a == "--list") {
      PrintDirections();
      return 0;
    } else if (a == "-d" || a == "--direction" || a == "-o" || a == "--output") {
      if (i + 1 == args.size()) return UsageError("recode: " + a + " needs a value");
      const std::string& value = args[++i];
      if (a == "-o" || a == "--output") {
        output = value;
      } else if (auto d = ParseDirection(value)) {
        direction = *d;
      } else {
        return UsageError("recode: direction must be a number from 0 to 7, not '" + value + "'");
      }
    } else if (a.rfind("-d", 0) == 0 && a.size() > 2) {
      auto d = ParseDirection(a.substr(2));
      if (!d) return UsageError("recode: direction must be a number from 0 to 7, not '" + a.substr(2) + "'");
      direction = *d;
    } else {
      return UsageError("recode: unknown option '" + a + "'");
    }
  }
  if (files.empty()) return UsageError("recode: no document given");
  if (output && files.size() != 1) return UsageError("recode: -o takes exactly one document");
  if (recursive) {
    if (output) return UsageError("recode: -o does not go with -r (use --out-dir)");
    tree.direction = direction;
    return RecodeTrees(files, tree, [raw, force](const fs::path& in, const fs::path& out, int dir, rc::ProgressSink*) {
      if (!force) RefuseContradiction(in, dir);
      return RecodeOne(in, out, dir, raw, nullptr);
    });
  }
  if (tree.out_dir) return UsageError("recode: --out-dir goes with -r");

  std::vector<rc::BatchEntry> entries;
  for (const std::string& f : files) {
    const fs::path p(f);
    entries.push_back({p.parent_path(), p.filename().string()});
  }

  TerminalProgress progress;
  const bool tty = ::isatty(STDERR_FILENO) == 1;
  rc::BatchCallbacks callbacks;
  if (tty) callbacks.progress = &progress;
  callbacks.on_current = [&](std::size_t i) { progress.Start(files[i]); };
  callbacks.recoder = [&](const fs::path& in, const fs::path& out, int dir, rc::ProgressSink* sink) {
    const fs::path target = output ? *output : out;
    if (!force) RefuseContradiction(in, dir);
    std::size_t changed = 0;
    try {
      changed = RecodeOne(in, target, dir, raw, sink);
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
    std::cerr << "uyconv: unchanged " << files[i] << ": " << kNothingToRecode << '\n';
  };

  const auto failures = rc::RunBatch(entries, direction, callbacks);
  for (const rc::BatchFailure& f : failures) Error(f.reason);
  std::cerr << "uyconv: " << entries.size() - failures.size() - unchanged << " of " << entries.size()
            << " document(s) recoded (" << rc::GetDirection(direction).source << " -> "
            << rc::GetDirection(direction).target << ")";
  if (unchanged > 0) std::cerr << ", " << unchanged << " unchanged";
  if (!failures.empty()) std::cerr << ", " << failures.size() << " failed";
  std::cerr << '\n';
  return failures.empty() ? 0 : 1;
}

}  // namespace uyconv
