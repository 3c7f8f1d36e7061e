// SPDX-License-Identifier: GPL-3.0-or-later
// uyconv recode -r: whole folder trees.
#pragma once

#include <string>
#include <vector>

#include "batch.h"
#include "tree.h"

namespace uyconv {

// Recodes every document under `roots`; prints each output on stdout, each skipped or
// failed document and a summary on stderr. Returns 0 when nothing failed, else 1.
int RecodeTrees(const std::vector<std::string>& roots, const uy::recode::TreeOptions& options,
                const uy::recode::DocumentRecoder& recoder);

}  // namespace uyconv
