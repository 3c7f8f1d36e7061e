// SPDX-License-Identifier: GPL-3.0-or-later
// The window programs' command line, read before any window system is opened, so that
// --help, --version and mistakes are answered on a text console or over ssh too.
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace uy::gui {

struct ProgramInfo {
  const char* name;         // as in "docrecode 0.2.0"
  const char* description;  // one line for --help
  const char* positional;   // name of the positional arguments, e.g. "documents"
  const char* positional_help;
  const char* positional_syntax;  // e.g. "[documents...]"
};

// Reads argv. Returns the exit status when the program is done already: 0 after printing
// --help or --version to standard output, 2 after reporting a mistake on standard error.
// Otherwise returns nothing and fills positional. Qt's own options (-platform, -style ...)
// are left for the application object to take.
std::optional<int> ReadCommandLine(int argc, char** argv, const ProgramInfo& info,
                                   QStringList* positional);

}  // namespace uy::gui
