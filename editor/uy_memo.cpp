#include "editor/uy_memo.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>

namespace uy::editor {

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

}  // namespace

UyMemo::UyMemo(QWidget* parent) : QPlainTextEdit(parent) {}

void UyMemo::keyPressEvent(QKeyEvent* event) {
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

QStringList UyMemo::DisplayedLines() const {
  QStringList lines;
  QTextDocument* doc = document();
  auto* layout = qobject_cast<QPlainTextDocumentLayout*>(doc->documentLayout());
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    if (!block.next().isValid() && text.isEmpty()) break;  // empty last line
    if (layout) layout->blockBoundingRect(block);  // lays out blocks never shown
    const QTextLayout* tl = block.layout();
    const int count = tl ? tl->lineCount() : 0;
    if (count == 0) {
      lines.append(text);
      continue;
    }
    for (int i = 0; i < count; ++i) {
      const QTextLine line = tl->lineAt(i);
      lines.append(text.mid(line.textStart(), line.textLength()));
    }
  }
  return lines;
}

QString UyMemo::TextCrLf() const {
  QString text = document()->toRawText();
  text.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
  return text;
}

}  // namespace uy::editor
