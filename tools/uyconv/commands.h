// SPDX-License-Identifier: GPL-3.0-or-later
// The subcommands of uyconv. Each takes its own arguments (after the command name)
// and returns the exit status: 0 success, 1 a file failed, 2 a usage error.
#pragma once

#include <string>
#include <vector>

namespace uyconv {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;  // one line, for uyconv --help
  const char* usage;    // uyconv COMMAND --help
  int (*run)(const Args& args);
};

const std::vector<Command>& Commands();

int RunRecode(const Args& args);
int RunDetect(const Args& args);
int RunKeys(const Args& args);
int RunExport(const Args& args);
int RunType(const Args& args);
int RunCat(const Args& args);
int RunSave(const Args& args);
int RunScript(const Args& args);

// Prints the usage text of the command `name`; returns 0. A command's first argument
// --help or -h shows it before the command runs; commands with options show it for a
// --help among them too.
int PrintUsage(const std::string& name);
// Prints "uyconv: MESSAGE" and a hint to stderr; returns 2.
int UsageError(const std::string& message);
// Prints "uyconv: MESSAGE" to stderr.
void Error(const std::string& message);

// Why an output is reported as unchanged.
inline constexpr const char* kNothingToRecode =
    "nothing in it is in the direction's source encoding; the output is the document as it was";

}  // namespace uyconv
