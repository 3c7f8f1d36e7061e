// SPDX-License-Identifier: GPL-3.0-or-later
// The phonetic keyboard in the editor window, driven by real key and input-method events.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTextCursor>
#include <QToolButton>
#include <gtest/gtest.h>

#include "tform1.h"
#include "uy_memo.h"
#include "uyedit_fixture.h"

namespace {

class Keyboard : public uytest::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Memo()->clear();
    Memo()->setFocus();
  }
  uy::uyedit::UyMemo* Memo() { return Window().TntMemo1; }
  std::u16string Text() { return Memo()->toPlainText().toStdU16String(); }
  // ASCII keys as QTest types them (capitals with their own key code and text).
  void Type(const char* keys) { QTest::keyClicks(Memo(), keys); }
  // A character from another keyboard layout.
  void TypeChar(char16_t c) {
    QTest::sendKeyEvent(QTest::Click, Memo(), Qt::Key_unknown, QString(QChar(c)), Qt::NoModifier);
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(Memo(), key, mods);
  }
};

// Word-start flag sequences, phrases, brackets, capitals (Caps Lock on the a key types 'A').
TEST_F(Keyboard, TypingSequences) {
  const std::pair<const char*, std::u16string_view> cases[] = {
      {"ee", u"\u0626\u06D0\u06D0"},  // the flag is set at start
      {"be", u"\u0628\u06D0"},
      {" f1h", u" \u0626\u06271\u0626\u0649"},
      {" K/e", u" \u06C6\u0626\u06D0"},  // K is no vowel key; '/' is the carrier and clears the flag
      {"Lh", u"\u0644\u0627\u0626\u0649"},
      {"Wf", u"\u06CB\u06D5 \u0626\u0627"},
      {"bX", u"\u0628\u0634\u0649\u0646\u062C\u0627\u06AD \u0626\u06C7\u064A\u063A\u06C7\u0631 "
             u"\u0626\u0627\u067E\u062A\u0648\u0646\u0648\u0645 \u0631\u0627\u064A\u0648\u0646\u0649 "},
      {" (e", u" )\u0626\u06D0"},
      {"b(e", u"\u0628)\u06D0"},
      {"[]{})<>?,;", u"\u00BB\u00AB}{(\u203A\u2039\u061F\u060C\u061B"},
      {"APNCV", u"\u2190\u00A7\u2116\u3011\u3010"},
  };
  for (const auto& [keys, want] : cases) {
    Memo()->clear();
    Type(keys);
    EXPECT_EQ(Text(), want) << keys;
  }
  Memo()->clear();
  Type("kt");
  Key(Qt::Key_Backspace);  // sets the flag
  Type("e");
  EXPECT_EQ(Text(), u"\u0643\u0626\u06D0");
}

TEST_F(Keyboard, EnglishModeInsertsKeysAndKeepsTheFlag) {
  Type("b");
  Window().ToolButton11->click();
  EXPECT_FALSE(Window().ToolButton11->isChecked());
  Type(" eB");
  Window().ToolButton11->click();
  Type("e");
  EXPECT_EQ(Text(), u"\u0628 eB\u06D0");
}

TEST_F(Keyboard, CharactersWithoutAnEntryPassAndSetTheFlag) {
  Type("b");
  TypeChar(u'\u00E9');
  Type("e");
  TypeChar(u'\u0628');  // typed through an Arabic layout
  Type("o");
  EXPECT_EQ(Text(), u"\u0628\u00E9\u0626\u06D0\u0628\u0626\u0648");
}

TEST_F(Keyboard, InsertionReplacesTheSelection) {
  Memo()->setPlainText("xyz");
  QTextCursor c = Memo()->textCursor();
  c.setPosition(1);
  c.setPosition(2, QTextCursor::KeepAnchor);
  Memo()->setTextCursor(c);
  Type("W");
  EXPECT_EQ(Text(), u"x\u06CB\u06D5 z");
  EXPECT_EQ(Memo()->textCursor().position(), 4);
}

TEST_F(Keyboard, CursorKeysAndDeleteNeitherReachTheKeyboardNorChangeTheFlag) {
  Type("bd");
  Key(Qt::Key_Left);
  Key(Qt::Key_Right);
  Key(Qt::Key_Home);
  Key(Qt::Key_F5);
  QTextCursor c = Memo()->textCursor();
  c.setPosition(1);
  Memo()->setTextCursor(c);
  // X11 sends U+007F with Delete; it is no typed character.
  QTest::sendKeyEvent(QTest::Click, Memo(), Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier);
  Key(Qt::Key_End);
  Type("e");
  EXPECT_EQ(Text(), u"\u0628\u06D0");
  Key(Qt::Key_Return);
  Type("e");
  EXPECT_EQ(Text(), u"\u0628\u06D0\n\u0626\u06D0");
}

TEST_F(Keyboard, CtrlShortcutsKeepWorkingAndTypeNothing) {
  Type("bd");
  Key(Qt::Key_A, Qt::ControlModifier);  // select all
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdU16String(u"\u0628\u062F"));
  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Text(), u"");
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Text(), u"\u0628\u062F");
  // A Ctrl combination types a control character: it sets the flag.
  Type("e");
  EXPECT_EQ(Text(), u"\u0628\u062F\u0626\u06D0");
  // Alt combinations are commands: they never type a Uyghur letter.
  Key(Qt::Key_F, Qt::AltModifier);
  EXPECT_EQ(Text().find(u'\u0627'), std::u16string::npos) << QString::fromStdU16String(Text()).toStdString();
}

TEST_F(Keyboard, APhraseIsOneUndoStep) {
  Type("W");
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), u"");
  Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Text(), u"\u06CB\u06D5 ");
}

TEST_F(Keyboard, OnlyTheTextAreaHasTheKeyboard) {
  QLineEdit* edit = Window().ComboBox1->lineEdit();
  edit->clear();
  QTest::keyClicks(edit, "be");
  EXPECT_EQ(edit->text(), QStringLiteral("be"));
}

}  // namespace
