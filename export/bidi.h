// SPDX-License-Identifier: GPL-3.0-or-later
// Right-to-left paragraph ordering: a line in logical order to the order in which a
// right-to-left paragraph shows it (the Unicode Bidirectional Algorithm), with the
// characters that end at an odd level mirrored.
#pragma once

#include <string>
#include <string_view>

namespace uy::bidi {

// Appends the visual order of `line`, laid out as one right-to-left paragraph, to `out`:
// exactly what ICU's ubidi_setPara(UBIDI_RTL) and ubidi_writeReordered(UBIDI_DO_MIRRORING
// | UBIDI_REMOVE_BIDI_CONTROLS) give. The bidi controls (embeddings, overrides, isolates,
// marks) are obeyed and dropped: kept in visual order they would only split runs, and
// programs that cannot lay out text would show them as boxes. Common text (no controls,
// non-spacing marks, surrogates or paragraph separators) is ordered here; the rest goes
// through ICU.
void AppendRtlVisual(std::u16string_view line, std::u16string& out);

// The same, always through ICU (the reference the fast paths are tested against).
void AppendRtlVisualIcu(std::u16string_view line, std::u16string& out);

}  // namespace uy::bidi
