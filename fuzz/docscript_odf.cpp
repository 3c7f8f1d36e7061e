// SPDX-License-Identifier: GPL-3.0-or-later
// The walk of an OpenDocument XML part with the script transform, on arbitrary bytes. The
// first byte chooses the direction (modulo 6: UEY to and from each other script) and whether
// the part is read first as the shared styles (its sixth, odd); the rest is the part.
//
// A part the walk accepts is well-formed and gets edits that never overlap; the edited part
// is well-formed again and walks again. A part the walk refuses gets a DocumentError, nothing
// else.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "document_error.h"
#include "word_script.h"
#include "word_walk.h"

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
  const std::string_view part(reinterpret_cast<const char*>(data + 1), size - 1);
  ds::ScriptTransform transform(o);
  ds::Edits edits;
  ds::PartInfo info;
  try {
    if (data[0] / 6 % 2) transform.PrepareOdf(part);
    transform.Begin(part, &info, ds::Markup::kOdf);
    ds::WalkWordPart(part, transform, edits, info, ds::Markup::kOdf);
  } catch (const uy::formats::DocumentError&) {
    return 0;
  }
  ds::CheckWellFormed(part);  // throws (and so fails) if the walk took a part that is not
  const std::string out = ds::ApplyEdits(part, edits);
  try {
    ds::CheckWellFormed(out);
    ds::CollectTransform again;
    ds::Edits none;
    ds::PartInfo info2;
    ds::WalkWordPart(out, again, none, info2, ds::Markup::kOdf);
  } catch (const uy::formats::DocumentError&) {
    FUZZ_CHECK(!"the converted part does not parse");
  }
  return 0;
}
