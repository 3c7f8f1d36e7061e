// SPDX-License-Identifier: GPL-3.0-or-later
// The centimetre rulers above and beside the text area, and the size readout of the
// status bar.
#pragma once

#include <QString>
#include <QWidget>

namespace uy::uyedit {

// Exact general format of num / den with at most 15 significant digits (rounded half
// up), trailing zeros and a trailing separator dropped, `decimal` as the separator.
// 0 <= num, 0 < den < 1e17. Values from 1e-4 up to 1e15 come out without an exponent, which
// covers every window size.
QString FormatGeneral15(long long num, long long den, QChar decimal);

// Status panel 0: "宽度: W÷48cm, 高度: 3H÷118cm" for a text area of w × h pixels.
QString SizeInCentimetres(int w, int h, QChar decimal);
// Status panel 1: "窗口尺寸: W*H".
QString SizeInPixels(int w, int h);

// A cream bar that carries a ruler: the horizontal one with a tick every 4.4 pixels
// and a numbered red tick every 44 pixels, the vertical one every 3.7 and 37 pixels.
// The ruler is drawn in paintEvent, so it survives being covered and uncovered.
class RulerBar : public QWidget {
  Q_OBJECT
 public:
  RulerBar(Qt::Orientation orientation, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Qt::Orientation orientation_;
};

}  // namespace uy::uyedit
