// SPDX-License-Identifier: GPL-3.0-or-later
// The export button: displayed lines of the editor to visual-order presentation forms on
// the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QTextBlock>
#include <QGlyphRun>
#include <QTextLayout>
#include <QTextCursor>
#include <QToolButton>
#include <gtest/gtest.h>

#include "shaper.h"
#include "tform1.h"
#include "uy_memo.h"
#include "uyedit_fixture.h"
#include "visual.h"

namespace {

class Export : public uytest::WindowTest {
 protected:
  uy::uyedit::UyMemo* Memo() { return Window().TntMemo1; }
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

// The export's order is the order in which the text area draws each displayed line: for
// a few mixed lines (some with U+2029 or U+FDD0, drawn as boxes inside the line), and for
// wrapped paragraphs whose lines start with a number or a Latin word that takes its level
// from the line before, the characters sorted by where their glyphs are drawn equal the
// export line once presentation forms are read as their letters and brackets as either
// partner.
TEST_F(Export, ExportedOrderIsTheOrderTheTextAreaDraws) {
  auto plain = [](char16_t c) -> char16_t {
    for (const auto& row : uy::exporter::kShapeTable)
      if (c == row.isolated || c == row.initial || c == row.medial || c == row.final) return row.base;
    const std::u16string_view close = u")]}\u00BB";
    if (const auto k = close.find(c); k != close.npos) return u"([{\u00AB"[k];
    return c;
  };
  std::vector<std::u16string> lines = {
      u"\u0628\u06D5\u062A 3.14 12:30",  u"AB \u0628\u0628, C",   u"!AB",
      u"A(B)C \u0628\u06D5\u062A",       u"\u0628 (AB) \u0628",  u"\u05D0\u05D1 12 \u0628\u0631",
      u"Hello world \u0643\u0649\u062A\u0627\u0628", u"1-2 \u0645\u06D5\u0646 2011",
      u"\u0628\u0627 12\u2029 \u062A",   u"AB\u2029\u0628\u0631 CD",  u"\u0628 \u2029(x) \u0631",
      u"12 \uFDD0 \u0628 ab"};
  const std::u16string wrapped[] = {u"\u0628\u06D5\u062A 12-34 ", u"Hello 2011 world, ",
                                    u"\u0643\u0649\u062A\u0627\u0628 AB 12 (x) "};
  for (const auto& words : wrapped) {
    std::u16string paragraph;
    for (int i = 0; i < 40; ++i) paragraph += words;
    lines.push_back(paragraph);
  }
  std::u16string text;
  for (const auto& l : lines) text += l + u"\n";
  Memo()->ReplaceText(Q(text));
  QApplication::processEvents();
  Press();
  const QStringList exported_lines = QApplication::clipboard()->text().split(QStringLiteral("\r\n"));
  int line_number = 0, wrapped_lines = 0, ordered_by_paragraph = 0;
  QTextBlock block = Memo()->document()->begin();
  for (const auto& file_line : lines) {
    // As held: U+2029 and U+FDD0 by their stand-ins, a surrogate pair each.
    const std::u16string paragraph = uy::uyedit::UyMemo::HeldText(Q(file_line)).toStdU16String();
    ASSERT_EQ(block.text(), Q(paragraph));
    QTextLayout* layout = block.layout();
    ASSERT_EQ(layout->lineCount() > 1, paragraph.size() > 40);
    for (int l = 0; l < layout->lineCount(); ++l) {
      const QTextLine shown = layout->lineAt(l);
      const std::u16string line = paragraph.substr(static_cast<std::size_t>(shown.textStart()),
                                                   static_cast<std::size_t>(shown.textLength()));
      // Where each character's glyph is drawn. The white space at the end of a wrapped line
      // is drawn nowhere: it hangs past the line's end, the left edge in a right-to-left
      // paragraph.
      std::vector<std::pair<qreal, int>> left_edges;
      for (int i = shown.textStart(); i < shown.textStart() + shown.textLength(); ++i) {
        if (QChar::isLowSurrogate(paragraph[static_cast<std::size_t>(i)])) continue;  // drawn with its pair
        qreal x = 1e9;
        for (const QGlyphRun& run : shown.glyphRuns(i, 1))
          for (const QPointF& p : run.positions()) x = std::min(x, p.x());
        left_edges.emplace_back(x == 1e9 ? -1e9 : x, i);
      }
      std::stable_sort(left_edges.begin(), left_edges.end());
      std::u16string drawn, exported;
      for (const auto& [x, i] : left_edges) {
        const QString shown_char = uy::uyedit::UyMemo::FileText(Q(paragraph).mid(i, QChar::isHighSurrogate(paragraph[static_cast<std::size_t>(i)]) ? 2 : 1));
        for (const QChar c : shown_char) drawn += plain(c.unicode());
      }
      const std::u16string got = exported_lines.value(line_number++).toStdU16String();
      for (char16_t c : got) exported += plain(c);
      EXPECT_EQ(Q(exported), Q(drawn)) << block.blockNumber() << " line " << l;
      if (layout->lineCount() > 1) {
        ++wrapped_lines;
        ordered_by_paragraph += got != uy::exporter::VisualLine(uy::uyedit::UyMemo::FileText(Q(line)).toStdU16String());
      }
    }
    block = block.next();
  }
  // The wrapped paragraphs do meet lines that a paragraph of their own would order otherwise.
  EXPECT_GT(wrapped_lines, 6);
  EXPECT_GT(ordered_by_paragraph, 0);
}

}  // namespace
