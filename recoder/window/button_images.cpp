// SPDX-License-Identifier: GPL-3.0-or-later
#include "button_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "icon_painter.h"

namespace uy::docrecode {
namespace {

// A sheet with a folded top-right corner and a few lines of text.
void DrawPage(QPainter& p, const QRectF& r) {
  const qreal fold = r.width() * 0.35;
  QPolygonF sheet;
  sheet << r.topLeft() << QPointF(r.right() - fold, r.top()) << QPointF(r.right(), r.top() + fold)
        << r.bottomRight() << r.bottomLeft();
  p.setPen(QPen(QColor(90, 90, 90), 1.0));
  p.setBrush(Qt::white);
  p.drawPolygon(sheet);
  QPolygonF corner;
  corner << QPointF(r.right() - fold, r.top()) << QPointF(r.right() - fold, r.top() + fold)
         << QPointF(r.right(), r.top() + fold);
  p.setBrush(QColor(215, 215, 215));
  p.drawPolygon(corner);
  p.setPen(QPen(QColor(120, 150, 200), 1.0));
  for (qreal y = r.top() + fold + 2; y < r.bottom() - 1; y += 2.5)
    p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void DrawArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, qreal width) {
  QLineF shaft(from, to);
  const qreal head = width * 2.2;
  QLineF back(to, from);
  back.setLength(head);
  QLineF side1 = back, side2 = back;
  side1.setAngle(back.angle() + 35);
  side2.setAngle(back.angle() - 35);
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  shaft.setLength(shaft.length() - head * 0.5);
  p.drawLine(shaft);
  p.setBrush(colour);
  p.drawPolygon(QPolygonF() << to << side1.p2() << side2.p2());
}

}  // namespace

QIcon OpenFolderImage() {
  return gui::PaintIcon(16, [](QPainter& p) {
    p.setPen(QPen(QColor(150, 110, 20), 1.0));
    p.setBrush(QColor(230, 190, 80));
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(13.5, 5);
    back.lineTo(13.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(250, 220, 120));
    p.drawPolygon(QPolygonF() << QPointF(1.5, 13.5) << QPointF(4, 7.5) << QPointF(15.5, 7.5)
                              << QPointF(13.5, 13.5));
  });
}

QIcon ConvertImage() {
  return gui::PaintIcon(16, [](QPainter& p) {
    DrawPage(p, QRectF(1.5, 1.5, 9, 13));
    DrawArrow(p, QPointF(5, 8.5), QPointF(15.5, 8.5), QColor(210, 30, 30), 2.0);
  });
}

QIcon PageImage() {
  return gui::PaintIcon(16, [](QPainter& p) { DrawPage(p, QRectF(2.5, 1.5, 11, 13)); });
}

QIcon RemoveImage() {
  return gui::PaintIcon(16, [](QPainter& p) {
    DrawArrow(p, QPointF(14.5, 5), QPointF(1.5, 5), QColor(30, 90, 190), 1.8);
    p.setPen(QPen(QColor(60, 60, 60), 1.5, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(2, 12), QPointF(14, 12));
    p.setPen(QPen(QColor(210, 30, 30), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6, 14.5), QPointF(10, 9.5));
    p.drawLine(QPointF(6, 9.5), QPointF(10, 14.5));
  });
}

QIcon HelpImage() {
  return gui::PaintIcon(18, [](QPainter& p) {
    p.setPen(QPen(QColor(20, 70, 160), 1.0));
    p.setBrush(QColor(60, 120, 210));
    p.drawEllipse(QRectF(1.5, 1.5, 15, 15));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(1.5, 1.5, 15, 15), Qt::AlignCenter, QStringLiteral("?"));
  });
}

QIcon DoorImage() {
  return gui::PaintIcon(18, [](QPainter& p) {
    // The frame with the dark opening, then the door swung half open towards the viewer.
    p.setPen(QPen(QColor(90, 60, 30), 1.0));
    p.setBrush(QColor(60, 45, 30));
    p.drawRect(QRectF(4.5, 1.5, 10, 15));
    p.setBrush(QColor(185, 120, 60));
    p.drawPolygon(QPolygonF() << QPointF(4.5, 1.5) << QPointF(11, 3) << QPointF(11, 17.5)
                              << QPointF(4.5, 16.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 210, 60));
    p.drawEllipse(QRectF(8.6, 9, 1.8, 1.8));
  });
}

}  // namespace uy::docrecode
