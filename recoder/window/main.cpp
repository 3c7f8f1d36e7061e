// SPDX-License-Identifier: GPL-3.0-or-later
// docrecode: recodes the Uyghur text inside office documents between Unicode and the
// legacy Uyghur font encodings.
#include <exception>

#include <QApplication>
#include <QCommandLineParser>

#include "app_setup.h"
#include "dialogs.h"
#include "form.h"
#include "guard.h"
#include "version.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(uy::docrecode::kProgramName));
  QApplication::setApplicationVersion(QStringLiteral(UY_VERSION));
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Recodes the Uyghur text inside office documents between Unicode and the "
                     "legacy Uyghur font encodings."));
  parser.addHelpOption();
  parser.addVersionOption();
  // The desktop passes the documents opened with the program; they join the list as a pick.
  parser.addPositionalArgument(QStringLiteral("documents"), QStringLiteral("Documents to list."),
                               QStringLiteral("[documents...]"));
  parser.process(app);
  uy::gui::SetUpApplication();
  int status = 1;
  uy::gui::QtDialogs dialogs;
  uy::gui::Guarded(nullptr, dialogs, QApplication::applicationName(), [&] {
    uy::docrecode::TForm1 form;
    form.show();
    if (!parser.positionalArguments().isEmpty()) form.AddDocuments(parser.positionalArguments());
    status = QApplication::exec();
  });
  return status;
}
