// SPDX-License-Identifier: GPL-3.0-or-later
// New, Open, Save and colour through a recording dialog provider.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <gtest/gtest.h>

#include "test_util.h"
#include "tform1.h"
#include "utf.h"
#include "uy_memo.h"
#include "uyedit_fixture.h"

namespace {

using Kind = uy::gui::RecordingDialogs::Kind;

class Files : public uytest::WindowTest {
 protected:
  uy::uyedit::UyMemo* Memo() { return Window().TntMemo1; }
  // The text as held (toPlainText would turn U+00A0 into a space).
  std::u16string Text() {
    return Memo()->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n').toStdU16String();
  }
  static QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }
  void Open(const std::filesystem::path& p) {
    dialogs.open_answers.push_back({Q(p)});
    Window().ToolButton2->click();
  }
  void Save(const std::filesystem::path& p) {
    dialogs.save_answers.push_back(Q(p));
    Window().ToolButton3->click();
  }
  uytest::TempDir dir;
};

TEST_F(Files, OpenAndSaveRoundTripAsUtf16WithCrLf) {
  const std::u16string text = u"\u0628\u0627\u0644\u0627\r\n\r\n12\u00A0ab\r\n";
  uytest::WriteFile(dir / "in.uyt", "\xFF\xFE" + uytest::Utf16Le(text));
  Open(dir / "in.uyt");
  EXPECT_EQ(Text(), u"\u0628\u0627\u0644\u0627\n\n12\u00A0ab\n");
  Save(dir / "out.uyt");
  EXPECT_EQ(uytest::ReadFile(dir / "out.uyt"), "\xFF\xFE" + uytest::Utf16Le(text));
  EXPECT_TRUE(Failures().isEmpty());
  // Typed text is saved as the text area holds it.
  Window().ToolButton1->click();
  QTest::keyClicks(Memo(), "be");
  QTest::keyClick(Memo(), Qt::Key_Return);
  Save(dir / "typed.uyt");
  EXPECT_EQ(uytest::ReadFile(dir / "typed.uyt"), "\xFF\xFE" + uytest::Utf16Le(u"\u0628\u06D0\r\n"));
}

TEST_F(Files, OtherEncodingsLoadAndSaveBackAsUtf16) {
  uytest::WriteFile(dir / "u8.txt", "\xEF\xBB\xBF" "a\r\xD8\xA8");
  Open(dir / "u8.txt");
  EXPECT_EQ(Text(), u"a\n\u0628");
  uytest::WriteFile(dir / "be.uyt", std::string("\xFE\xFF\x00\x61\x00\x62", 6));
  Open(dir / "be.uyt");
  EXPECT_EQ(Text(), u"ab");
  Save(dir / "be.uyt");
  EXPECT_EQ(uytest::ReadFile(dir / "be.uyt"), std::string("\xFF\xFE\x61\x00\x62\x00", 6));
  // An empty text saves as the mark alone.
  Window().ToolButton1->click();
  Save(dir / "empty.uyt");
  EXPECT_EQ(uytest::ReadFile(dir / "empty.uyt"), "\xFF\xFE");
}

