// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the recoder tests: the pass a unit at a time, as the documents describe it (the
// reference for the block-wise implementation, the tool and the window), and a progress sink
// that records what it is told.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "pass.h"
#include "tables.h"

namespace uytest {

struct RecordingSink : uy::recode::ProgressSink {
  std::vector<std::pair<int, int>> ranges;
  std::vector<int> positions;
  void SetRange(int minimum, int maximum) override { ranges.push_back({minimum, maximum}); }
  void SetPosition(int position) override { positions.push_back(position); }
};

inline std::string UnitByUnitPass(std::string doc, int direction) {
  for (std::size_t off = 2560; off + 1 < doc.size(); off += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(doc[off]) |
                                            static_cast<unsigned char>(doc[off + 1]) << 8);
    const char16_t r = uy::recode::RecodeUnit(direction, unit);
    doc[off] = static_cast<char>(r & 0xFF);
    doc[off + 1] = static_cast<char>(r >> 8);
  }
  return doc;
}

}  // namespace uytest
