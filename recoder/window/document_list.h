// SPDX-License-Identifier: GPL-3.0-or-later
// The recoder window's document list.
#pragma once

#include <QListWidget>
#include <QStringList>

namespace uy::docrecode {

// The document list. Files dropped on it from a file manager are offered as a pick.
// Whenever it has entries, exactly one is selected, and it is the current one: the
// buttons act on the current entry, so it must be the one seen selected.
class DocumentList : public QListWidget {
  Q_OBJECT
 public:
  explicit DocumentList(QWidget* parent = nullptr);

 signals:
  void FilesDropped(const QStringList& paths);

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void KeepOneSelected();
};

}  // namespace uy::docrecode
