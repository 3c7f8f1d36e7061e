// SPDX-License-Identifier: GPL-3.0-or-later
#include "rulers.h"

#include <QCoreApplication>

#include <QPainter>
#include <QPen>

namespace uy::uyedit {

QString FormatGeneral15(long long num, long long den, QChar decimal) {
  constexpr int kDigits = 15;
  long long whole = num / den;
  long long rem = num % den;
  // Significant digits, and how many of them stand before the separator.
  QString digits = whole > 0 ? QString::number(whole) : QString();
  const int int_len = digits.size();
  int leading_zeros = 0;  // zeros right after the separator when whole == 0
  while (digits.size() < kDigits && rem != 0) {
    rem *= 10;
    const int d = static_cast<int>(rem / den);
    rem %= den;
    if (digits.isEmpty() && d == 0) {
      ++leading_zeros;
      continue;
    }
    digits.append(QChar(u'0' + d));
  }
  if (digits.isEmpty()) return QStringLiteral("0");
  // Round half up on what is left; a carry may add a digit in front.
  const int frac_len = digits.size() - int_len;  // fractional significant digits
  if (2 * rem >= den && rem != 0) {
    int i = digits.size() - 1;
    while (i >= 0 && digits[i] == u'9') digits[i--] = u'0';
    if (i >= 0) {
      digits[i] = QChar(digits[i].unicode() + 1);
    } else if (int_len > 0) {
      digits.prepend(u'1');  // 99.9…9 rounds to 100
    } else if (leading_zeros > 0) {
      --leading_zeros;  // 0.0099…9 rounds to 0.01
      digits = QStringLiteral("1");
    } else {
      return QStringLiteral("1");  // 0.99…9 rounds to 1
    }
  }
  QString int_part;
  QString frac_part;
  if (int_len > 0) {
    const int new_int_len = digits.size() - frac_len;
    int_part = digits.left(new_int_len);
    frac_part = digits.mid(new_int_len);
  } else {
    int_part = QStringLiteral("0");
    frac_part = QString(leading_zeros, u'0') + digits;
  }
  while (!frac_part.isEmpty() && frac_part.back() == u'0') frac_part.chop(1);
  return frac_part.isEmpty() ? int_part : int_part + decimal + frac_part;
}

QString SizeInCentimetres(int w, int h, QChar decimal) {
  return QCoreApplication::translate("uy::uyedit::TForm1", "宽度: %1cm, 高度: %2cm")
      .arg(FormatGeneral15(w, 48, decimal), FormatGeneral15(3LL * h, 118, decimal));
}

QString SizeInPixels(int w, int h) {
  return QCoreApplication::translate("uy::uyedit::TForm1", "窗口尺寸: %1*%2").arg(w).arg(h);
}

namespace {

// Positions are kept in tenths of a pixel so that all the arithmetic stays in integers.
constexpr int kCounterEnd = 30000;
constexpr int kStepH = 44, kMajorH = 440, kOffsetH = 50;
constexpr int kStepV = 37, kMajorV = 370, kOffsetV = 3;

// One-pixel lines stop one pixel short of their end point; two-pixel lines at x cover
// x-1 and x.
QPen TickPen(Qt::GlobalColor color, int width) {
  QPen pen(QColor(color), width);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

}  // namespace

RulerBar::RulerBar(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), orientation_(orientation) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xF0));
  setPalette(pal);
}

void RulerBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  p.setBackgroundMode(Qt::OpaqueMode);
  p.setBackground(Qt::white);
  const QPen minor = TickPen(Qt::black, 1);
  const QPen major = TickPen(Qt::red, 2);
  const int ascent = p.fontMetrics().ascent();
  // Labels are drawn in the surface's default text colour.
  const QColor text_color = palette().color(QPalette::WindowText);
  auto label = [&](int left, int top, int k) {
    p.setPen(text_color);
    p.drawText(QPoint(left, top + ascent), QString::number(k));
  };
  if (orientation_ == Qt::Horizontal) {
    for (int counter = 0; counter < kCounterEnd; counter += kStepH) {
      const int x = kOffsetH + counter / 10;
      p.setPen(minor);
      p.drawLine(QPoint(x, 0), QPoint(x, 10));
      if (counter % kMajorH == 0) {
        p.setPen(major);
        p.drawLine(QPoint(x, 0), QPoint(x, 20));
        label(counter < kMajorH ? 52 : x, 9, counter / kMajorH);
      }
    }
  } else {
    for (int counter = 0; counter < kCounterEnd; counter += kStepV) {
      const int y = kOffsetV + counter / 10;
      p.setPen(minor);
      p.drawLine(QPoint(0, y), QPoint(10, y));
      if (counter % kMajorV == 0) {
        p.setPen(major);
        p.drawLine(QPoint(0, y), QPoint(15, y));
        label(10, counter / 10 - 3, counter / kMajorV);
      }
    }
  }
}

}  // namespace uy::uyedit
