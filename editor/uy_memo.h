// The editor's text area: a plain-text area whose typed characters pass through a hook
// (the phonetic keyboard) before the area inserts them.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <functional>
#include <optional>

namespace uy::editor {

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
  // The whole text as held, with CR LF between paragraphs (U+00A0 kept).
  QString TextCrLf() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  TypedHook typed_hook_;
};

}  // namespace uy::editor
