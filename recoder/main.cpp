// SPDX-License-Identifier: GPL-3.0-or-later
// docrecode: recodes the Uyghur text inside office documents between Unicode and the
// legacy Uyghur font encodings.
#include <exception>

#include <QApplication>
#include <QCommandLineParser>

#include "core/version.h"
#include "gui/app_setup.h"
#include "gui/dialogs.h"
#include "gui/guard.h"
#include "recoder/form.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(uy::recode::kProgramName));
  QApplication::setApplicationVersion(QStringLiteral(UY_VERSION));
  // The documents are picked in the window; names given here are passed over.
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Recodes the Uyghur text inside office documents between Unicode and the "
                     "legacy Uyghur font encodings."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(app);
  uy::gui::SetUpApplication();
  int status = 1;
  uy::gui::QtDialogs dialogs;
  uy::gui::Guarded(nullptr, dialogs, QApplication::applicationName(), [&] {
    uy::recode::TForm1 form;
    form.show();
    status = QApplication::exec();
  });
  return status;
}
