// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "core/file_io.h"
#include "recoder/detect.h"

namespace uyconv {
namespace {

void PrintDetectHelp() {
  std::cout << "Usage: uyconv detect FILE...\n\n"
               "Tells which encoding the Uyghur text of each document is in, from its content\n"
               "(only as much of it as needed is read). Prints one line per document: the\n"
               "path, a tab, the verdict, a tab, a confidence between 0 and 1. The verdict is\n"
               "\"unicode\", \"direction N\" (the lowest direction, 0, 2, 4 or 6, whose table\n"
               "recodes the document to Unicode; see 'uyconv recode --list') or \"unknown\"\n"
               "(no Uyghur text, or too little to tell).\n\n"
               "Exit status: 0 when every document got a verdict, 1 when one is unknown or\n"
               "cannot be read, 2 for a usage error.\n";
}

}  // namespace

int RunDetect(const Args& args) {
  std::vector<std::string> files;
  bool options_done = false;
  for (const std::string& a : args) {
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      files.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "--help" || a == "-h") {
      PrintDetectHelp();
      return 0;
    } else {
      return UsageError("detect: unknown option '" + a + "'");
    }
  }
  if (files.empty()) return UsageError("detect: no document given");
  int status = 0;
  for (const std::string& f : files) {
    try {
      const uy::recode::Detection d = uy::recode::DetectDocument(f);
      char confidence[16];
      std::snprintf(confidence, sizeof confidence, "%.3f", d.confidence);
      std::cout << f << '\t' << d.Text() << '\t' << confidence << '\n';
      if (d.verdict == uy::recode::Detection::Verdict::kUnknown) status = 1;
    } catch (const uy::FileError& e) {
      std::cout.flush();
      Error(e.what());
      status = 1;
    }
  }
  return status;
}

}  // namespace uyconv
