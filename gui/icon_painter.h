// SPDX-License-Identifier: GPL-3.0-or-later
// Icons drawn by the programs themselves, so that they look the same under every
// desktop theme.
#pragma once

#include <functional>

#include <QIcon>

class QPainter;

namespace uy::gui {

// A square icon of size logical pixels from a drawing in logical pixels, at 1x and 2x
// for high-DPI screens, on a transparent background. The painter antialiases; a drawing
// of whole-pixel lines turns that off to keep them sharp.
QIcon PaintIcon(int size, const std::function<void(QPainter&)>& drawing);

}  // namespace uy::gui