// Open then Save gives the file's own text back, whatever it holds; where it cannot
// (a stand-in character in the file) or may surprise (U+0000), a warning says so.
TEST_F(Files, OpenAndSaveKeepEveryCharacter) {
  const std::string mark = "\xFF\xFE";
  struct Case {
    std::string name, bytes;
    std::u16string saved;  // the text of the saved file (after its mark)
    QString warning;       // a word the one warning holds; empty: no warning
  };
  const Case cases[] = {
      {"nul", mark + uytest::Utf16Le(std::u16string(u"\u0628\u0627\0\u0644\u0627\r\n1", 8)),
       std::u16string(u"\u0628\u0627\0\u0644\u0627\r\n1", 8), "NUL"},
      {"nuls only", mark + std::string(4, '\0'), std::u16string(2, u'\0'), "含有 2 个 NUL"},
      {"no mark", std::string("A\0B\0", 4), std::u16string(u"A\0B\0", 4), "没有字节顺序标记"},
      {"separators", mark + uytest::Utf16Le(u"a\u2029b\uFDD0\uFDD1\r\n\u2029"),
       u"a\u2029b\uFDD0\uFDD1\r\n\u2029", ""},
      {"lone surrogates", mark + uytest::Utf16Le(u"\xDC00" u"a\xD800"), u"\xDC00" u"a\xD800", ""},
      {"stand-ins", mark + uytest::Utf16Le(u"\U00102029\U0010FDD0x\U0010FDD1\U0010FDD2"),
       u"\u2029\uFDD0x\uFDD1\U0010FDD2", "含有 3 个 U+102029"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.calls.clear();
    uytest::WriteFile(dir / "in.uyt", c.bytes);
    Open(dir / "in.uyt");
    Save(dir / "out.uyt");
    EXPECT_EQ(uytest::ReadFile(dir / "out.uyt"), mark + uytest::Utf16Le(c.saved));
    const auto messages = dialogs.Of(Kind::Message);
    ASSERT_EQ(messages.size(), c.warning.isEmpty() ? 0u : 1u);
    if (!c.warning.isEmpty()) {
      EXPECT_TRUE(messages[0].text.contains(c.warning)) << messages[0].text.toStdString();
    }
    EXPECT_TRUE(Failures().isEmpty());
  }
  // The text area shows one paragraph break where the file has one, and every NUL.
  uytest::WriteFile(dir / "in.uyt", mark + uytest::Utf16Le(std::u16string(u"a\u2029b\0c", 6)));
  Open(dir / "in.uyt");
  EXPECT_EQ(Memo()->document()->blockCount(), 1);
  EXPECT_EQ(Memo()->document()->characterCount(), 1 + 7);  // a, stand-in pair, b, NUL, c
}

// Shift+Enter and Ctrl+Enter type the paragraph break of Enter, never U+2028.
TEST_F(Files, EveryEnterTypesAParagraphBreak) {
  Window().ToolButton1->click();
  for (const auto mods : {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier}) {
    QTest::keyClicks(Memo(), "b");
    QTest::keyClick(Memo(), Qt::Key_Return, mods);
    QTest::keyClick(Memo(), Qt::Key_Enter, mods | Qt::KeypadModifier);
  }
  EXPECT_EQ(Text(), u"\u0628\n\n\u0628\n\n\u0628\n\n");
  Save(dir / "enter.uyt");
  EXPECT_EQ(uytest::ReadFile(dir / "enter.uyt").find(std::string("\x28\x20", 2)), std::string::npos);
}

// New and Open replace the text without asking, and Ctrl+Z brings the old text back.
TEST_F(Files, NewAndOpenCanBeUndone) {
  Window().ToolButton1->click();
  QTest::keyClicks(Memo(), "bd");
  uytest::WriteFile(dir / "o.uyt", "\xFF\xFE" + uytest::Utf16Le(u"x\r\ny\u2029"));
  Open(dir / "o.uyt");
  EXPECT_EQ(Text(), u"x\ny\U00102029");
  QTest::keyClick(Memo(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(Text(), u"");
  QTest::keyClick(Memo(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), u"x\ny\U00102029");
  QTest::keyClick(Memo(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), u"\u0628\u062F");
  // A text long enough to go in in pieces arrives whole and still undoes in one step.
  std::u16string big;
  for (int i = 0; big.size() < 300000; ++i) big += uy::FromUtf8("line " + std::to_string(i) + "\r\n");
  uytest::WriteFile(dir / "big.uyt", "\xFF\xFE" + uytest::Utf16Le(big));
  Open(dir / "big.uyt");
  EXPECT_EQ(Memo()->TextCrLf().toStdU16String(), big);
  QTest::keyClick(Memo(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Text(), u"\u0628\u062F");
  EXPECT_TRUE(Failures().isEmpty());
}

TEST_F(Files, MalformedUtf8LoadsWithReplacementCharactersAndAWarning) {
  uytest::WriteFile(dir / "bad.uyt", "\xEF\xBB\xBF" "a\xC3(b");
  Open(dir / "bad.uyt");
  const std::u16string text = Text();
  EXPECT_NE(text.find(u'\uFFFD'), std::u16string::npos);
  EXPECT_EQ(text.front(), u'a');
  EXPECT_EQ(text.back(), u'b');
  const auto messages = dialogs.Of(Kind::Message);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains(Q(dir / "bad.uyt")));
  // Half a UTF-16 unit at the end is said too.
  uytest::WriteFile(dir / "odd.uyt", std::string("\xFF\xFE" "a\x00" "b", 5));
  Open(dir / "odd.uyt");
  EXPECT_EQ(Text(), u"a");
  ASSERT_EQ(dialogs.Of(Kind::Message).size(), 2u);
  EXPECT_TRUE(dialogs.Of(Kind::Message)[1].text.contains(QStringLiteral("半个字符")));
  EXPECT_TRUE(Failures().isEmpty());
}

TEST_F(Files, CancellingADialogChangesNothing) {
  const std::u16string before = Text();
  Window().TntMemo2->setPlainText("export");
  Window().ToolButton2->click();  // no answer queued: cancelled
  Window().ToolButton3->click();
  EXPECT_EQ(Text(), before);
  EXPECT_EQ(Window().TntMemo2->toPlainText(), QStringLiteral("export"));
  EXPECT_EQ(dialogs.Of(Kind::Open).size(), 1u);
  EXPECT_EQ(dialogs.Of(Kind::Save).size(), 1u);
  EXPECT_TRUE(dir.List().empty());
  const QColor colour = Memo()->palette().color(QPalette::Text);
  Window().ToolButton8->click();
  EXPECT_EQ(Memo()->palette().color(QPalette::Text), colour);
}

TEST_F(Files, DialogsCarryTheirFiltersSuffixesAndLastNames) {
  uytest::WriteFile(dir / "a.uyt", "\xFF\xFE");
  Open(dir / "a.uyt");
  Save(dir / "b.UYT");
  Window().ToolButton2->click();
  Window().ToolButton3->click();
  const auto opens = dialogs.Of(Kind::Open);
  const auto saves = dialogs.Of(Kind::Save);
  ASSERT_EQ(opens.size(), 2u);
  ASSERT_EQ(saves.size(), 2u);
  const QStringList filters = {"Text File(*.UYT) (*.uyt)", "All files(*.*) (*)"};
  EXPECT_EQ(opens[0].options.filters, filters);
  EXPECT_EQ(saves[0].options.filters, filters);
  EXPECT_EQ(opens[0].options.default_suffix, QStringLiteral("uyt"));
  EXPECT_EQ(saves[0].options.default_suffix, QStringLiteral("UYT"));
  // Each dialog offers the name it returned last; the save dialog not the opened one.
  EXPECT_TRUE(opens[0].options.file_name.isEmpty());
  EXPECT_TRUE(saves[0].options.file_name.isEmpty());
  EXPECT_EQ(opens[1].options.file_name, Q(dir / "a.uyt"));
  EXPECT_EQ(saves[1].options.file_name, Q(dir / "b.UYT"));
}

TEST_F(Files, OpeningAMissingFileShowsTheMessageAndKeepsTheText) {
  const std::u16string before = Text();
  Open(dir / "missing.uyt");
  EXPECT_EQ(Text(), before);
  ASSERT_EQ(Failures().size(), 1);
  EXPECT_TRUE(Failures()[0].startsWith("Cannot open file " + Q(dir / "missing.uyt")))
      << Failures()[0].toStdString();
  EXPECT_EQ(dialogs.Of(Kind::Error)[0].caption, Window().windowTitle());
}

TEST_F(Files, AFailedSaveKeepsTheOldFileAndShowsWhy) {
  Save(dir / "no such folder" / "x.uyt");
  ASSERT_EQ(Failures().size(), 1);
  EXPECT_TRUE(Failures()[0].startsWith("Cannot create file " + Q(dir / "no such folder" / "x.uyt")))
      << Failures()[0].toStdString();

  // A file size limit makes the write come up short.
  uytest::WriteFile(dir / "old.uyt", "old content");
  Memo()->setPlainText(QString(5000, u'\u0628'));
  {
    uytest::FileSizeLimit limit(4096);
    Save(dir / "old.uyt");
  }
  ASSERT_EQ(Failures().size(), 2);
  EXPECT_TRUE(Failures()[1].startsWith("Stream write error")) << Failures()[1].toStdString();
  EXPECT_TRUE(Failures()[1].contains(Q(dir / "old.uyt")));
  EXPECT_EQ(uytest::ReadFile(dir / "old.uyt"), "old content");
  EXPECT_EQ(dir.List(), std::vector<std::string>({"old.uyt"}));
  EXPECT_EQ(Memo()->toPlainText().size(), 5000);
}

// Lines too long to lay out at once (NUL characters, which no font has; one long word) are
// shown in pieces: every character is kept, the export sees one paragraph, a break typed
// at a cut is a real one and deleting a cut joins the pieces.
TEST_F(Files, HugeLinesAreShownInPiecesAndKeptWhole) {
  const std::u16string nuls(20000, u'\0'), word(30000, u'\u0628');
  const std::string bytes = "\xFF\xFE" + uytest::Utf16Le(nuls + u"\r\n" + word + u" end");
  uytest::WriteFile(dir / "huge.uyt", bytes);
  Open(dir / "huge.uyt");
  auto longest = [this] {
    int units = 0;
    for (QTextBlock b = Memo()->document()->begin(); b.isValid(); b = b.next()) units = std::max(units, b.length() - 1);
    return units;
  };
  EXPECT_EQ(longest(), uy::uyedit::UyMemo::kShownPiece);
  EXPECT_EQ(Memo()->DisplayedLines().join(QString()).toStdU16String(), nuls + word + u" end");
  auto paragraphs = [this] {
    int n = 0;
    Memo()->VisitDisplayedParagraphs([&n](const QString&, std::span<const std::size_t>) { ++n; });
    return n;
  };
  EXPECT_EQ(paragraphs(), 2);
  // A copy across a cut has no break there; one across the real break has it.
  QTextCursor across = Memo()->textCursor();
  across.setPosition(20000 + 2 + 1 + 8190);  // the NULs, their 2 cuts, the break, 8190 letters
  across.setPosition(across.position() + 5, QTextCursor::KeepAnchor);
  Memo()->setTextCursor(across);
  Memo()->copy();
  EXPECT_EQ(QApplication::clipboard()->text(), QString(4, QChar(0x0628)));
  across.setPosition(20000 + 2 - 1);
  across.setPosition(across.position() + 3, QTextCursor::KeepAnchor);
  Memo()->setTextCursor(across);
  Memo()->copy();
  EXPECT_EQ(QApplication::clipboard()->text(), QString(QChar(0)) + u'\n' + QChar(0x0628));
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::u16string saved;
  };
  const std::u16string whole = nuls + u"\r\n" + word + u" end";
  const Step steps[] = {
      {Qt::Key_Return, {}, nuls.substr(0, 8192) + u"\r\n" + nuls.substr(8192) + u"\r\n" + word + u" end"},
      {Qt::Key_Backspace, {}, whole},
      {Qt::Key_Backspace, {}, whole},  // the cut: nothing of the text
      {Qt::Key_Z, Qt::ControlModifier, whole},
  };
  QTextCursor at_cut = Memo()->textCursor();
  at_cut.setPosition(8192 + 1);  // the start of the second piece
  Memo()->setTextCursor(at_cut);
  auto saved = [this] {
    Save(dir / "out.uyt");
    return uytest::ReadFile(dir / "out.uyt");
  };
  for (const Step& step : steps) {
    QTest::keyClick(Memo(), step.key, step.modifiers);
    EXPECT_EQ(saved(), "\xFF\xFE" + uytest::Utf16Le(step.saved)) << step.key;
  }
  EXPECT_EQ(longest(), uy::uyedit::UyMemo::kShownPiece);
  // Undone to before the open and done again (the deleted cut too): the other cuts are
  // display-only still.
  while (Memo()->document()->isUndoAvailable()) Memo()->undo();
  while (Memo()->document()->isRedoAvailable()) Memo()->redo();
  EXPECT_EQ(saved(), "\xFF\xFE" + uytest::Utf16Le(whole));
  EXPECT_EQ(longest(), 2 * uy::uyedit::UyMemo::kShownPiece);
  // A paste of such a line is shown in pieces too.
  Window().ToolButton1->click();
  QApplication::clipboard()->setText(QString::fromStdU16String(word));
  Memo()->paste();
  EXPECT_EQ(longest(), uy::uyedit::UyMemo::kShownPiece);
  EXPECT_EQ(saved(), "\xFF\xFE" + uytest::Utf16Le(word));
  // A piece of one displayed line still continues its paragraph.
  QTextCursor most_of_a_piece(Memo()->document());
  most_of_a_piece.setPosition(8193);
  most_of_a_piece.setPosition(8193 + 8191, QTextCursor::KeepAnchor);
  most_of_a_piece.removeSelectedText();
  EXPECT_EQ(paragraphs(), 1);
  EXPECT_TRUE(Failures().isEmpty());
}

TEST_F(Files, ColourAppliesToBothTextAreas) {
  dialogs.colour_answers.push_back(QColor(0x12, 0x34, 0x56));
  Window().ToolButton8->click();
  EXPECT_EQ(Memo()->palette().color(QPalette::Text), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(Window().TntMemo2->palette().color(QPalette::Text), QColor(0x12, 0x34, 0x56));
}

TEST_F(Files, MenuItemsAndShortcutsRunTheSameCommands) {
  uytest::WriteFile(dir / "m.uyt", "\xFF\xFE" + uytest::Utf16Le(u"menu"));
  dialogs.open_answers.push_back({Q(dir / "m.uyt")});
  Window().FileOpen1->trigger();
  EXPECT_EQ(Text(), u"menu");
  dialogs.save_answers.push_back(Q(dir / "s.uyt"));
  QTest::keyClick(Memo(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(uytest::ReadFile(dir / "s.uyt"), "\xFF\xFE" + uytest::Utf16Le(u"menu"));
  QTest::keyClick(Memo(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(dialogs.Of(Kind::Open).size(), 2u);
  Window().TntMemo2->setPlainText("export");
  Window().FileNew1->trigger();
  EXPECT_EQ(Text(), u"");
  EXPECT_TRUE(Window().TntMemo2->toPlainText().isEmpty());
  QTest::keyClicks(Memo(), "bd");
  QTest::keyClick(Memo(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(Text(), u"");
}

}  // namespace
