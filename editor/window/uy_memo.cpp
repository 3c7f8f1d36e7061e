// SPDX-License-Identifier: GPL-3.0-or-later
#include "uy_memo.h"

#include <algorithm>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

namespace uy::uyedit {

namespace {

// The characters a keystroke types, as a text area receives them. Ctrl combinations
// type their control character (X11 sends it, QTest sends the plain letter); Delete
// types nothing (X11 sends U+007F).
QString TypedText(const QKeyEvent* event) {
  const QString text = event->text();
  if (text.isEmpty() || event->key() == Qt::Key_Delete) return {};
  // Alt and Meta combinations are commands, not typing (AltGr is neither).
  if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier)) return {};
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  if (ctrl && text.size() == 1 && text[0].unicode() >= 0x40 && text[0].unicode() < 0x80)
    return QString(QChar(text[0].unicode() & 0x1F));
  return text;
}

// The characters the text area cannot hold, each with its stand-in.
struct StandIn {
  char16_t held;
  char32_t stand_in;
};
constexpr StandIn kStandIns[] = {
    {u'\u2029', U'\U00102029'}, {u'\uFDD0', U'\U0010FDD0'}, {u'\uFDD1', U'\U0010FDD1'}};

bool IsBreak(QChar c) { return c == u'\r' || c == u'\n'; }

// Where the paragraph's piece that starts at `at` ends: `piece` units on, or after a space
// in the last quarter of that, never inside a surrogate pair.
qsizetype PieceEnd(const QString& text, qsizetype at, qsizetype piece) {
  qsizetype cut = at + piece;
  for (qsizetype k = cut; k > cut - piece / 4; --k) {
    if (text[k - 1] == u' ') return k;
  }
  if (text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate()) --cut;
  return cut;
}

// Where display-only breaks go in the held text (before the unit at each index): after
// every piece of a paragraph longer than `piece` units.
std::vector<qsizetype> DisplayCuts(const QString& held, qsizetype piece) {
  std::vector<qsizetype> cuts;
  qsizetype run = 0;
  for (qsizetype i = 0; i < held.size(); ++i) {
    run = IsBreak(held[i]) ? 0 : run + 1;
    if (run <= piece) continue;
    // A paragraph longer than a piece: cut it from its start.
    qsizetype at = i - piece, end = i;
    while (end < held.size() && !IsBreak(held[end])) ++end;
    while (end - at > piece) cuts.push_back(at = PieceEnd(held, at, piece));
    i = end;
    run = 0;
  }
  return cuts;
}

// A display-only break carries this property in its character format, which the text
// area keeps with that character through edits, undo and redo, and never gives to a
// break typed at its place. The value tells the breaks apart: a copy of it (text typed in
// an empty piece takes the format of the break before it) counts only once.
constexpr int kDisplayOnlyBreak = QTextFormat::UserProperty + 0x2029;

}  // namespace

UyMemo::UyMemo(QWidget* parent) : QPlainTextEdit(parent) {}

QMenu* UyMemo::CreateContextMenu() {
  QMenu* menu = createStandardContextMenu();
  menu->addSeparator();
  namespace sc = uy::script;
  const struct {
    const char* name;
    QString caption;
    sc::Script to;
  } copies[] = {
      {"copyAsLatin", tr("Copy as Latin"), sc::Script::Uly},
      {"copyAsCyrillic", tr("Copy as Cyrillic"), sc::Script::Uky},
      {"copyAsNewScript", tr("Copy as New Script"), sc::Script::Uyy},
  };
  for (const auto& c : copies) {
    QAction* action = menu->addAction(c.caption);
    action->setObjectName(QString::fromLatin1(c.name));
    action->setEnabled(!document()->isEmpty());
    connect(action, &QAction::triggered, this, [this, to = c.to] { CopyAs(to); });
  }
  QAction* paste = menu->addAction(tr("Paste as Uyghur script"));
  paste->setObjectName(QStringLiteral("pasteAsUyghur"));
  paste->setEnabled(!isReadOnly() && !QGuiApplication::clipboard()->text().isEmpty());
  connect(paste, &QAction::triggered, this, [this] { PasteAsUyghur(); });
  return menu;
}

