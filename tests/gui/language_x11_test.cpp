// SPDX-License-Identifier: GPL-3.0-or-later
// Both windows in Uyghur on a real X server (Xvfb), the language taken from the locale
// (LANG=ug_CN.UTF-8), driven with real clicks, key presses and hovering sent by xdotool.
// Screenshots go to UY_SCREENSHOT_DIR when it is set (the README's come from here).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "form.h"
#include "test_util.h"
#include "tform1.h"
#include "translations.h"
#include "uy_memo.h"

namespace {

namespace fs = std::filesystem;

bool Xdotool(const QStringList& args) { return QProcess::execute("xdotool", args) == 0; }

bool MoveTo(QWidget* widget, QPoint point) {
  const QPoint global = widget->mapToGlobal(point);
  return Xdotool({"mousemove", "--sync", QString::number(global.x()), QString::number(global.y())});
}

bool ClickAt(QWidget* widget, QPoint point) { return MoveTo(widget, point) && Xdotool({"click", "1"}); }

// The screen's pixels over the given windows, saved where screenshots are wanted.
void Screenshot(const QString& name, QRect area) {
  const QString dir = qEnvironmentVariable("UY_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  area = area.intersected(QGuiApplication::primaryScreen()->geometry());
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  EXPECT_TRUE(shot.save(QDir(dir).filePath(name))) << name.toStdString();
}

class UyghurUnderX11 : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(uy::gui::InstallTranslations(uy::gui::UserLanguages()), "ug"); }
  void TearDown() override { uy::gui::InstallTranslations({}); }
};

TEST_F(UyghurUnderX11, DocrecodeReportsAFailedDocument) {
  uytest::TempDir dir;
  uytest::WriteFile(dir / "good.txt", "text");
  uytest::WriteFile(dir / "blocked.txt", "text");
  fs::create_directory(dir / "blocked(Unicode).txt");
  uy::docrecode::TForm1 form;  // the real message box
  form.AddDocuments({QString::fromStdString((dir / "good.txt").string()),
                     QString::fromStdString((dir / "blocked.txt").string())});
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::qWait(200);  // drawn
  Screenshot("docrecode-ug.png", form.frameGeometry());

  // The box of the run is answered once it is up, after a screenshot with the window.
  QString text;
  Qt::LayoutDirection direction = Qt::LeftToRight;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    poll.stop();
    QTest::qWait(300);  // drawn
    Screenshot("docrecode-ug-failure.png", form.frameGeometry().united(box->frameGeometry()));
    text = box->text();
    text.remove(QChar(0x200F));  // the marks that make each line read from the right
    direction = box->layoutDirection();
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    EXPECT_TRUE(ok && ClickAt(ok, ok->rect().center()));
  });
  poll.start(100);
  ASSERT_TRUE(ClickAt(form.Convert1, form.Convert1->rect().center()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isEmpty() && !QApplication::activeModalWidget(); }, 15000))
      << text.toStdString();
  EXPECT_TRUE(text.startsWith("كود ئالماشتۇرۇش تاماملاندى")) << text.toStdString();
  EXPECT_TRUE(text.contains("شۇ ناملىق قىسقۇچ بار")) << text.toStdString();
  EXPECT_EQ(direction, Qt::RightToLeft);
  EXPECT_EQ(form.layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(form.windowTitle(), "Norvatek Code Convertor(诺瓦代码转换器)");
}

TEST_F(UyghurUnderX11, UyeditTypesUyghurAndHintsInUyghur) {
  uy::uyedit::TForm1 window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(ClickAt(window.TntMemo1, window.TntMemo1->rect().center()));
  ASSERT_TRUE(Xdotool({"key", "--delay", "40", "End", "space", "s", "f", "l", "f", "m"}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.TntMemo1->toPlainText().endsWith("سالام"); }, 5000))
      << window.TntMemo1->toPlainText().toStdString();

  ASSERT_TRUE(MoveTo(window.ToolButton2, window.ToolButton2->rect().center()));
  ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
  EXPECT_EQ(QToolTip::text(), "ھۆججەت ئېچىش");
  QTest::qWait(300);
  QRect area = window.frameGeometry();
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->inherits("QTipLabel") && w->isVisible()) area = area.united(w->frameGeometry());
  Screenshot("uyedit-ug.png", area);
  EXPECT_EQ(window.layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(window.windowTitle(), "Norvatek KORVELI 5.7(编辑器)");
}

}  // namespace
