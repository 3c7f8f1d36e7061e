// SPDX-License-Identifier: GPL-3.0-or-later
// docrecode: recodes the Uyghur text inside office documents between Unicode and the
// legacy Uyghur font encodings.
#include <QApplication>

#include "app_setup.h"
#include "command_line.h"
#include "translations.h"
#include "dialogs.h"
#include "form.h"
#include "guard.h"
#include "version.h"

int main(int argc, char** argv) {
  // The desktop passes the documents opened with the program; they join the list as a pick.
  const uy::gui::ProgramInfo info = {
      uy::docrecode::kProgramName,
      "Recodes the Uyghur text inside office documents between Unicode and the legacy "
      "Uyghur font encodings.",
      "documents", "Documents to list.", "[documents...]"};
  QStringList documents;
  if (const auto status = uy::gui::ReadCommandLine(argc, argv, info, &documents)) return *status;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(uy::docrecode::kProgramName));
  QApplication::setApplicationVersion(QStringLiteral(UY_VERSION));
  uy::gui::SetUpApplication();
  uy::gui::InstallTranslations(uy::gui::UserLanguages());
  int status = 1;
  uy::gui::QtDialogs dialogs;
  uy::gui::Guarded(nullptr, dialogs, QApplication::applicationName(), [&] {
    uy::docrecode::TForm1 form;
    form.show();
    if (!documents.isEmpty()) form.AddDocuments(documents);
    status = QApplication::exec();
  });
  return status;
}
