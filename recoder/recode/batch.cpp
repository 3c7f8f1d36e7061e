// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"

#include <exception>

#include "tables.h"

namespace uy::recode {

std::vector<BatchEntry> EntriesInFolder(const std::filesystem::path& folder,
                                        const std::vector<std::string>& names) {
  std::vector<BatchEntry> entries;
  entries.reserve(names.size());
  for (const std::string& name : names) entries.push_back({folder, name});
  return entries;
}

std::filesystem::path OutputPathFor(const BatchEntry& entry, int direction) {
  return entry.folder / OutputFileName(entry.name, direction);
}

std::vector<BatchFailure> RunBatch(const std::vector<BatchEntry>& entries, int direction,
                                   const BatchCallbacks& callbacks) {
  GetDirection(direction);  // an unknown direction fails the whole run before any file
  std::vector<BatchFailure> failures;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (callbacks.on_current) callbacks.on_current(i);
    const std::filesystem::path input = entries[i].InputPath();
    const std::filesystem::path output = callbacks.suffix.empty()
                                             ? OutputPathFor(entries[i], direction)
                                             : entries[i].folder / OutputFileNameWith(entries[i].name, callbacks.suffix);
    if (callbacks.on_last_output) callbacks.on_last_output(output);
    try {
      const std::size_t changed = callbacks.recoder ? callbacks.recoder(input, output, direction, callbacks.progress)
                                                    : RecodeDocument(input, output, direction, callbacks.progress);
      if (changed == 0 && callbacks.on_unchanged) callbacks.on_unchanged(i);
    } catch (const std::exception& e) {
      failures.push_back({i, input, e.what(), std::current_exception()});
    }
  }
  if (callbacks.on_complete) callbacks.on_complete(failures);
  return failures;
}

}  // namespace uy::recode
