// SPDX-License-Identifier: GPL-3.0-or-later
#include "tree.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "file_io.h"
#include "tables.h"

namespace uy::recode {

namespace fs = std::filesystem;

namespace {

bool IsOutputNameWith(std::string_view name, std::string_view suffix) {
  for (std::size_t at = name.find(suffix); at != std::string_view::npos; at = name.find(suffix, at + 1)) {
    std::string original(name.substr(0, at));
    original.append(name.substr(at + suffix.size()));
    if (OutputFileNameWith(original, suffix) == name) return true;
  }
  return false;
}

}  // namespace

bool IsOutputName(std::string_view name) {
  for (int d = 0; d < kDirectionCount; ++d)
    if (IsOutputNameWith(name, OutputSuffix(d))) return true;
  for (const std::string_view suffix : kScriptOutputSuffixes)
    if (IsOutputNameWith(name, suffix)) return true;
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
  const std::string file = input.filename().string();
  const std::string name = options.suffix.empty() ? OutputFileName(file, options.direction)
                                                  : OutputFileNameWith(file, options.suffix);
  if (!options.out_dir) return input.parent_path() / name;
  return *options.out_dir / mirror_root / input.parent_path().lexically_relative(base) / name;
}

}  // namespace

namespace {

struct Walk {
  const TreeOptions& options;
  std::vector<TreeJob>& jobs;
  std::vector<TreeResult>& problems;
  fs::path base;
  fs::path mirror_root;
  bool skip_out_dir;  // the output folder lies inside the walked tree: its files are outputs

  void Fail(const fs::path& dir, const std::error_code& ec) {
    problems.push_back({{dir, {}}, TreeOutcome::kFailed, "cannot read " + dir.string() + ": " + ec.message()});
  }

  void Take(const fs::path& file) {
    if (Hidden(file) || IsOutputName(file.filename().string())) return;
    jobs.push_back({file, OutputFor(file, base, mirror_root, options)});
  }

  // Every folder is read on its own: one that cannot be read (or stops reading halfway)
  // is named as a failure, and its neighbours are still walked.
  void Folder(const fs::path& dir) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    if (ec) return Fail(dir, ec);
    std::vector<fs::path> folders;
    for (; it != end; it.increment(ec)) {
      const fs::directory_entry& e = *it;
      std::error_code sec;
      if (e.is_symlink(sec)) {
        // Links to files are taken, links to folders are not walked.
        if (e.is_regular_file(sec)) Take(e.path());
      } else if (e.is_directory(sec)) {
        if (!Hidden(e.path()) && !(skip_out_dir && Within(e.path(), *options.out_dir))) folders.push_back(e.path());
      } else if (e.is_regular_file(sec)) {
        Take(e.path());
      }
    }
    if (ec) Fail(dir, ec);
    for (const fs::path& f : folders) Folder(f);
  }
};

}  // namespace

std::vector<TreeJob> FindTreeJobs(const std::vector<fs::path>& roots, const TreeOptions& options,
                                  std::vector<TreeResult>& problems) {
  GetDirection(options.direction);  // an unknown direction fails before any file
  std::vector<TreeJob> jobs;
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
    // An output folder that is the walked folder, or holds it, gets the outputs beside
    // their documents; only one inside the tree is left out of the walk.
    const bool skip_out_dir = options.out_dir && !Within(root, *options.out_dir) && Within(*options.out_dir, root);
    const std::size_t first = jobs.size();
    Walk walk{options, jobs, problems, root, folders > 1 ? FolderName(root) : fs::path(), skip_out_dir};
    walk.Folder(root);
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
          // Without --overwrite an output that appears meanwhile (another run) is kept.
          std::optional<NoReplaceScope> keep;
          if (!options.overwrite) keep.emplace();
          if (options.out_dir) {
            fs::create_directories(r.job.output.parent_path(), ec);
            if (ec) throw std::runtime_error("cannot create " + r.job.output.parent_path().string() + ": " + ec.message());
          }
          const std::size_t changed = recoder(r.job.input, r.job.output, options.direction, nullptr);
          r.outcome = changed > 0 ? TreeOutcome::kRecoded : TreeOutcome::kUnchanged;
        } catch (const FileError& e) {
          const bool exists = e.kind() == FileError::Kind::Exists;
          r.outcome = exists ? TreeOutcome::kSkipped : TreeOutcome::kFailed;
          r.reason = exists ? r.job.output.string() + " exists already" : e.what();
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
