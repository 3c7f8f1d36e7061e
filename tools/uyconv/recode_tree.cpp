// SPDX-License-Identifier: GPL-3.0-or-later
#include "recode_tree.h"

#include <iostream>

#include "commands.h"
#include "tables.h"

namespace uyconv {

namespace rc = uy::recode;

int RunTrees(const std::vector<std::string>& roots, const rc::TreeOptions& options,
             const rc::DocumentRecoder& recoder, const TreeWording& wording) {
  std::vector<std::filesystem::path> paths(roots.begin(), roots.end());
  std::vector<rc::TreeResult> problems;
  const std::vector<rc::TreeJob> jobs = rc::FindTreeJobs(paths, options, problems);
  std::size_t recoded = 0, unchanged = 0, skipped = 0, failed = problems.size();
  for (const rc::TreeResult& p : problems) Error(p.reason);
  rc::RunTreeJobs(jobs, options, recoder, [&](const rc::TreeResult& r) {
    switch (r.outcome) {
      case rc::TreeOutcome::kRecoded:
        ++recoded;
        std::cout << r.job.output.string() << '\n';
        break;
      case rc::TreeOutcome::kUnchanged:
        ++unchanged;
        std::cout << r.job.output.string() << '\n';
        std::cerr << "uyconv: unchanged " << r.job.input.string() << ": " << wording.unchanged << '\n';
        break;
      case rc::TreeOutcome::kSkipped:
        ++skipped;
        std::cerr << "uyconv: skipped " << r.job.input.string() << ": " << r.reason << '\n';
        break;
      case rc::TreeOutcome::kFailed:
        ++failed;
        Error(r.reason);
        break;
    }
  });
  std::cout.flush();
  std::cerr << "uyconv: " << recoded << ' ' << wording.done << ", " << skipped << " skipped, " << failed
            << " failed, " << unchanged << " unchanged (" << wording.what << ")\n";
  return failed == 0 ? 0 : 1;
}

int RecodeTrees(const std::vector<std::string>& roots, const rc::TreeOptions& options,
                const rc::DocumentRecoder& recoder) {
  const rc::Direction& d = rc::GetDirection(options.direction);
  return RunTrees(roots, options, recoder,
                  {"recoded", kNothingToRecode, std::string(d.source) + " -> " + std::string(d.target)});
}

}  // namespace uyconv
