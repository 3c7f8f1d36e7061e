// SPDX-License-Identifier: GPL-3.0-or-later
// The rich-text walk with the script conversion, on arbitrary bytes. The first byte chooses
// the direction (modulo 6: UEY to and from each other script); the rest is the document.
//
// A document the walk refuses gets a DocumentError, nothing else. One it accepts converts
// without a failed check: its edits never overlap, the converted document walks again and holds
// the text meant.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "check.h"
#include "document_error.h"
#include "rtf_script.h"
#include "rtf_walk.h"

namespace {

namespace ds = uy::docscript;
using uy::script::Script;

constexpr Script kPairs[6][2] = {
    {Script::Uey, Script::Uly}, {Script::Uly, Script::Uey}, {Script::Uey, Script::Uky},
    {Script::Uky, Script::Uey}, {Script::Uey, Script::Uyy}, {Script::Uyy, Script::Uey},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  uy::script::Options o;
  o.from = kPairs[data[0] % 6][0];
  o.to = kPairs[data[0] % 6][1];
  const std::string_view doc(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    ds::RtfCollect collect;
    ds::WalkRtf(doc, collect);
  } catch (const uy::formats::DocumentError&) {
    return 0;
  }
  try {
    ds::ConvertRtfText(doc, o);
  } catch (const uy::formats::DocumentError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    FUZZ_CHECK(!"a document the walk takes fails its conversion");
  }
  return 0;
}