void UyMemo::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void UyMemo::CopyAs(uy::script::Script to) {
  const QString text = FileText(SelectionHeld());
  if (text.isEmpty()) return;
  uy::script::Options options;
  options.from = uy::script::Script::Uey;
  options.to = to;
  options.words = &uy::script::WordList::BuiltIn();
  QGuiApplication::clipboard()->setText(
      QString::fromStdU16String(uy::script::Convert(text.toStdU16String(), options)));
}

bool UyMemo::PasteAsUyghur() {
  if (isReadOnly()) return false;
  const std::u16string text = QGuiApplication::clipboard()->text().toStdU16String();
  const uy::script::Detection d = uy::script::DetectScript(text);
  if (!d.script || *d.script == uy::script::Script::Uey) return false;
  uy::script::Options options;
  options.from = *d.script;
  options.to = uy::script::Script::Uey;
  options.words = &uy::script::WordList::BuiltIn();
  QString converted = QString::fromStdU16String(uy::script::Convert(text, options));
  converted.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  // One edit: a single Ctrl+Z takes the whole paste back.
  QTextCursor cursor = textCursor();
  cursor.insertText(HeldText(converted));
  setTextCursor(cursor);
  ensureCursorVisible();
  return true;
}

QString UyMemo::HeldText(const QString& file_text, qsizetype* stand_ins_in_file) {
  qsizetype clashes = 0;
  bool any = false;
  for (qsizetype i = 0; i < file_text.size(); ++i) {
    const char16_t c = file_text[i].unicode();
    if (c == 0x2029 || c == 0xFDD0 || c == 0xFDD1 || c == 0xDBC8 || c == 0xDBFF) {
      any = true;
      break;
    }
  }
  if (!any) {
    if (stand_ins_in_file) *stand_ins_in_file = 0;
    return file_text;
  }
  QString held;
  held.reserve(file_text.size() + 64);
  for (qsizetype i = 0; i < file_text.size(); ++i) {
    const QChar c = file_text[i];
    const StandIn* hit = nullptr;
    for (const StandIn& s : kStandIns) {
      if (c.unicode() == s.held) hit = &s;
    }
    if (hit) {
      held += QChar(QChar::highSurrogate(hit->stand_in));
      held += QChar(QChar::lowSurrogate(hit->stand_in));
      continue;
    }
    if (c.isHighSurrogate() && i + 1 < file_text.size() && file_text[i + 1].isLowSurrogate()) {
      const char32_t u = QChar::surrogateToUcs4(c, file_text[i + 1]);
      for (const StandIn& s : kStandIns) clashes += u == s.stand_in;
      held += c;
      held += file_text[++i];
      continue;
    }
    held += c;
  }
  if (stand_ins_in_file) *stand_ins_in_file = clashes;
  return held;
}

QString UyMemo::FileText(QString held) {
  // Every stand-in starts with one of two high surrogates.
  qsizetype first = 0;
  while (first < held.size() && held[first].unicode() != 0xDBC8 && held[first].unicode() != 0xDBFF) ++first;
  if (first == held.size()) return held;
  qsizetype out = first;
  for (qsizetype i = first; i < held.size(); ++i) {
    const QChar c = held[i];
    if (c.isHighSurrogate() && i + 1 < held.size() && held[i + 1].isLowSurrogate()) {
      const char32_t u = QChar::surrogateToUcs4(c, held[i + 1]);
      const StandIn* hit = nullptr;
      for (const StandIn& s : kStandIns) {
        if (u == s.stand_in) hit = &s;
      }
      if (hit) {
        held[out++] = QChar(hit->held);
        ++i;
        continue;
      }
    }
    held[out++] = c;
  }
  held.truncate(out);
  return held;
}

void UyMemo::ReplaceText(const QString& file_text) {
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.select(QTextCursor::Document);
  cursor.removeSelectedText();
  InsertHeld(cursor, HeldText(file_text));
  cursor.endEditBlock();
  moveCursor(QTextCursor::Start);
}

