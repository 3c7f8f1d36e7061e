// SPDX-License-Identifier: GPL-3.0-or-later
// Images of the tool bar and the alignment menu, drawn at 16 × 16 pixels.
#include <QApplication>
#include <QPainter>
#include <QStyle>

#include "icon_painter.h"
#include "tform1.h"

namespace uy::uyedit {

namespace {

// The drawings sit on the pixel grid: whole-pixel lines and rectangles, kept sharp.
QIcon Draw(const std::function<void(QPainter&)>& paint) {
  return gui::PaintIcon(16, [&](QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    paint(p);
  });
}

QIcon Letters(const QString& text, QColor color) {
  return Draw([&](QPainter& p) {
    QFont f = p.font();
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(color);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
  });
}

// Four lines of text aligned left, right, centred or to both sides.
QIcon Paragraph(Qt::Alignment align) {
  return Draw([&](QPainter& p) {
    p.setPen(QPen(Qt::black, 1));
    const int lengths[] = {14, 9, 12, 7};
    for (int i = 0; i < 4; ++i) {
      const int len = align == Qt::AlignJustify ? 14 : lengths[i];
      int x = 1;
      if (align == Qt::AlignRight) x = 15 - len;
      if (align == Qt::AlignHCenter) x = (16 - len) / 2;
      p.drawLine(x, 2 + 4 * i, x + len - 1, 2 + 4 * i);
    }
  });
}

}  // namespace

QList<QIcon> MakeImageList1() {
  QStyle* style = QApplication::style();
  QList<QIcon> icons;
  icons << style->standardIcon(QStyle::SP_FileIcon)                      // 0 new
        << style->standardIcon(QStyle::SP_DialogOpenButton)              // 1 open
        << style->standardIcon(QStyle::SP_DialogSaveButton)              // 2 save
        << Draw([](QPainter& p) {                                        // 3 export
             p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
             p.setBrush(QColor(0xF0, 0xE0, 0xB0));
             p.drawRect(3, 2, 10, 13);
             p.setBrush(QColor(0x80, 0x80, 0x80));
             p.drawRect(6, 1, 4, 3);
             p.setPen(QPen(QColor(0x00, 0x60, 0xC0), 2));
             p.drawLine(5, 9, 11, 9);
             p.drawLine(8, 6, 11, 9);
             p.drawLine(8, 12, 11, 9);
           })
        << style->standardIcon(QStyle::SP_DialogHelpButton)              // 4 help
        << style->standardIcon(QStyle::SP_MessageBoxInformation)         // 5
        << Paragraph(Qt::AlignRight)                                     // 6 alignment
        << Paragraph(Qt::AlignLeft)                                      // 7
        << Paragraph(Qt::AlignHCenter)                                   // 8
        << Paragraph(Qt::AlignJustify)                                   // 9
        << style->standardIcon(QStyle::SP_FileDialogDetailedView)        // 10
        << Draw([](QPainter& p) {                                        // 11 colour
             QFont f = p.font();
             f.setPixelSize(11);
             f.setBold(true);
             p.setFont(f);
             p.setPen(Qt::black);
             p.drawText(QRect(0, 0, 16, 12), Qt::AlignCenter, QStringLiteral("A"));
             p.fillRect(1, 12, 14, 3, Qt::red);
           })
        << style->standardIcon(QStyle::SP_DirOpenIcon)                   // 12 open menu
        << style->standardIcon(QStyle::SP_BrowserReload)                 // 13
        << Letters(QStringLiteral("ئا"), QColor(0x00, 0x40, 0xA0));   // 14 input toggle
  return icons;
}

QList<QIcon> MakeImageList2() {
  return {Paragraph(Qt::AlignRight), Paragraph(Qt::AlignLeft), Paragraph(Qt::AlignJustify),
          Paragraph(Qt::AlignJustify), Paragraph(Qt::AlignHCenter)};
}

}  // namespace uy::uyedit
