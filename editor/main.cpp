// SPDX-License-Identifier: GPL-3.0-or-later
// uyedit: a small Uyghur text editor with a phonetic keyboard and a shaped export.
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <exception>

#include "editor/tform1.h"
#include "gui/app_setup.h"

int main(int argc, char** argv) {
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  try {
    uy::gui::SetUpApplication();
    uy::editor::TForm1 window;
    uy::editor::Form1 = &window;
    window.show();
    // A file named on the command line (the desktop opens ".uyt" files this way)
    // replaces the greeting.
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) window.OpenFileGuarded(args.at(1));
    return app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("uyedit"), QString::fromUtf8(e.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, QStringLiteral("uyedit"), QString());
  }
  return 1;
}
