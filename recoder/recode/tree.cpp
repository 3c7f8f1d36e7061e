// SPDX-License-Identifier: GPL-3.0-or-later
#include "tree.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "tables.h"

namespace uy::recode {

namespace fs = std::filesystem;

bool IsOutputName(std::string_view name) {
  for (int d = 0; d < kDirectionCount; ++d) {
    const std::string_view suffix = OutputSuffix(d);
    for (std::size_t at = name.find(suffix); at != std::string_view::npos; at = name.find(suffix, at + 1)) {
      std::string original(name.substr(0, at));
      original.append(name.substr(at + suffix.size()));
      if (OutputFileName(original, d) == name) return true;
    }
  }
  return false;
}

namespace {

bool Hidden(const fs::path& p) {
  const std::string n = p.filename().string();
  return !n.empty() && n[0] == '.';
}

// True when `p` is `dir` or lies under it (both made absolute and normal).
bool Within(const fs::path& p, const fs::path& dir) {
  const fs::path a = fs::absolute(p).lexically_normal();
  const fs::path b = fs::absolute(dir).lexically_normal();
  auto [ai, bi] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return bi == b.end() || (std::next(bi) == b.end() && bi->empty());
}

// "docs" for "docs", "docs/", "./docs" and "/a/docs".
fs::path FolderName(const fs::path& dir) {
  fs::path p = fs::absolute(dir).lexically_normal();
  if (p.filename().empty()) p = p.parent_path();
  return p.filename();
}

fs::path OutputFor(const fs::path& input, const fs::path& base, const fs::path& mirror_root,
                   const TreeOptions& options) {
  const std::string name = OutputFileName(input.filename().string(), options.direction);
  if (!options.out_dir) return input.parent_path() / name;
  return *options.out_dir / mirror_root / input.parent_path().lexically_relative(base) / name;
}

}  // namespace

std::vector<TreeJob> FindTreeJobs(const std::vector<fs::path>& roots, const TreeOptions& options,
                                  std::vector<TreeResult>& problems) {
  GetDirection(options.direction);  // an unknown direction fails before any file
  std::vector<TreeJob> jobs;
  auto take = [&](const fs::path& file, const fs::path& base, const fs::path& mirror_root) {
    if (Hidden(file) || IsOutputName(file.filename().string())) return;
    if (options.out_dir && Within(file, *options.out_dir)) return;
    jobs.push_back({file, OutputFor(file, base, mirror_root, options)});
  };
  // Several folders under one output folder each get a folder of their own name there.
  std::size_t folders = 0;
  for (const fs::path& r : roots) {
    std::error_code ec;
    if (fs::is_directory(r, ec)) ++folders;
  }
  for (const fs::path& root : roots) {
    std::error_code ec;
    const fs::file_status st = fs::status(root, ec);
    if (ec || !fs::exists(st)) {
      problems.push_back({{root, {}}, TreeOutcome::kFailed,
                          "cannot read " + root.string() + ": " + (ec ? ec.message() : "No such file or directory")});
      continue;
    }
    if (!fs::is_directory(st)) {
      // A document named directly: its output goes straight into the output folder.
      jobs.push_back({root, OutputFor(root, root.parent_path(), {}, options)});
      continue;
    }
    const fs::path mirror_root = folders > 1 ? FolderName(root) : fs::path();
    const std::size_t first = jobs.size();
    fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end;
    if (ec) {
      problems.push_back({{root, {}}, TreeOutcome::kFailed, "cannot read " + root.string() + ": " + ec.message()});
      continue;
    }
    for (; it != end; it.increment(ec)) {
      if (ec) {
        problems.push_back({{root, {}}, TreeOutcome::kFailed, "cannot read " + root.string() + ": " + ec.message()});
        break;
      }
      const fs::directory_entry& e = *it;
      std::error_code sec;
      if (e.is_directory(sec)) {
        // Hidden folders, the output folder and symbolic links to folders are not walked.
        if (Hidden(e.path()) || e.is_symlink(sec) || (options.out_dir && Within(e.path(), *options.out_dir)))
          it.disable_recursion_pending();
        continue;
      }
      if (e.is_regular_file(sec)) take(e.path(), root, mirror_root);
    }
    std::sort(jobs.begin() + static_cast<std::ptrdiff_t>(first), jobs.end(),
              [](const TreeJob& a, const TreeJob& b) { return a.input < b.input; });
  }
  return jobs;
}

std::vector<TreeResult> RunTreeJobs(const std::vector<TreeJob>& jobs, const TreeOptions& options,
                                    const DocumentRecoder& recoder,
                                    const std::function<void(const TreeResult&)>& on_done) {
  std::vector<TreeResult> results(jobs.size());
  std::atomic<std::size_t> next{0};
  std::mutex done_mutex;
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < jobs.size();) {
      TreeResult& r = results[i];
      r.job = jobs[i];
      std::error_code ec;
      if (!options.overwrite && fs::exists(fs::symlink_status(r.job.output, ec))) {
        r.outcome = TreeOutcome::kSkipped;
        r.reason = r.job.output.string() + " exists already";
      } else {
        try {
          if (options.out_dir) {
            fs::create_directories(r.job.output.parent_path(), ec);
            if (ec) throw std::runtime_error("cannot create " + r.job.output.parent_path().string() + ": " + ec.message());
          }
          recoder(r.job.input, r.job.output, options.direction, nullptr);
          r.outcome = TreeOutcome::kRecoded;
        } catch (const std::exception& e) {
          r.outcome = TreeOutcome::kFailed;
          r.reason = e.what();
        }
      }
      if (on_done) {
        std::lock_guard lock(done_mutex);
        on_done(r);
      }
    }
  };
  const unsigned n = std::clamp<unsigned>(options.jobs, 1, std::max<std::size_t>(jobs.size(), 1));
  std::vector<std::jthread> threads;
  for (unsigned t = 1; t < n; ++t) threads.emplace_back(work);
  work();
  return results;
}

}  // namespace uy::recode
