// uyedit: a small Uyghur text editor with a phonetic keyboard and a shaped export.
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QMessageBox>
#include <exception>

#include "editor/tform1.h"

namespace {

// The window asks for the KORVELI families; show them in an installed Uyghur face.
void SubstituteUyghurFonts() {
  const QStringList installed = QFontDatabase::families();
  QStringList faces;
  for (const char* name : {"UKIJ Tuz Tom", "UKIJ Tor", "UKIJ Basma", "UKIJ Ekran"})
    if (installed.contains(QString::fromLatin1(name))) faces << QString::fromLatin1(name);
  if (faces.isEmpty()) return;
  for (const char* name : {"KORVELI Tor", "KORVELI Basma Tom", "KORVELI"})
    QFont::insertSubstitutions(QString::fromLatin1(name), faces);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  try {
    SubstituteUyghurFonts();
    uy::editor::TForm1 window;
    uy::editor::Form1 = &window;
    window.show();
    return app.exec();
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("uyedit"), QString::fromUtf8(e.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, QStringLiteral("uyedit"), QString());
  }
  return 1;
}
