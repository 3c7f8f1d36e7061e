// The export button: displayed lines of the editor to visual-order presentation forms on
// the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <gtest/gtest.h>

#include "editor/tform1.h"
#include "editor/uy_memo.h"
#include "export/visual.h"
#include "gui_test_util.h"

namespace {

class Export : public uytest::WindowTest {
 protected:
  uy::editor::UyMemo* Memo() { return Window().TntMemo1; }
  void Press() { Window().ToolButton4->click(); }
  std::u16string Clipboard() { return QApplication::clipboard()->text().toStdU16String(); }
  static QString Q(const std::u16string& s) { return QString::fromStdU16String(s); }
  // The displayed lines of a block as the editor's cursor sees them: a line starts where
  // the cursor's StartOfLine leads from any position in it.
  static QStringList LinesByCursor(const QTextBlock& block) {
    QList<int> starts;
    QTextCursor c(block);
    for (int p = block.position(); p < block.position() + block.length() - 1; ++p) {
      c.setPosition(p);
      c.movePosition(QTextCursor::StartOfLine);
      if (!starts.contains(c.position() - block.position()))
        starts.append(c.position() - block.position());
    }
    std::sort(starts.begin(), starts.end());
    QStringList lines;
    for (int i = 0; i < starts.size(); ++i) {
      const int end = i + 1 < starts.size() ? starts[i + 1] : block.text().size();
      lines << block.text().mid(starts[i], end - starts[i]);
    }
    if (lines.isEmpty()) lines << QString();
    return lines;
  }
};

TEST_F(Export, EveryLineGoesToTheHiddenMemoAndTheClipboardWithCrLf) {
  Memo()->setPlainText(Q(u"\u0628\u0627\u0644\u0627 2011\n\n(\u0628\u0627\u0644\u0627)\nx\n\u0644\u0627\n"));
  Press();
  const std::u16string expected =
      u"2011 \uFEFB\uFE8E\uFE91\r\n"
      u"\r\n"
      u"(\uFEFB\uFE8E\uFE91)\r\n"
      u"x\r\n"
      u"\uFEFB\r\n";
  EXPECT_EQ(Clipboard(), expected);
  EXPECT_EQ(Window().TntMemo2->toPlainText().toStdU16String(),
            u"2011 \uFEFB\uFE8E\uFE91\n\n(\uFEFB\uFE8E\uFE91)\nx\n\uFEFB");
  // The editor's own text is not changed.
  EXPECT_EQ(Memo()->toPlainText().toStdU16String(),
            u"\u0628\u0627\u0644\u0627 2011\n\n(\u0628\u0627\u0644\u0627)\nx\n\u0644\u0627\n");
}

TEST_F(Export, NoBreakSpaceAndTheLastLineWithoutBreakAreKept) {
  Memo()->setPlainText(Q(u"12\u00A034"));
  Press();
  EXPECT_EQ(Clipboard(), u"12\u00A034\r\n");
}

TEST_F(Export, AnEmptyEditorLeavesTheClipboardAsItWas) {
  QApplication::clipboard()->setText("before");
  Window().TntMemo2->setPlainText("old export");
  Window().ToolButton1->click();
  Press();
  EXPECT_EQ(Clipboard(), u"before");
  EXPECT_TRUE(Window().TntMemo2->toPlainText().isEmpty());
}

TEST_F(Export, AWrappedParagraphIsSplitWhereTheEditorShowsIt) {
  // Many long paragraphs: most are below the visible part and were never laid out.
  std::u16string word = u"\u0628\u0627\u0644\u0627\u0644\u0627\u0631 ";
  std::u16string paragraph;
  for (int i = 0; i < 40; ++i) paragraph += word;
  std::u16string text;
  for (int i = 0; i < 30; ++i) text += paragraph + u"\n";
  Memo()->setPlainText(Q(text));
  QApplication::processEvents();
  Press();
  QStringList expected_lines;
  for (QTextBlock b = Memo()->document()->begin(); b.isValid(); b = b.next()) {
    if (b.text().isEmpty() && !b.next().isValid()) break;
    expected_lines << LinesByCursor(b);
  }
  ASSERT_GE(expected_lines.size(), 30 * 2);  // every paragraph wraps
  std::u16string expected;
  for (const QString& line : expected_lines) {
    EXPECT_LT(line.size(), int(paragraph.size()));
    expected += uy::exporter::VisualLine(line.toStdU16String()) + u"\r\n";
  }
  EXPECT_EQ(Clipboard(), expected);
  // The pieces of each paragraph put together give the paragraph.
  const QStringList shown = Memo()->DisplayedLines();
  ASSERT_EQ(shown, expected_lines);
  EXPECT_EQ(shown.mid(0, shown.size() / 30).join(QString()), Q(paragraph));
}

}  // namespace
