// uyconv: the Uyghur text libraries on the command line.
#include <cstdio>
#include <exception>
#include <iostream>

#include "commands.h"

#ifndef UY_VERSION
#define UY_VERSION "0.0.0"
#endif

namespace uyconv {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"recode", "recode documents between Unicode and the legacy Uyghur encodings", RunRecode},
      {"detect", "tell which encoding documents are in: Unicode or a legacy one", RunDetect},
      {"keys", "convert key strings to Uyghur text", RunKeys},
      {"export", "shape lines into presentation forms in visual order", RunExport},
      {"type", "type Latin keys on the phonetic keyboard, print Uyghur text", RunType},
      {"cat", "print a text file of any accepted encoding as UTF-8", RunCat},
      {"save", "save UTF-8 from stdin as a .uyt text file", RunSave},
  };
  return commands;
}

int UsageError(const std::string& message) {
  std::cerr << "uyconv: " << message << "\nTry 'uyconv --help' for more information.\n";
  return 2;
}

void Error(const std::string& message) { std::cerr << "uyconv: " << message << '\n'; }

namespace {

void PrintHelp() {
  std::cout << "Usage: uyconv COMMAND [ARGS...]\n"
               "       uyconv COMMAND --help\n\n"
               "Uyghur text tools: the recoder, keyboard, text files and export of\n"
               "docrecode and uyedit, for batch work and scripts.\n\nCommands:\n";
  for (const Command& c : Commands()) {
    std::string name = c.name;
    name.resize(10, ' ');
    std::cout << "  " << name << c.summary << '\n';
  }
  std::cout << "\nOptions:\n  --help     show this help\n  --version  show the version\n\n"
               "Exit status: 0 on success, 1 when a file failed, 2 for a usage error.\n";
}

}  // namespace
}  // namespace uyconv

int main(int argc, char** argv) {
  using namespace uyconv;
  if (argc < 2) return UsageError("no command given");
  const std::string first = argv[1];
  if (first == "--help" || first == "-h") {
    PrintHelp();
    return 0;
  }
  if (first == "--version") {
    std::cout << "uyconv " << UY_VERSION << '\n';
    return 0;
  }
  for (const Command& c : Commands()) {
    if (first != c.name) continue;
    try {
      return c.run(Args(argv + 2, argv + argc));
    } catch (const std::exception& e) {
      Error(e.what());
      return 1;
    }
  }
  return UsageError("unknown command '" + first + "'");
}
