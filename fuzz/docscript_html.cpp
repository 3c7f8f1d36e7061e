// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML walk with the script transform, on arbitrary bytes. The first byte chooses the
// direction (modulo 6: UEY to and from each other script); the rest is the page.
//
// A page the walk accepts gets edits that never overlap, and the edited page reads again in
// the same charset with every paragraph holding the text meant for it. A page the walk
// refuses gets a DocumentError, nothing else.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "document_error.h"
#include "html_script.h"
#include "html_walk.h"

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
  const std::string_view page(reinterpret_cast<const char*>(data + 1), size - 1);
  ds::Edits edits;
  std::string out;
  try {
    const ds::HtmlCodec codec(page);
    ds::HtmlScriptTransform transform(o, page, codec);
    ds::WalkHtml(page, codec, transform, edits);
    out = ds::ApplyEdits(page, edits);  // throws std::logic_error (and so fails) on overlaps
    try {
      ds::CheckHtmlPage(out, codec, transform.meant());
    } catch (const uy::formats::DocumentError&) {
      FUZZ_CHECK(!"the converted page does not read as meant");
    }
  } catch (const uy::formats::DocumentError&) {
    return 0;
  }
  return 0;
}
