// SPDX-License-Identifier: GPL-3.0-or-later
#include "document_list.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace uy::docrecode {
namespace {

// The local files (not folders) among dragged URLs, as absolute paths.
QStringList DraggedFiles(const QMimeData* mime) {
  QStringList files;
  if (!mime || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    const QFileInfo info(url.toLocalFile());
    if (info.isFile()) files << info.absoluteFilePath();
  }
  return files;
}

// A drop only ever copies: accepting a file manager's proposed move would make it
// delete the documents.
bool AcceptAsCopy(QDropEvent* event) {
  if (DraggedFiles(event->mimeData()).isEmpty()) return false;
  if (event->possibleActions() & Qt::CopyAction)
    event->setDropAction(Qt::CopyAction);
  else if (event->possibleActions() & Qt::LinkAction)
    event->setDropAction(Qt::LinkAction);
  else
    return false;
  event->accept();
  return true;
}

}  // namespace

DocumentList::DocumentList(QWidget* parent) : QListWidget(parent) {
  // Checked once the change is complete (a removal passes through states without one).
  auto check = [this] {
    QMetaObject::invokeMethod(this, [this] { KeepOneSelected(); }, Qt::QueuedConnection);
  };
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, check);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, check);
  connect(model(), &QAbstractItemModel::rowsRemoved, this, check);
}

QItemSelectionModel::SelectionFlags DocumentList::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
  // Ctrl+click and Ctrl+Space would take the selection off the current entry.
  QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
  if (command & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
    command = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
  return command;
}

void DocumentList::KeepOneSelected() {
  if (count() == 0) return;
  const QList<QListWidgetItem*> selected = selectedItems();
  if (selected.size() == 1 && selected.first() == currentItem()) return;
  setCurrentRow(currentRow() >= 0 ? currentRow() : 0, QItemSelectionModel::ClearAndSelect);
}

void DocumentList::dragEnterEvent(QDragEnterEvent* event) {
  if (!AcceptAsCopy(event)) event->ignore();
}

void DocumentList::dragMoveEvent(QDragMoveEvent* event) {
  if (!AcceptAsCopy(event)) event->ignore();
}

void DocumentList::dropEvent(QDropEvent* event) {
  if (!AcceptAsCopy(event)) {
    event->ignore();
    return;
  }
  emit FilesDropped(DraggedFiles(event->mimeData()));
}

}  // namespace uy::docrecode
