// SPDX-License-Identifier: GPL-3.0-or-later
// Handlers run inside Qt's event delivery, which exceptions must not cross: every
// handler body runs through Guarded, which shows an escaping failure in an error box.
#pragma once

#include <exception>
#include <functional>

#include <QString>

class QWidget;

namespace uy::gui {

class Dialogs;

// Runs body; a failure that escapes it is shown by dialogs.Error with the failure's own
// message (empty for something thrown that is not a std::exception). Returns whether
// body finished without one.
bool Guarded(QWidget* parent, Dialogs& dialogs, const QString& caption,
             const std::function<void()>& body);

// The message shown for a caught failure.
QString FailureText(const std::exception_ptr& failure);

}  // namespace uy::gui
