// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's text area: a plain-text area whose typed characters pass through a hook
// (the phonetic keyboard) before the area inserts them.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <unordered_set>

#include <QPlainTextEdit>
#include <QString>
#include <QTextBlock>
#include <QTextCursor>

#include "script.h"

class QMenu;

namespace uy::uyedit {

class UyMemo : public QPlainTextEdit {
  Q_OBJECT
 public:
  // Sees every typed character before the area inserts it (control characters such as
  // Backspace, Enter and Ctrl combinations included; cursor keys, Delete and function
  // keys, which type nothing, never). Returns the text to insert instead, or nothing to
  // let the area handle the keystroke itself.
  using TypedHook = std::function<std::optional<QString>(const QString& typed)>;

  explicit UyMemo(QWidget* parent = nullptr);
  void SetTypedHook(TypedHook hook) { typed_hook_ = std::move(hook); }

  // Every displayed line, wrapped pieces of a paragraph as separate lines, the empty
  // last line after a final line break left out. Blocks never shown are laid out first.
  QStringList DisplayedLines() const;
  // The same lines a paragraph at a time: `visit` gets each paragraph's text (as a file
  // holds it) and where each of its displayed lines ends in that text, the last at its end.
  void VisitDisplayedParagraphs(
      const std::function<void(const QString& text, std::span<const std::size_t> line_ends)>& visit) const;
  // The whole text as a file holds it, with CR LF between paragraphs (U+00A0 kept,
  // stand-ins turned back into the characters they stand for).
  QString TextCrLf() const;
  // Replaces the whole text with a file's text (CR LF breaks) as one step that Ctrl+Z
  // undoes; the caret goes to the start. An empty text empties the area. A large text
  // goes in in pieces, with the window's events other than user input handled between.
  // The text area lays out and draws a paragraph whole on every change, in time that
  // grows faster than its length (a long word, characters no font has): a paragraph
  // longer than kShownPiece units is shown as paragraphs of at most that many units, cut
  // after a space where one is near. Those display-only breaks are no part of the text:
  // TextCrLf, the displayed paragraphs and the export join the pieces again. A break
  // typed at the cut is a real one; deleting a cut joins the pieces on the screen too;
  // undo and redo keep them. A paste that holds such a paragraph is shown the same way;
  // a copy leaves the display-only breaks out.
  void ReplaceText(const QString& file_text);
  static constexpr qsizetype kShownPiece = 8192;

  // The text area takes U+2029, U+FDD0 and U+FDD1 as paragraph breaks, so it holds
  // stand-ins from the private-use plane 16 for them (U+102029, U+10FDD0, U+10FDD1),
  // drawn as boxes. HeldText puts the stand-ins in; it counts the stand-in characters
  // that `file_text` already held, which FileText turns into those three characters.
  static QString HeldText(const QString& file_text, qsizetype* stand_ins_in_file = nullptr);
  static QString FileText(QString held);

  // The context menu: the text area's own entries, then "Copy as Latin", "Copy as Cyrillic",
  // "Copy as New Script" and "Paste as Uyghur script" (objects named copyAsLatin,
  // copyAsCyrillic, copyAsNewScript, pasteAsUyghur). The caller owns it.
  QMenu* CreateContextMenu();
  // Puts the selection (everything when nothing is selected) on the clipboard, converted from
  // the Arabic script to `to` by the standards (uy::script, the built-in word list), line
  // breaks as LF. Nothing to copy leaves the clipboard as it was.
  void CopyAs(uy::script::Script to);
  // Converts the clipboard's Latin, Cyrillic or New Script text (told from its letters) to
  // the Arabic script and inserts it in place of the selection, as one step Ctrl+Z undoes.
  // Returns false, changing nothing, when the clipboard holds no such text.
  bool PasteAsUyghur();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  QMimeData* createMimeDataFromSelection() const override;

 private:
  // The selection (everything when nothing is selected) as held, paragraph breaks as LF,
  // the display-only breaks left out.
  QString SelectionHeld() const;
  // Inserts held text at the cursor, inside the caller's edit block, with display-only
  // breaks where a paragraph needs them.
  void InsertHeld(QTextCursor& cursor, const QString& held);

  // Tells, block by block in document order, whether the break before a block is
  // display-only.
  class BreakKinds {
   public:
    explicit BreakKinds(const UyMemo& memo);
    bool DisplayOnlyBefore(const QTextBlock& block);

   private:
    bool active_;
    std::unordered_set<qint64> seen_;
  };

  TypedHook typed_hook_;
  bool has_display_only_breaks_ = false;  // ever made in this text area
  qint64 display_only_breaks_made_ = 0;
};

}  // namespace uy::uyedit
