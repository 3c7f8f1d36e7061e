// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window: start-up state, font and size controls, rulers and size readout.
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTimer>
#include <QLocale>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "rulers.h"
#include "tform1.h"
#include "uy_memo.h"
#include "uyedit_fixture.h"

using uy::uyedit::TForm1;

namespace {

class EditorWindow : public uytest::WindowTest {};

TEST_F(EditorWindow, StartsAsTheStoredLayoutAndFormCreateLeaveIt) {
  TForm1& w = Window();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Norvatek KORVELI 5.7(编辑器)"));
  EXPECT_EQ(w.ComboBox1->currentText(), QStringLiteral("KORVELI Tor"));
  EXPECT_EQ(w.ComboBox2->currentText(), QStringLiteral("18"));
  EXPECT_EQ(w.TrackBar1->value(), 10);
  EXPECT_EQ(w.TntMemo1->font().pointSize(), 20);
  EXPECT_EQ(w.TntMemo1->font().family(), QStringLiteral("KORVELI Tor"));
  EXPECT_EQ(w.TntMemo1->toPlainText().toStdU16String(),
            u"\u0626\u06D5\u0633\u0633\u0627\u0644\u0627\u0645\u06C7\u0626\u06D5\u0644\u06D5"
            u"\u064A\u0643\u06C7\u0645!");
  const QSize screen = QGuiApplication::primaryScreen()->size();
  EXPECT_EQ(w.Panels[2]->text(), QStringLiteral("显示分辨率: %1*%2").arg(screen.width()).arg(screen.height()));
  EXPECT_TRUE(w.ToolButton11->isChecked());
  EXPECT_FALSE(w.TntMemo2->isVisible());
  EXPECT_FALSE(w.ListBox1->isVisible());
  // The text area fills what the bars leave of the 584 x 352 client area.
  EXPECT_EQ(w.TntMemo1->size(), QSize(562, 287));
  EXPECT_EQ(w.TntMemo1->pos().x(), 22);
}

TEST_F(EditorWindow, FontBoxOffersFamiliesWithAFilterWordInCaseInsensitiveOrder) {
  TForm1& w = Window();
  QStringList offered;
  for (int i = 0; i < w.ComboBox1->count(); ++i) offered << w.ComboBox1->itemText(i);
  QStringList expected;
  for (const QString& f : QFontDatabase::families())
    if (f.contains("KORVELI") || f.contains("UKIJ") || f.contains("UKK")) expected << f;
  std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  EXPECT_EQ(offered, expected);
  EXPECT_TRUE(w.ListBox1->findItems("Default", Qt::MatchExactly).size() == 1);
  EXPECT_EQ(w.ListBox1->count(), QFontDatabase::families().size() + 1);
  w.ComboBox1->setEditText("No Such Face");  // applied whether or not it exists
  EXPECT_EQ(w.TntMemo1->font().family(), QStringLiteral("No Such Face"));
}

TEST_F(EditorWindow, AlignmentMenuOpensCentredOnTheButtonsCorner) {
  TForm1& w = Window();
  QRect shown;
  QTimer::singleShot(0, w.PopupMenu1, [&] {
    shown = w.PopupMenu1->geometry();
    w.PopupMenu1->close();
  });
  w.ToolButton10->showMenu();  // returns when the menu closes
  const QPoint corner = w.ToolButton10->mapToGlobal(QPoint(0, w.ToolButton10->height()));
  ASSERT_TRUE(shown.isValid());
  EXPECT_LE(std::abs(shown.center().x() - corner.x()), 1) << shown.x() << " " << corner.x();
  EXPECT_EQ(shown.top(), corner.y());
}

TEST(FontFilter, MatchesTheWordsAnywhereInUpperCaseOnly) {
  EXPECT_EQ(TForm1::FontsToOffer({"Default", "UKIJ Tuz", "Arial", "xUKKy", "My KORVELI", "ukij Tor",
                                  "Ukk", "korveli", "UKIJ Tuz", "Tor UKIJ"}),
            QStringList({"UKIJ Tuz", "xUKKy", "My KORVELI", "UKIJ Tuz", "Tor UKIJ"}));
  EXPECT_TRUE(TForm1::FontsToOffer({"Default", "DejaVu Sans"}).isEmpty());
}

TEST_F(EditorWindow, TextAreasReadRightToLeftWithTheScrollBarOnTheLeft) {
  TForm1& w = Window();
  for (QPlainTextEdit* memo : {static_cast<QPlainTextEdit*>(w.TntMemo1), w.TntMemo2})
    EXPECT_EQ(memo->document()->defaultTextOption().textDirection(), Qt::RightToLeft);
  EXPECT_LT(w.TntMemo1->verticalScrollBar()->x(), w.TntMemo1->width() / 2);
  w.TntMemo1->setPlainText("ab");  // a short line stands at the right edge
  QApplication::processEvents();
  EXPECT_GT(w.TntMemo1->cursorRect(w.TntMemo1->textCursor()).x(), w.TntMemo1->width() / 2);
}

TEST_F(EditorWindow, SizeBoxSetsTheSizeAndRefusesTextThatIsNoSize) {
  TForm1& w = Window();
  QLineEdit* edit = w.ComboBox2->lineEdit();
  edit->selectAll();
  QTest::keyClicks(edit, "2");
  EXPECT_EQ(w.TntMemo1->font().pointSize(), 2);
  QTest::keyClicks(edit, "4");
  EXPECT_EQ(w.TntMemo1->font().pointSize(), 24);
  EXPECT_TRUE(Failures().isEmpty());
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(w.TntMemo1->font().pointSize(), 2);
  ASSERT_EQ(Failures(), QStringList({"'' is not a valid integer value"}));
  for (const char* bad : {"x1", "0", "-5", "1.5"}) {
    w.ComboBox2->setEditText(QString::fromLatin1(bad));
    EXPECT_EQ(Failures().back(), QStringLiteral("'%1' is not a valid integer value").arg(bad));
  }
  EXPECT_EQ(w.TntMemo1->font().pointSize(), 2);
  // Choosing an entry applies it too.
  w.ComboBox2->setCurrentIndex(w.ComboBox2->findText("36"));
  EXPECT_EQ(w.TntMemo1->font().pointSize(), 36);
  // The size box does not move the slider.
  EXPECT_EQ(w.TrackBar1->value(), 10);
}

TEST_F(EditorWindow, SliderSetsSizeHintAndSizeBox) {
  TForm1& w = Window();
  w.TrackBar1->setValue(36);
  EXPECT_EQ(w.TntMemo1->font().pointSize(), 36);
  EXPECT_EQ(w.TrackBar1->toolTip(), QStringLiteral("36"));
  EXPECT_EQ(w.ComboBox2->currentText(), QStringLiteral("36"));
  QTest::keyClick(w.TrackBar1, Qt::Key_Right);
  EXPECT_EQ(w.TntMemo1->font().pointSize(), 37);
  EXPECT_EQ(w.ComboBox2->currentText(), QStringLiteral("37"));
  EXPECT_TRUE(Failures().isEmpty());
}

// ---- rulers and readout

TEST(SizeReadout, FormatsExactlyToFifteenSignificantDigits) {
  // 243/118 = 2.059322033898305...: rounding a double first would give 2.0593220338983.
  const struct { long long a, b; char16_t point; const char* want; } cases[] = {
      {562, 48, u'.', "11.7083333333333"}, {48, 48, u'.', "1"}, {0, 48, u'.', "0"},
      {100, 48, u',', "2,08333333333333"}, {243, 118, u'.', "2.05932203389831"},
      {2, 3, u'.', "0.666666666666667"}, {99999999999999999LL, 100000000000000000LL, u'.', "1"},
      {99999999999999999LL, 10000000000000000LL, u'.', "10"},
      {100000000000000LL, 10000000000000001LL, u'.', "0.01"}};
  for (const auto& c : cases)
    EXPECT_EQ(uy::uyedit::FormatGeneral15(c.a, c.b, c.point), QString::fromLatin1(c.want)) << c.a << "/" << c.b;
}

TEST_F(EditorWindow, StatusPanelsShowTheTextAreaSize) {
  TForm1& w = Window();
  EXPECT_EQ(w.Panels[0]->text(), QStringLiteral("宽度: 11.7083333333333cm, 高度: 7.29661016949153cm"));
  EXPECT_EQ(w.Panels[1]->text(), QStringLiteral("窗口尺寸: 562*287"));
  w.resize(584 + 48 * 3 - 2, 352 + 118);  // text area 704 x 405
  QApplication::processEvents();
  ASSERT_EQ(w.TntMemo1->size(), QSize(704, 405));
  EXPECT_EQ(w.Panels[0]->text(), QStringLiteral("宽度: 14.6666666666667cm, 高度: 10.2966101694915cm"));
  EXPECT_EQ(w.Panels[1]->text(), QStringLiteral("窗口尺寸: 704*405"));

  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  w.resize(w.width() - 704 + 500, w.height() - 405 + 100);
  QApplication::processEvents();
  QLocale::setDefault(QLocale::c());
  ASSERT_EQ(w.TntMemo1->size(), QSize(500, 100));
  EXPECT_EQ(w.Panels[0]->text(), QStringLiteral("宽度: 10,4166666666667cm, 高度: 2,54237288135593cm"));
  EXPECT_EQ(w.Panels[1]->text(), QStringLiteral("窗口尺寸: 500*100"));
}

bool IsRed(QColor c) { return c == QColor(Qt::red); }
bool IsBlack(QColor c) { return c == QColor(Qt::black); }
bool IsCream(QColor c) { return c == QColor(0xFF, 0xFB, 0xF0); }

TEST_F(EditorWindow, HorizontalRulerTicksAndLabels) {
  TForm1& w = Window();
  w.resize(1100, 400);
  QApplication::processEvents();
  const QImage img = w.ToolBar2->grab().toImage();
  ASSERT_GE(img.width(), 1000);
  // Minor ticks: one pixel wide, rows 0 to 9.
  for (int x : {54, 58, 63, 67, 72, 76, 80, 85, 89}) {
    SCOPED_TRACE(x);
    EXPECT_TRUE(IsBlack(img.pixelColor(x, 0)) && IsBlack(img.pixelColor(x, 9)));
    EXPECT_FALSE(IsBlack(img.pixelColor(x, 10)) || IsBlack(img.pixelColor(x + 1, 5)) || IsBlack(img.pixelColor(x - 1, 5)));
  }
  // Major ticks every 44 pixels: two pixels wide (x-1 and x), rows 0 to 19 less the label.
  for (int x : {50, 94, 138, 182, 974}) {
    SCOPED_TRACE(x);
    EXPECT_TRUE(IsRed(img.pixelColor(x, 0)) && IsRed(img.pixelColor(x - 1, 0)) && IsRed(img.pixelColor(x - 1, 19)));
    EXPECT_FALSE(IsRed(img.pixelColor(x - 1, 20)) || IsRed(img.pixelColor(x - 2, 5)) || IsRed(img.pixelColor(x + 1, 5)));
  }
  // Labels on white from (x, 9); the label 0 from (52, 9).
  auto has_label = [&](int left) {
    bool white = false, ink = false;
    for (int x = left + 1; x < left + 6; ++x)
      for (int y = 10; y < 20; ++y) {
        const QColor c = img.pixelColor(x, y);
        white |= c == QColor(Qt::white);
        ink |= c.lightness() < 128 && !IsRed(c);
      }
    return white && ink;
  };
  EXPECT_TRUE(has_label(52) && has_label(94) && has_label(138));
  EXPECT_TRUE(IsCream(img.pixelColor(51, 12)) && IsCream(img.pixelColor(70, 15)));
  EXPECT_TRUE(IsCream(img.pixelColor(10, 5)));  // nothing left of x = 49
}

TEST_F(EditorWindow, VerticalRulerTicksAndLabels) {
  TForm1& w = Window();
  w.resize(600, 900);
  QApplication::processEvents();
  const QImage img = w.ToolBar3->grab().toImage();
  ASSERT_GE(img.height(), 700);
  for (int y : {14, 17, 21, 25, 28, 32, 36}) {
    SCOPED_TRACE(y);
    EXPECT_TRUE(IsBlack(img.pixelColor(0, y)) && IsBlack(img.pixelColor(9, y)));
    EXPECT_FALSE(IsBlack(img.pixelColor(0, y + 1)) || IsBlack(img.pixelColor(0, y - 1)));
  }
  for (int y : {3, 40, 77, 706}) {
    SCOPED_TRACE(y);
    EXPECT_TRUE(IsRed(img.pixelColor(0, y)) && IsRed(img.pixelColor(0, y - 1)) && IsRed(img.pixelColor(9, y - 1)));
    EXPECT_FALSE(IsRed(img.pixelColor(0, y + 1)) || IsRed(img.pixelColor(0, y - 2)));
  }
  // The label 1 stands on white from (10, 34); the tick at y = 40 crosses it.
  bool white = false;
  for (int x = 11; x < 16; ++x) white |= img.pixelColor(x, 36) == QColor(Qt::white);
  EXPECT_TRUE(white);
  EXPECT_TRUE(IsCream(img.pixelColor(20, 55)));
}

}  // namespace
