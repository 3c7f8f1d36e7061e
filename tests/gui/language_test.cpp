// SPDX-License-Identifier: GPL-3.0-or-later
// Both windows in each language: Uyghur and English replace the program's own texts, any
// other language keeps them; the window titles never change and the layouts are never
// mirrored.
#include <gtest/gtest.h>

#include <filesystem>

#include <QLabel>
#include <QToolButton>

#include "fake_dialogs.h"
#include "form.h"
#include "gui_test_util.h"
#include "tables.h"
#include "test_util.h"
#include "tform1.h"
#include "translations.h"

namespace {

namespace fs = std::filesystem;

struct Language {
  const char* language;  // as the user's locale names it
  const char* loaded;    // the catalogue installed; empty: none
  const char* convert_caption;
  const char* open_hint;
  const char* size_hint;
  const char* finished;  // the completion box's first line
  const char* one_failed;
  const char* folder_reason;  // an output that a folder stands in the way of
  const char* cannot_open;    // the editor's message for a file that is not there
  const char* no_such_file;   // and the system's reason
  Qt::LayoutDirection text_direction;
};

const Language kLanguages[] = {
    {"ug-CN", "ug", "ئالماشتۇرۇش", "ھۆججەت ئېچىش", "خەت چوڭلۇقى", "كود ئالماشتۇرۇش تاماملاندى",
     "1 ھۆججەتنى ئالماشتۇرغىلى بولمىدى (1 ھۆججەت ئالماشتۇرۇلدى):", "شۇ ناملىق قىسقۇچ بار",
     "ھۆججىتىنى ئاچقىلى بولمىدى", "بۇنداق ھۆججەت ياكى قىسقۇچ يوق", Qt::RightToLeft},
    {"en-GB", "en", "Convert", "Open file", "Font size", "Code conversion finished",
     "1 document could not be converted (1 converted):", "a folder has that name",
     "Cannot open file", "No such file or directory", Qt::LeftToRight},
    {"C", "", "ئالماشتۇرۇش", "打开文件", "字体大小", "代码转换完毕", "1 个文档未能转换（1 个已转换）：",
     "已有同名的文件夹", "Cannot open file", "没有那个文件或目录", Qt::LeftToRight},
    {"zh-CN", "", "ئالماشتۇرۇش", "打开文件", "字体大小", "代码转换完毕",
     "1 个文档未能转换（1 个已转换）：", "已有同名的文件夹", "Cannot open file", "没有那个文件或目录",
     Qt::LeftToRight},
};

void PrintTo(const Language& l, std::ostream* os) { *os << l.language; }

class WindowLanguage : public testing::TestWithParam<Language> {
 protected:
  void SetUp() override {
    ASSERT_EQ(uy::gui::InstallTranslations({QString::fromLatin1(GetParam().language)}),
              QString::fromLatin1(GetParam().loaded));
  }
  void TearDown() override { uy::gui::InstallTranslations({}); }
};

TEST_P(WindowLanguage, DocrecodeCaptionsAndTheMessageAfterOneFailure) {
  const Language& l = GetParam();
  uytest::TempDir dir;
  uytest::WriteFile(dir / "good.txt", "text");
  uytest::WriteFile(dir / "blocked.txt", "text");
  fs::create_directory(dir / "blocked(Unicode).txt");
  uy::gui::RecordingDialogs dialogs;
  uy::docrecode::TForm1 form(&dialogs);
  form.AddDocuments({QString::fromStdString((dir / "good.txt").string()),
                     QString::fromStdString((dir / "blocked.txt").string())});
  EXPECT_EQ(form.Convert1->text(), QString::fromUtf8(l.convert_caption));
  EXPECT_EQ(form.windowTitle(), "Norvatek Code Convertor(诺瓦代码转换器)");
  EXPECT_EQ(form.layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(form.StatusPanel->layoutDirection(), l.text_direction);

  form.Convert1Click();
  const auto boxes = dialogs.Of(uy::gui::RecordingDialogs::Kind::Error);
  ASSERT_EQ(boxes.size(), 1u);
  const QStringList lines = boxes[0].text.split(u'\n');
  ASSERT_GE(lines.size(), 4) << boxes[0].text.toStdString();
  EXPECT_EQ(lines[0], QString::fromUtf8(l.finished));
  EXPECT_EQ(lines[2], QString::fromUtf8(l.one_failed));
  EXPECT_TRUE(lines[3].contains("blocked(Unicode).txt")) << lines[3].toStdString();
  EXPECT_TRUE(lines[3].endsWith(QString::fromUtf8(l.folder_reason))) << lines[3].toStdString();
}

TEST_P(WindowLanguage, UyeditHintsAndAFailedOpen) {
  const Language& l = GetParam();
  uy::gui::RecordingDialogs dialogs;
  uy::uyedit::TForm1 window(&dialogs);
  EXPECT_EQ(window.ToolButton2->toolTip(), QString::fromUtf8(l.open_hint));
  EXPECT_EQ(window.TrackBar1->toolTip(), QString::fromUtf8(l.size_hint));
  EXPECT_EQ(window.windowTitle(), "Norvatek KORVELI 5.7(编辑器)");
  EXPECT_EQ(window.layoutDirection(), Qt::LeftToRight);
  EXPECT_EQ(window.Panels[2]->layoutDirection(), l.text_direction);

  uytest::TempDir dir;
  window.OpenFileGuarded(QString::fromStdString((dir / "missing.uyt").string()));
  const auto errors = dialogs.Of(uy::gui::RecordingDialogs::Kind::Error);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].text.contains(QString::fromUtf8(l.cannot_open))) << errors[0].text.toStdString();
  EXPECT_TRUE(errors[0].text.endsWith(QString::fromUtf8(l.no_such_file))) << errors[0].text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Languages, WindowLanguage, testing::ValuesIn(kLanguages),
                         [](const auto& info) {
                           return info.index == 0   ? std::string("Uyghur")
                                  : info.index == 1 ? std::string("English")
                                  : info.index == 2 ? std::string("C")
                                                    : std::string("Chinese");
                         });

// The window shows the directions' translated captions; its list of the captions to
// translate must be the tables' own.
TEST(WindowLanguage, DirectionCaptionsAreTheTablesOwn) {
  for (int i = 0; i < uy::recode::kDirectionCount; ++i)
    EXPECT_EQ(QString::fromUtf8(uy::docrecode::TForm1::DirectionCaptionSource(i)),
              QString::fromStdU16String(std::u16string(uy::recode::GetDirection(i).caption)))
        << i;
}

}  // namespace
