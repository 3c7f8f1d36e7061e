// SPDX-License-Identifier: GPL-3.0-or-later
#include "input_blocker.h"

#include <QApplication>
#include <QEvent>

namespace uy::docrecode {

InputBlocker::InputBlocker() {
  qApp->installEventFilter(this);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  clock_.start();
}

InputBlocker::~InputBlocker() {
  QApplication::restoreOverrideCursor();
  qApp->removeEventFilter(this);
}

void InputBlocker::Pump(bool force) {
  if (!force && clock_.elapsed() < 15) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  clock_.restart();
}

bool InputBlocker::eventFilter(QObject*, QEvent* event) {
  if (event->isInputEvent()) return true;
  switch (event->type()) {
    case QEvent::Close:
      event->ignore();
      return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
      return true;
    default:
      return false;
  }
}

}  // namespace uy::docrecode
