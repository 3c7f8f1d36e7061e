// SPDX-License-Identifier: GPL-3.0-or-later
// The text area's context menu entries that copy and paste between the scripts.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QMenu>
#include <QPlainTextEdit>
#include <QToolBar>
#include <memory>

#include "uy_memo.h"
#include "uyedit_fixture.h"

namespace {

using uy::script::Script;

class ScriptMenuTest : public uytest::WindowTest {};

TEST_F(ScriptMenuTest, MenuOffersTheFourEntriesAndNothingElseChanges) {
  const QRect geometry = Window().geometry();
  const int buttons = Window().ToolBar1->actions().size();
  std::unique_ptr<QMenu> menu(Window().TntMemo1->CreateContextMenu());
  const char* names[] = {"copyAsLatin", "copyAsCyrillic", "copyAsNewScript", "pasteAsUyghur"};
  const char* captions[] = {"Copy as Latin", "Copy as Cyrillic", "Copy as New Script", "Paste as Uyghur script"};
  for (int i = 0; i < 4; ++i) {
    auto* action = menu->findChild<QAction*>(QString::fromLatin1(names[i]));
    ASSERT_NE(action, nullptr) << names[i];
    EXPECT_EQ(action->text(), QString::fromLatin1(captions[i]));
  }
  EXPECT_GT(menu->actions().size(), 4);  // the area's own entries stay
  EXPECT_EQ(Window().geometry(), geometry);
  EXPECT_EQ(Window().ToolBar1->actions().size(), buttons);
}

TEST_F(ScriptMenuTest, CopiesTheSelectionOrEverything) {
  uy::uyedit::UyMemo* memo = Window().TntMemo1;
  memo->setPlainText(QStringLiteral("ئانار ۋە ئۈزۈم"));
  memo->CopyAs(Script::Uly);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("anar we üzüm"));
  QTextCursor cursor = memo->textCursor();
  cursor.setPosition(0);
  cursor.setPosition(5, QTextCursor::KeepAnchor);
  memo->setTextCursor(cursor);
  memo->CopyAs(Script::Uky);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("анар"));
  std::unique_ptr<QMenu> menu(memo->CreateContextMenu());
  menu->findChild<QAction*>(QStringLiteral("copyAsNewScript"))->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("anar"));
}

TEST_F(ScriptMenuTest, PasteConvertsAsOneUndoStep) {
  uy::uyedit::UyMemo* memo = Window().TntMemo1;
  memo->setPlainText(QStringLiteral("بۇ: "));
  memo->moveCursor(QTextCursor::End);
  QGuiApplication::clipboard()->setText(QStringLiteral("Men mektepte oquymen.\nsa'et"));
  std::unique_ptr<QMenu> menu(memo->CreateContextMenu());
  menu->findChild<QAction*>(QStringLiteral("pasteAsUyghur"))->trigger();
  EXPECT_EQ(memo->toPlainText(), QStringLiteral("بۇ: مەن مەكتەپتە ئوقۇيمەن.\nسائەت"));
  memo->undo();
  EXPECT_EQ(memo->toPlainText(), QStringLiteral("بۇ: "));
  QGuiApplication::clipboard()->setText(QStringLiteral("Мән"));
  EXPECT_TRUE(memo->PasteAsUyghur());
  EXPECT_EQ(memo->toPlainText(), QStringLiteral("بۇ: مەن"));
  QGuiApplication::clipboard()->setText(QStringLiteral("ئانار"));  // Arabic script already
  EXPECT_FALSE(memo->PasteAsUyghur());
  EXPECT_EQ(memo->toPlainText(), QStringLiteral("بۇ: مەن"));
}

}  // namespace
