// SPDX-License-Identifier: GPL-3.0-or-later
// uyedit: a small Uyghur text editor with a phonetic keyboard and a shaped export.
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <exception>

#include "app_setup.h"
#include "command_line.h"
#include "translations.h"
#include "tform1.h"
#include "version.h"

int main(int argc, char** argv) {
  const uy::gui::ProgramInfo info = {"uyedit", "A small Uyghur text editor.", "file",
                                     "The text file to open.", "[file]"};
  QStringList files;
  if (const auto status = uy::gui::ReadCommandLine(argc, argv, info, &files)) return *status;
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(UY_VERSION));
  try {
    uy::gui::SetUpApplication();
    uy::gui::InstallTranslations(uy::gui::UserLanguages());
    uy::uyedit::TForm1 window;
    uy::uyedit::Form1 = &window;
    window.show();
    // A file named on the command line (the desktop opens ".uyt" files this way)
    // replaces the greeting.
    if (!files.isEmpty()) window.OpenFileGuarded(files.first());
    return app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("uyedit"), QString::fromUtf8(e.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, QStringLiteral("uyedit"), QString());
  }
  return 1;
}
