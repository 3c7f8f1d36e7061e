// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs a window shows, behind an interface so that tests can answer them.
#pragma once

#include <optional>

#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;

namespace uy::gui {

struct FileDialogOptions {
  QString caption;
  QString directory;          // folder the dialog opens in; empty: the working folder
  QString file_name;          // name offered at the start; empty: none
  QStringList filters;        // Qt filter entries, e.g. "Text File(*.UYT) (*.uyt)"
  int selected_filter = 0;    // index into filters
  QString default_suffix;     // added to a name typed without one
  bool multiple = false;      // open: several files may be chosen
  bool must_exist = true;     // open: only existing files are accepted
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The chosen files in the dialog's order; empty when cancelled.
  virtual QStringList OpenFileNames(QWidget* parent, const FileDialogOptions& options) = 0;
  // The chosen file; empty when cancelled. Never asks before overwriting.
  virtual QString SaveFileName(QWidget* parent, const FileDialogOptions& options) = 0;
  // The chosen colour; nothing when cancelled.
  virtual std::optional<QColor> Colour(QWidget* parent, const QColor& initial) = 0;
  // A modal box with one OK button.
  virtual void Message(QWidget* parent, const QString& caption, const QString& text) = 0;
  virtual void Error(QWidget* parent, const QString& caption, const QString& text) = 0;
};

// The real Qt dialogs (never the desktop's native ones, see SetUpApplication).
class QtDialogs : public Dialogs {
 public:
  QStringList OpenFileNames(QWidget* parent, const FileDialogOptions& options) override;
  QString SaveFileName(QWidget* parent, const FileDialogOptions& options) override;
  std::optional<QColor> Colour(QWidget* parent, const QColor& initial) override;
  void Message(QWidget* parent, const QString& caption, const QString& text) override;
  void Error(QWidget* parent, const QString& caption, const QString& text) override;
};

}  // namespace uy::gui
