// The recoding pass a unit at a time, as the documents describe it: the reference for the
// block-wise implementation and for the command-line tool.
#pragma once

#include <string>

#include "recoder/tables.h"

namespace uytest {

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