void UyMemo::insertFromMimeData(const QMimeData* source) {
  // A paste is split for display as an open is, once it holds a paragraph that needs it.
  const QString text = source && source->hasText() ? source->text() : QString();
  const QString held = HeldText(text);
  if (isReadOnly() || DisplayCuts(held, kShownPiece).empty()) return QPlainTextEdit::insertFromMimeData(source);
  QTextCursor cursor = textCursor();
  cursor.beginEditBlock();
  cursor.removeSelectedText();
  InsertHeld(cursor, held);
  cursor.endEditBlock();
  setTextCursor(cursor);
  ensureCursorVisible();
}

QString UyMemo::SelectionHeld() const {
  const QTextCursor selection = textCursor();
  const QString text = document()->toRawText();
  const int start = selection.hasSelection() ? selection.selectionStart() : 0;
  const int end = selection.hasSelection() ? selection.selectionEnd() : static_cast<int>(text.size());
  if (!has_display_only_breaks_) return text.sliced(start, end - start).replace(QChar(0x2029), u'\n');
  // The breaks are told apart in document order from the start.
  QString held;
  BreakKinds breaks(*this);
  for (QTextBlock block = document()->begin(); block.isValid() && block.position() <= end; block = block.next()) {
    const bool display_only = breaks.DisplayOnlyBefore(block);
    const int from = std::max(start, block.position()), to = std::min(end, block.position() + block.length() - 1);
    if (block.position() > start && !display_only) held += u'\n';
    if (to > from) held += QStringView(text).sliced(from, to - from);
  }
  return held;
}

QMimeData* UyMemo::createMimeDataFromSelection() const {
  QMimeData* data = QPlainTextEdit::createMimeDataFromSelection();
  if (!data || !has_display_only_breaks_ || !textCursor().hasSelection()) return data;
  delete data;  // its text is made from the selection when read, breaks and all
  auto* plain = new QMimeData;
  plain->setText(SelectionHeld());
  return plain;
}

void UyMemo::InsertHeld(QTextCursor& cursor, const QString& held) {
  const std::vector<qsizetype> cuts = DisplayCuts(held, kShownPiece);
  has_display_only_breaks_ = has_display_only_breaks_ || !cuts.empty();
  // A large text goes in in pieces with the window's events handled in between (user
  // input waits), so the window never hangs for long; joining each piece to the first
  // keeps the whole insertion one step for Ctrl+Z.
  constexpr qsizetype kPiece = qsizetype{1} << 18;  // units
  constexpr qint64 kEventsEveryMs = 40;
  QElapsedTimer since_events;
  since_events.start();
  QTextCharFormat plain = cursor.charFormat();
  plain.clearProperty(kDisplayOnlyBreak);
  auto next_cut = cuts.begin();
  for (qsizetype at = 0; at < held.size();) {
    if (next_cut != cuts.end() && *next_cut == at) {
      QTextCharFormat display_only = plain;
      display_only.setProperty(kDisplayOnlyBreak, ++display_only_breaks_made_);
      cursor.insertBlock(cursor.blockFormat(), display_only);
      ++next_cut;
      continue;
    }
    qsizetype end = held.size();
    if (held.size() - at > kPiece) {  // a piece ends after a line feed: CR LF stays whole
      const qsizetype lf = held.indexOf(u'\n', at + kPiece);
      if (lf >= 0) end = lf + 1;
    }
    if (next_cut != cuts.end()) end = std::min(end, *next_cut);
    cursor.insertText(held.sliced(at, end - at), plain);  // CR LF becomes a paragraph break
    at = end;
    if (at < held.size() && since_events.elapsed() >= kEventsEveryMs) {
      cursor.endEditBlock();
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      since_events.restart();
      cursor.joinPreviousEditBlock();
    }
  }
}

UyMemo::BreakKinds::BreakKinds(const UyMemo& memo) : active_(memo.has_display_only_breaks_) {}

bool UyMemo::BreakKinds::DisplayOnlyBefore(const QTextBlock& block) {
  if (!active_ || !block.isValid() || !block.previous().isValid()) return false;
  const QVariant id = block.charFormat().property(kDisplayOnlyBreak);
  return id.isValid() && seen_.insert(id.toLongLong()).second;
}

