// SPDX-License-Identifier: GPL-3.0-or-later
// Recoding whole folder trees: every document found is recoded beside itself (or under
// an output folder that mirrors the tree), on several threads at once.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch.h"

namespace uy::recode {

// The suffixes the script conversion names its outputs with (to the Arabic script, Latin,
// Cyrillic and the New Script).
inline constexpr std::string_view kScriptOutputSuffixes[] = {"(Arabic)", "(Latin)", "(Cyrillic)", "(New Script)"};

// True when `name` is what OutputFileNameWith makes of some other name with a direction's
// suffix or a script conversion's: the output of an earlier run, which a tree run never
// takes as a document.
bool IsOutputName(std::string_view name);

struct TreeOptions {
  int direction = 0;
  std::string suffix;                             // of the outputs' names; empty: the direction's
  std::optional<std::filesystem::path> out_dir;  // empty: each output beside its document
  unsigned jobs = 1;                              // threads; 0 means one
  bool overwrite = false;                         // replace outputs that already exist
};

// One document found in a tree and where its output goes.
struct TreeJob {
  std::filesystem::path input;
  std::filesystem::path output;
};

// kUnchanged: the output was written, but nothing in the document was to recode.
enum class TreeOutcome { kRecoded, kUnchanged, kSkipped, kFailed };

struct TreeResult {
  TreeJob job;
  TreeOutcome outcome = TreeOutcome::kFailed;
  std::string reason;  // why it was skipped or failed; names the file
};

// The documents under `roots` (folders are walked, symbolic links to folders are not
// followed; files named directly are taken as they are) in a stable order. Hidden files,
// earlier outputs and anything under the output folder are left out. A folder that
// cannot be read gives a failed result in `problems`.
std::vector<TreeJob> FindTreeJobs(const std::vector<std::filesystem::path>& roots, const TreeOptions& options,
                                  std::vector<TreeResult>& problems);

// Runs every job on options.jobs threads through `recoder` (each output still written
// whole or not at all by the recoder). `on_done` is called once per job, from one
// thread at a time, in completion order. Returns the results in job order.
std::vector<TreeResult> RunTreeJobs(const std::vector<TreeJob>& jobs, const TreeOptions& options,
                                    const DocumentRecoder& recoder,
                                    const std::function<void(const TreeResult&)>& on_done = {});

}  // namespace uy::recode
