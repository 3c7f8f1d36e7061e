// SPDX-License-Identifier: GPL-3.0-or-later
// The recoder window's flat buttons.
#pragma once

#include <QToolButton>

namespace uy::docrecode {

// A flat button that shows its caption and, right of it, its image, centred together.
class FlatButton : public QToolButton {
  Q_OBJECT
 public:
  explicit FlatButton(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace uy::docrecode
