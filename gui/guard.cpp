// SPDX-License-Identifier: GPL-3.0-or-later
#include "guard.h"

#include <stdexcept>

#include "dialogs.h"
#include "failure_text.h"

namespace uy::gui {

QString FailureText(const std::exception_ptr& failure) { return Failures::Text(failure); }

bool Guarded(QWidget* parent, Dialogs& dialogs, const QString& caption,
             const std::function<void()>& body) {
  std::exception_ptr failure;
  try {
    body();
    return true;
  } catch (...) {
    failure = std::current_exception();
  }
  // Shown outside the catch block, so that the box's own event loop runs with no
  // exception in flight.
  dialogs.Error(parent, caption, FailureText(failure));
  return false;
}

}  // namespace uy::gui
