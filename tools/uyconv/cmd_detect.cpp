// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "detect.h"
#include "file_io.h"

namespace uyconv {

int RunDetect(const Args& args) {
  std::vector<std::string> files;
  bool options_done = false;
  for (const std::string& a : args) {
    if (options_done || a.empty() || a[0] != '-' || a == "-") {
      files.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "--help" || a == "-h") {
      return PrintUsage("detect");
    } else {
      return UsageError("detect: unknown option '" + a + "'");
    }
  }
  if (files.empty()) return UsageError("detect: no document given");
  int status = 0;
  for (const std::string& f : files) {
    try {
      const uy::formats::Detection d = uy::formats::DetectDocument(f);
      char confidence[16];
      std::snprintf(confidence, sizeof confidence, "%.3f", d.confidence);
      std::cout << f << '\t' << d.Text() << '\t' << confidence << '\n';
      if (d.verdict == uy::formats::Detection::Verdict::kUnknown) status = 1;
    } catch (const uy::FileError& e) {
      std::cout.flush();
      Error(e.what());
      status = 1;
    }
  }
  return status;
}

}  // namespace uyconv
