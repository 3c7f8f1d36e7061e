// SPDX-License-Identifier: GPL-3.0-or-later
// uyconv recode -r: whole folder trees.
#pragma once

#include <string>
#include <vector>

#include "batch.h"
#include "tree.h"

namespace uyconv {

// How a tree run reports: "recoded" or "converted", why an output is unchanged, and what
// the run did (in the summary's parentheses).
struct TreeWording {
  std::string done;
  std::string unchanged;
  std::string what;
};

// Runs `recoder` over every document under `roots`; prints each output on stdout, each
// skipped or failed document and a summary on stderr. Returns 0 when nothing failed, else 1.
int RunTrees(const std::vector<std::string>& roots, const uy::recode::TreeOptions& options,
             const uy::recode::DocumentRecoder& recoder, const TreeWording& wording);

// RunTrees for the recoding in options.direction.
int RecodeTrees(const std::vector<std::string>& roots, const uy::recode::TreeOptions& options,
                const uy::recode::DocumentRecoder& recoder);

}  // namespace uyconv
