// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs.h"

#include <QAbstractItemView>
#include <QColorDialog>
#include <QCompleter>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>

#include "translations.h"

namespace uy::gui {
namespace {

// A folder path typed into the name field and Return opens that folder and empties the
// field; but once the folder has been read, the field's completion list opens again by
// itself over the dialog and swallows the next click (on a file, which is then not taken,
// so the next Open reads the empty field). A completion list for an empty field completes
// nothing: it is closed as soon as it opens.
class EmptyFieldCompletionCloser : public QObject {
 public:
  EmptyFieldCompletionCloser(QLineEdit* field, QWidget* popup) : QObject(popup), field_(field) {
    popup->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && field_ && field_->text().isEmpty()) {
      auto* popup = static_cast<QWidget*>(watched);
      QMetaObject::invokeMethod(
          popup, [popup, field = field_] { if (field && field->text().isEmpty()) popup->hide(); },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  QPointer<QLineEdit> field_;
};

void CloseEmptyCompletions(QFileDialog& dialog) {
  auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (!field || !field->completer() || !field->completer()->popup()) return;
  new EmptyFieldCompletionCloser(field, field->completer()->popup());
}

void Configure(QFileDialog& dialog, const FileDialogOptions& options) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // Filter entries carry their pattern in the description already: show just that.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  if (!options.caption.isEmpty()) dialog.setWindowTitle(options.caption);
  if (!options.directory.isEmpty()) dialog.setDirectory(options.directory);
  if (!options.filters.isEmpty()) {
    dialog.setNameFilters(options.filters);
    if (options.selected_filter >= 0 && options.selected_filter < options.filters.size())
      dialog.selectNameFilter(options.filters[options.selected_filter]);
  }
  if (!options.default_suffix.isEmpty()) dialog.setDefaultSuffix(options.default_suffix);
  if (!options.file_name.isEmpty()) dialog.selectFile(options.file_name);
  CloseEmptyCompletions(dialog);
}

}  // namespace

QStringList QtDialogs::OpenFileNames(QWidget* parent, const FileDialogOptions& options) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(options.multiple     ? QFileDialog::ExistingFiles
                     : options.must_exist ? QFileDialog::ExistingFile
                                          : QFileDialog::AnyFile);
  Configure(dialog, options);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

QString QtDialogs::SaveFileName(QWidget* parent, const FileDialogOptions& options) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  Configure(dialog, options);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

std::optional<QColor> QtDialogs::Colour(QWidget* parent, const QColor& initial) {
  const QColor colour =
      QColorDialog::getColor(initial, parent, QString(), QColorDialog::DontUseNativeDialog);
  if (!colour.isValid()) return std::nullopt;
  return colour;
}

namespace {

// A box reads in the direction of the window texts' language; the window behind it keeps
// its layout.
void ShowBox(QMessageBox::Icon icon, QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, InTextDirection(text), QMessageBox::Ok, parent);
  box.setLayoutDirection(TextDirection());
  box.exec();
}

}  // namespace

void QtDialogs::Message(QWidget* parent, const QString& caption, const QString& text) {
  ShowBox(QMessageBox::Information, parent, caption, text);
}

void QtDialogs::Error(QWidget* parent, const QString& caption, const QString& text) {
  ShowBox(QMessageBox::Critical, parent, caption, text);
}

}  // namespace uy::gui
