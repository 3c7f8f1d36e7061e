// SPDX-License-Identifier: GPL-3.0-or-later
#include "translations.h"

#include <algorithm>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace uy::gui {
namespace {

constexpr char kCatalogue[] = "uytools_";

std::unique_ptr<QTranslator>& Ours() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}
std::unique_ptr<QTranslator>& Qts() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}
QString& Loaded() {
  static QString language;
  return language;
}

// Installed files first (share/uyghur-tools/translations beside bin/), then the build tree.
QStringList CatalogueFolders() {
  QStringList folders;
  if (QCoreApplication::instance())
    folders << QCoreApplication::applicationDirPath() +
                   QStringLiteral("/../share/uyghur-tools/translations");
#ifdef UY_TRANSLATIONS_BUILD_DIR
  folders << QStringLiteral(UY_TRANSLATIONS_BUILD_DIR);
#endif
  return folders;
}

void Remove(std::unique_ptr<QTranslator>& translator) {
  if (translator) QCoreApplication::removeTranslator(translator.get());
  translator.reset();
}

// "ug-Arab-CN" gives "ug_Arab_CN", "ug_Arab", "ug".
QStringList Candidates(QString language) {
  language.replace(QLatin1Char('-'), QLatin1Char('_'));
  QStringList candidates;
  for (qsizetype cut = language.size(); cut > 0; cut = language.lastIndexOf(QLatin1Char('_'), cut - 1))
    candidates << language.left(cut);
  return candidates;
}

bool LoadOurs(const QString& language) {
  auto translator = std::make_unique<QTranslator>();
  for (const QString& folder : CatalogueFolders()) {
    if (translator->load(QLatin1String(kCatalogue) + language, folder)) {
      QCoreApplication::installTranslator(translator.get());
      Loaded() = translator->language();
      Ours() = std::move(translator);
      return true;
    }
  }
  return false;
}

}  // namespace

QString InstallTranslations(const QStringList& languages) {
  Remove(Ours());
  Remove(Qts());
  Loaded().clear();
  [&] {
    for (const QString& language : languages)
      for (const QString& candidate : Candidates(language)) {
        if (candidate == QLatin1String("zh")) return;  // the source texts' language
        if (LoadOurs(candidate)) return;
      }
  }();
  if (!languages.isEmpty()) {
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QLocale(languages.first()), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QCoreApplication::installTranslator(qt.get());
      Qts() = std::move(qt);
    }
  }
  return Loaded();
}

QStringList UserLanguages() { return QLocale::system().uiLanguages(); }

Qt::LayoutDirection TextDirection() {
  return Loaded().isEmpty() ? Qt::LeftToRight : QLocale(Loaded()).textDirection();
}

QString InTextDirection(const QString& text) {
  if (TextDirection() != Qt::RightToLeft) return text;
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines) {
    const bool right_to_left = std::any_of(line.cbegin(), line.cend(), [](QChar c) {
      return c.direction() == QChar::DirR || c.direction() == QChar::DirAL;
    });
    if (right_to_left) line.prepend(QChar(0x200F));
  }
  return lines.join(QLatin1Char('\n'));
}

QString LeftToRightPart(const QString& text) {
  if (TextDirection() != Qt::RightToLeft) return text;
  return QChar(0x202A) + text + QChar(0x202C);
}

}  // namespace uy::gui
