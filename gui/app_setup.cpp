// SPDX-License-Identifier: GPL-3.0-or-later
#include "app_setup.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

#include "signals.h"

namespace uy::gui {

void InstallFontSubstitutes() {
  // Each name the windows use, with installed fonts of a similar weight, best first.
  struct Entry {
    const char* family;
    QStringList substitutes;
  };
  const Entry entries[] = {
      {"KORVELI Basma Tom", {"UKIJ Tuz Tom", "UKIJ Basma", "UKIJ Tuz", "Noto Naskh Arabic"}},
      {"KORVELI Tor", {"UKIJ Tor", "UKIJ Tuz Tor", "UKIJ Tuz", "Noto Naskh Arabic"}},
      {"KORVELI", {"UKIJ Tuz", "UKIJ Ekran", "Noto Naskh Arabic"}},
  };
  const QStringList installed = QFontDatabase::families();
  for (const Entry& e : entries) {
    const QString family = QString::fromLatin1(e.family);
    if (installed.contains(family, Qt::CaseInsensitive)) continue;
    QStringList present;
    for (const QString& s : e.substitutes)
      if (installed.contains(s, Qt::CaseInsensitive) && !QFont::substitutes(family).contains(s))
        present << s;
    if (!present.isEmpty()) QFont::insertSubstitutions(family, present);
  }
}

void SetUpApplication() {
  InstallSignalHandlers();  // an interrupted save or recode leaves no temporary file
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  InstallFontSubstitutes();
}

}  // namespace uy::gui
