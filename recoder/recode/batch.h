// SPDX-License-Identifier: GPL-3.0-or-later
// The convert command's batch: every list entry recoded in list order.
#pragma once

#include <cstddef>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "pass.h"

namespace uy::recode {

// One picked document: the folder it was picked from and its bare name.
struct BatchEntry {
  std::filesystem::path folder;
  std::string name;
  std::filesystem::path InputPath() const { return folder / name; }
};

struct BatchFailure {
  std::size_t index;              // list entry
  std::filesystem::path input;    // the picked document
  std::string reason;             // names the file and the system's reason, in English
  std::exception_ptr error;       // what failed, for a message in the user's language
};

// What recodes one document; RecodeDocument unless a caller supplies another. Returns the
// number of characters it changed: 0 means the output is the document as it was.
using DocumentRecoder = std::function<std::size_t(const std::filesystem::path& input,
                                           const std::filesystem::path& output, int direction,
                                           ProgressSink* progress)>;

struct BatchCallbacks {
  std::function<void(std::size_t index)> on_current;                  // entry i is now current
  std::function<void(const std::filesystem::path&)> on_last_output;   // before each output is begun
  ProgressSink* progress = nullptr;
  std::function<void(std::size_t index)> on_unchanged;                // entry i had nothing to recode
  std::function<void(const std::vector<BatchFailure>&)> on_complete;  // empty: all succeeded
  DocumentRecoder recoder;                                            // empty: RecodeDocument
  std::string suffix;                                                 // of the outputs; empty: the direction's
};

// Entries that share one folder.
std::vector<BatchEntry> EntriesInFolder(const std::filesystem::path& folder,
                                        const std::vector<std::string>& names);

// The output path of an entry: beside the input, named by OutputFileName.
std::filesystem::path OutputPathFor(const BatchEntry& entry, int direction);

// Runs every entry in list order (an entry listed twice runs twice), goes on after a
// failed entry, calls on_complete once at the end and returns the failures.
std::vector<BatchFailure> RunBatch(const std::vector<BatchEntry>& entries, int direction,
                                   const BatchCallbacks& callbacks);

}  // namespace uy::recode
