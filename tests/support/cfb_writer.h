// SPDX-License-Identifier: GPL-3.0-or-later
// Writes small and large compound files for the tests: root-level streams only,
// 512-byte sectors, streams under 4096 bytes in the mini stream.
#pragma once

#include <string>
#include <vector>

namespace uytest {

struct CfbStream {
  std::string name;  // ASCII
  std::string data;
};

// Regular streams get their sectors in the order given, then the mini stream, the mini
// FAT, the directory and the FAT, so large files have container sectors at high numbers.
std::string WriteCompoundFile(const std::vector<CfbStream>& streams);

}  // namespace uytest
