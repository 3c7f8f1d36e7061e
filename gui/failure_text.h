// SPDX-License-Identifier: GPL-3.0-or-later
// Failures of the libraries in the user's language. The libraries describe a failure in
// English for the command line and carry what it was (a kind, a reason, an errno value)
// beside that; the windows build their own sentence from those.
#pragma once

#include <exception>

#include <QCoreApplication>
#include <QString>

#include "file_io.h"

namespace uy::gui {

class Failures {
  Q_DECLARE_TR_FUNCTIONS(uy::gui::Failures)

 public:
  // The system's reason for an errno value.
  static QString SystemReason(int error_number);
  // Why the file could not be used, without the file.
  static QString Reason(const FileError& e);
  // "cannot read FILE: REASON".
  static QString Text(const FileError& e);
  // A caught failure: the above for a FileError, the English message of others.
  static QString Text(const std::exception_ptr& failure);
};

}  // namespace uy::gui
