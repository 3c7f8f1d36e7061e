// SPDX-License-Identifier: GPL-3.0-or-later
#include "icon_painter.h"

#include <QPainter>
#include <QPixmap>

namespace uy::gui {

QIcon PaintIcon(int size, const std::function<void(QPainter&)>& drawing) {
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pixmap(size * scale, size * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawing(p);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace uy::gui
