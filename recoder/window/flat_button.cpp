// SPDX-License-Identifier: GPL-3.0-or-later
#include "flat_button.h"

#include <QStyle>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace uy::docrecode {

FlatButton::FlatButton(QWidget* parent) : QToolButton(parent) {
  setAutoRaise(true);
  setFocusPolicy(Qt::NoFocus);
}

void FlatButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionToolButton option;
  initStyleOption(&option);
  // The style draws the raised or sunken panel only; caption and image follow.
  option.text.clear();
  option.icon = QIcon();
  painter.drawComplexControl(QStyle::CC_ToolButton, option);

  const int spacing = text().isEmpty() || icon().isNull() ? 0 : 4;
  const int text_width = fontMetrics().horizontalAdvance(text());
  const QSize image = icon().isNull() ? QSize(0, 0) : iconSize();
  int x = (width() - text_width - spacing - image.width()) / 2;
  int shift = isDown() || isChecked() ? 1 : 0;
  const QRect text_rect(x + shift, shift, text_width, height());
  const QRect image_rect(x + text_width + spacing + shift, (height() - image.height()) / 2 + shift,
                         image.width(), image.height());
  if (!icon().isNull())
    icon().paint(&painter, image_rect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
  style()->drawItemText(&painter, text_rect, Qt::AlignCenter, palette(), isEnabled(), text(),
                        QPalette::ButtonText);
}

}  // namespace uy::docrecode
