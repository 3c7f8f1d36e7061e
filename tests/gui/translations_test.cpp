// SPDX-License-Identifier: GPL-3.0-or-later
// Every translation is complete: no text unfinished or left over, every plural form there,
// every placeholder kept; and the catalogues hold every text the windows have today.
#include <gtest/gtest.h>

#include <map>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

// Plural forms each language needs (Qt's rules for it).
const std::map<QString, int> kPluralForms = {{"ug", 2}, {"en", 2}};

struct Message {
  QString context, source;
  QString type;              // of its translation: empty when finished
  QStringList translations;  // one, or one per plural form
  bool numerus = false;
};

struct Catalogue {
  QString language;
  std::vector<Message> messages;
};

Catalogue Read(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  QXmlStreamReader xml(&file);
  Catalogue c;
  QString context;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const auto name = xml.name();
    if (name == u"TS") {
      c.language = xml.attributes().value("language").toString();
    } else if (name == u"name") {
      context = xml.readElementText();
    } else if (name == u"message") {
      c.messages.push_back({context, {}, {}, {}, xml.attributes().value("numerus") == u"yes"});
    } else if (name == u"source") {
      c.messages.back().source = xml.readElementText();
    } else if (name == u"translation") {
      c.messages.back().type = xml.attributes().value("type").toString();
      if (!c.messages.back().numerus) c.messages.back().translations << xml.readElementText();
    } else if (name == u"numerusform") {
      c.messages.back().translations << xml.readElementText();
    }
  }
  EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
  return c;
}

QSet<QString> Placeholders(const QString& text) {
  QSet<QString> found;
  static const QRegularExpression placeholder(QStringLiteral("%(n|\\d)"));
  for (const auto& m : placeholder.globalMatch(text)) found << m.captured();
  return found;
}

void ExpectComplete(const QString& path) {
  SCOPED_TRACE(path.toStdString());
  const Catalogue c = Read(path);
  ASSERT_TRUE(kPluralForms.count(c.language)) << c.language.toStdString();
  ASSERT_FALSE(c.messages.empty());
  for (const Message& m : c.messages) {
    const std::string where = (m.context + ": " + m.source).toStdString();
    EXPECT_TRUE(m.type.isEmpty()) << m.type.toStdString() << " " << where;
    const int forms = m.numerus ? kPluralForms.at(c.language) : 1;
    ASSERT_EQ(m.translations.size(), forms) << where;
    for (const QString& t : m.translations) {
      EXPECT_FALSE(t.isEmpty()) << where;
      EXPECT_EQ(Placeholders(t), Placeholders(m.source)) << where << " -> " << t.toStdString();
    }
  }
}

QStringList TsFiles() {
  return QDir(QStringLiteral(UY_TS_DIR)).entryList({"*.ts"}, QDir::Files);
}

TEST(Translations, EveryCatalogueIsComplete) {
  ASSERT_EQ(TsFiles().size(), 2);
  for (const QString& name : TsFiles()) ExpectComplete(QStringLiteral(UY_TS_DIR "/") + name);
}

// A copy brought up to date from the sources, as the update_translations target does,
// gains no text to translate and loses none.
TEST(Translations, HoldEveryTextOfTheWindows) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const QString& name : TsFiles()) {
    SCOPED_TRACE(name.toStdString());
    const QString copy = dir.filePath(name);
    ASSERT_TRUE(QFile::copy(QStringLiteral(UY_TS_DIR "/") + name, copy));
    QStringList args = {"-no-obsolete", "-locations", "none", "-silent"};
    for (const char* folder : {"gui", "recoder/window", "editor/window"})
      args << QStringLiteral(UY_SOURCE_DIR "/") + QLatin1String(folder);
    args << "-ts" << copy;
    ASSERT_EQ(QProcess::execute(QStringLiteral(UY_LUPDATE), args), 0);
    const Catalogue fresh = Read(copy);
    EXPECT_EQ(fresh.messages.size(), Read(QStringLiteral(UY_TS_DIR "/") + name).messages.size());
    for (const Message& m : fresh.messages)
      EXPECT_TRUE(m.type.isEmpty()) << "not translated: " << (m.context + ": " + m.source).toStdString();
  }
}

}  // namespace