void UyMemo::keyPressEvent(QKeyEvent* event) {
  // Shift+Enter and Ctrl+Enter would put a line separator (U+2028) inside the paragraph,
  // which looks like Enter but is not one: they type the same paragraph break as Enter.
  const Qt::KeyboardModifiers enter_mods = Qt::ShiftModifier | Qt::ControlModifier;
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && (event->modifiers() & enter_mods) &&
      !(event->modifiers() & (Qt::AltModifier | Qt::MetaModifier))) {
    QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~enter_mods, QStringLiteral("\r"),
                    event->isAutoRepeat(), static_cast<ushort>(event->count()));
    keyPressEvent(&plain);
    event->setAccepted(plain.isAccepted());
    return;
  }
  const QString typed = TypedText(event);
  if (!typed.isEmpty() && typed_hook_) {
    const std::optional<QString> insert = typed_hook_(typed);
    if (insert && !(event->modifiers() & Qt::ControlModifier)) {
      // One edit: replaces the selection like typing and undoes as one step.
      insertPlainText(*insert);
      event->accept();
      return;
    }
  }
  QPlainTextEdit::keyPressEvent(event);
}

void UyMemo::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty() && typed_hook_) {
    if (std::optional<QString> insert = typed_hook_(event->commitString())) {
      QInputMethodEvent changed(event->preeditString(), event->attributes());
      changed.setCommitString(*insert, event->replacementStart(), event->replacementLength());
      QPlainTextEdit::inputMethodEvent(&changed);
      event->accept();
      return;
    }
  }
  QPlainTextEdit::inputMethodEvent(event);
}

void UyMemo::VisitDisplayedParagraphs(
    const std::function<void(const QString& text, std::span<const std::size_t> line_ends)>& visit) const {
  QTextDocument* doc = document();
  auto* layout = qobject_cast<QPlainTextDocumentLayout*>(doc->documentLayout());
  BreakKinds breaks(*this);  // asked once per block, in order
  std::vector<std::size_t> ends;
  QString file_text;
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    if (!block.next().isValid() && text.isEmpty()) break;  // empty last line
    if (layout) layout->blockBoundingRect(block);  // lays out blocks never shown
    const QTextLayout* tl = block.layout();
    const int count = tl ? tl->lineCount() : 0;
    bool continued = breaks.DisplayOnlyBefore(block.next());
    if (count <= 1 && !continued) {
      const QString whole = FileText(text);
      ends.assign(1, static_cast<std::size_t>(whole.size()));
      visit(whole, ends);
      continue;
    }
    // A paragraph shown in pieces is one paragraph; stand-ins are turned back line by
    // line, so the ends stay those of the lines shown.
    ends.clear();
    file_text.clear();
    for (;;) {
      const QString piece = block.text();
      const QTextLayout* pl = block.layout();
      const int lines = pl ? pl->lineCount() : 0;
      for (int i = 0; i < lines; ++i) {
        const QTextLine line = pl->lineAt(i);
        file_text += FileText(piece.mid(line.textStart(), line.textLength()));
        ends.push_back(static_cast<std::size_t>(file_text.size()));
      }
      if (lines == 0) {
        file_text += FileText(piece);
        ends.push_back(static_cast<std::size_t>(file_text.size()));
      }
      if (!continued) break;
      block = block.next();
      if (layout) layout->blockBoundingRect(block);
      continued = breaks.DisplayOnlyBefore(block.next());
    }
    visit(file_text, ends);
  }
}

QStringList UyMemo::DisplayedLines() const {
  QStringList lines;
  VisitDisplayedParagraphs([&lines](const QString& text, std::span<const std::size_t> ends) {
    std::size_t start = 0;
    for (const std::size_t end : ends) {
      lines.append(text.mid(static_cast<qsizetype>(start), static_cast<qsizetype>(end - start)));
      start = end;
    }
  });
  return lines;
}

QString UyMemo::TextCrLf() const {
  QString text = document()->toRawText();
  if (!has_display_only_breaks_) {
    text.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
    return FileText(std::move(text));
  }
  QString joined;
  joined.reserve(text.size() + text.size() / 16);
  BreakKinds breaks(*this);
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    if (block != document()->begin() && !breaks.DisplayOnlyBefore(block)) joined += u"\r\n";
    joined += QStringView(text).sliced(block.position(), block.length() - 1);
  }
  return FileText(std::move(joined));
}

}  // namespace uy::uyedit
