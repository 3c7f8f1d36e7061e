// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "document_builders.h"
#include "fake_dialogs.h"
#include "form.h"
#include "gui_test_util.h"
#include "pass.h"
#include "recoder_test_util.h"
#include "tables.h"
#include "test_util.h"


// Records what the open button asks the desktop to open.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void Open(const QUrl& url) { urls << url; }
};

namespace {

namespace fs = std::filesystem;
using uy::gui::RecordingDialogs;
using uy::docrecode::TForm1;
using namespace uytest;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

// A binary document: the window recodes by content, and a NUL keeps it from passing as text.
std::string Document(const std::string& body) { return std::string(2560, '\0') + body; }

class DocrecodeWindow : public testing::Test {
 protected:
  void SetUp() override {
    QDesktopServices::setUrlHandler("file", &opened, "Open");
    form = std::make_unique<TForm1>(&dialogs);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  void TearDown() override {
    form.reset();
    QDesktopServices::unsetUrlHandler("file");
  }

  void ClickRow(int row) {
    const QRect r = form->ListBox1->visualItemRect(form->ListBox1->item(row));
    QTest::mouseClick(form->ListBox1->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
  }
  // A pick through the open button, the dialog answering with these files.
  void Pick(const QStringList& files) {
    dialogs.open_answers.push_back(files);
    Click(form->Open1);
  }
  QStringList Names() const {
    QStringList names;
    for (int i = 0; i < form->ListBox1->count(); ++i) names << form->ListBox1->item(i)->text();
    return names;
  }
  bool ListButtonsEnabled() const {
    const bool e = form->Convert1->isEnabled();
    EXPECT_EQ(form->TntSpeedButton1->isEnabled(), e);
    EXPECT_EQ(form->TntSpeedButton4->isEnabled(), e);
    return e;
  }
  std::vector<RecordingDialogs::Call> Boxes() const {
    std::vector<RecordingDialogs::Call> boxes;
    for (const auto& c : dialogs.calls)
      if (c.kind == RecordingDialogs::Kind::Message || c.kind == RecordingDialogs::Kind::Error)
        boxes.push_back(c);
    return boxes;
  }

  RecordingDialogs dialogs;
  UrlRecorder opened;
  std::unique_ptr<TForm1> form;
};

TEST_F(DocrecodeWindow, StartsEmptyWithCaptionsAndLayout) {
  TForm1& f = *form;
  EXPECT_EQ(f.windowTitle(), "Norvatek Code Convertor(诺瓦代码转换器)");
  EXPECT_EQ(f.size(), QSize(460, 423));
  EXPECT_EQ(f.minimumSize(), f.maximumSize());
  const std::pair<QAbstractButton*, QString> captions[] = {
      {f.Convert1, "ئالماشتۇرۇش"}, {f.TntSpeedButton1, "ئېچىش"}, {f.TntSpeedButton2, "ياردەم"},
      {f.TntSpeedButton3, "چېكىنىش"}, {f.TntSpeedButton4, "تازىلاش"}};
  for (const auto& [button, text] : captions) EXPECT_EQ(button->text(), text);
  EXPECT_EQ(f.TntLabel1->text(), "نورۋاتېك كود ئالماشتۇرۇش 3.0");
  ASSERT_EQ(f.TntComboBox1->count(), 12);  // the eight directions, then the four script entries
  EXPECT_EQ(f.TntComboBox1->currentText(),
            QString::fromStdU16String(std::u16string(uy::recode::GetDirection(0).caption)));
  EXPECT_EQ(f.ProgressBar1->value(), 0);
  EXPECT_EQ(f.ProgressBar1->maximum(), 100);
  EXPECT_EQ(f.Edit1->text(), QDir::homePath() + (QDir::homePath().endsWith('/') ? "" : "/"));
  EXPECT_FALSE(ListButtonsEnabled());
  EXPECT_EQ(f.ListBox1->count(), 0);
  EXPECT_FALSE(f.converted());
  // Positions and sizes relative to each parent.
  const std::pair<QWidget*, QRect> geometry[] = {
      {f.TntLabel1, {32, 8, 400, 24}},       {f.GroupBox3, {8, 32, 449, 49}},
      {f.Edit1, {8, 16, 385, 22}},           {f.Open1, {400, 16, 41, 25}},
      {f.GroupBox1, {128, 81, 329, 297}},    {f.TntComboBox1, {3, 16, 318, 31}},
      {f.ListBox1, {2, 56, 325, 239}},       {f.GroupBox2, {8, 81, 119, 297}},
      {f.Convert1, {8, 32, 105, 33}},        {f.TntSpeedButton1, {8, 80, 105, 33}},
      {f.TntSpeedButton4, {7, 128, 106, 33}}, {f.TntSpeedButton2, {7, 192, 106, 33}},
      {f.TntSpeedButton3, {7, 240, 106, 33}}, {f.ProgressBar1, {8, 384, 449, 17}},
      {f.TntStatusBar1, {0, 404, 460, 19}},
  };
  for (const auto& [widget, rect] : geometry) EXPECT_EQ(widget->geometry(), rect) << widget;
  EXPECT_EQ(f.OpenDialog1.filters,
            QStringList({"Microsoft Word File(*.doc) (*.doc*)",
                         "Microsoft Excel File(*.xls) (*.xls*)",
                         "Microsoft Powerpoint(*.ppt) (*.ppt*)", "All files (*.*) (*)"}));
}

TEST_F(DocrecodeWindow, PicksAppendKeepTheirFolderAndEnableTheButtons) {
  TempDir a, b;
  Pick({Q(a / "one.doc"), Q(a / "two.xls")});
  ASSERT_EQ(dialogs.Of(RecordingDialogs::Kind::Open).size(), 1u);
  EXPECT_TRUE(dialogs.Of(RecordingDialogs::Kind::Open)[0].options.multiple);
  const QString folder_a = Q(a.path()) + "/";
  EXPECT_EQ(Names(), QStringList({"one.doc", "two.xls"}));
  EXPECT_EQ(form->ListBox1->currentRow(), 0);
  EXPECT_EQ(form->Edit1->text(), folder_a);
  EXPECT_EQ(form->folder(), folder_a);
  EXPECT_EQ(form->last_output(), folder_a + "one.doc");
  EXPECT_TRUE(ListButtonsEnabled());

  // Cancel changes nothing.
  Click(form->Open1);
  EXPECT_EQ(Names(), QStringList({"one.doc", "two.xls"}));

  // A second pick from another folder appends; earlier entries keep their own folder.
  ClickRow(1);
  Pick({Q(b / "three.ppt")});
  EXPECT_EQ(Names(), QStringList({"one.doc", "two.xls", "three.ppt"}));
  EXPECT_EQ(form->ListBox1->currentRow(), 0);
  EXPECT_EQ(form->Edit1->text(), Q(b.path()) + "/");
  EXPECT_EQ(form->EntryPath(0), folder_a + "one.doc");
  EXPECT_EQ(form->EntryPath(2), Q(b.path()) + "/three.ppt");
  EXPECT_EQ(form->last_output(), folder_a + "one.doc");
  // The next dialog opens in the most recent folder.
  Click(form->Open1);
  EXPECT_EQ(dialogs.Of(RecordingDialogs::Kind::Open).back().options.directory, Q(b.path()) + "/");
}

TEST_F(DocrecodeWindow, ConvertRecodesEveryEntryBesideItself) {
  TempDir dir;
  const std::string docs[] = {Document("\x38\x06\x26\x06"), Document(std::string("\x06\x38\x06\x00", 4)),
                              uytest::RandomBytes(70000, 3)};
  const char* names[] = {"report.doc", "sheet.xls", "x.docx"};
  for (int i = 0; i < 3; ++i) WriteFile(dir / names[i], docs[i]);
  Pick({Q(dir / names[0]), Q(dir / names[1]), Q(dir / names[2])});
  ClickRow(1);

  Click(form->Convert1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].kind, RecordingDialogs::Kind::Message);
  EXPECT_EQ(Boxes()[0].caption, "docrecode");
  // A document without a character to recode is named as unchanged.
  EXPECT_EQ(Boxes()[0].text, "代码转换完毕\n\n1 个文档中没有需要转换的字符，输出文件与原文件相同：\nsheet.xls");
  EXPECT_EQ(ReadFile(dir / "report(Unicode).doc"), Document("\x26\x06\xD0\x06"));
  EXPECT_EQ(ReadFile(dir / "sheet(Unicode).xls"), docs[1]);  // no unit at an odd offset
  EXPECT_EQ(ReadFile(dir / "x(Unicode).docx"), uytest::UnitByUnitPass(docs[2], 0));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadFile(dir / names[i]), docs[i]);  // inputs untouched
  EXPECT_EQ(form->ListBox1->currentRow(), 2);
  ASSERT_EQ(form->ListBox1->selectedItems().size(), 1);
  EXPECT_EQ(form->ListBox1->selectedItems()[0], form->ListBox1->item(2));
  EXPECT_EQ(form->last_output(), Q(dir / "x(Unicode).docx"));
  EXPECT_EQ(form->ProgressBar1->value(), 100);
  EXPECT_TRUE(form->converted());
  EXPECT_FALSE(form->busy());

  // Direction 1, chosen with the keyboard: the Korveli suffix, the reverse table.
  form->TntComboBox1->setFocus();
  QTest::keyClick(form->TntComboBox1, Qt::Key_Down);
  Click(form->Convert1);
  EXPECT_EQ(ReadFile(dir / "report(Korveli).doc"), Document("\x38\x06\x38\x06"));
  EXPECT_EQ(ReadFile(dir / "x(Korveli).docx"), uytest::UnitByUnitPass(docs[2], 1));
  EXPECT_EQ(Boxes().size(), 2u);
}

// The entries after the eight directions convert documents and text files between the
// scripts, with the same messages, bar and open button; no contradiction mark applies.
TEST_F(DocrecodeWindow, ScriptEntriesConvertDocumentsAndTextFiles) {
  TempDir dir;
  const std::string part = "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                           "<w:body><w:p><w:r><w:t>ئانار</w:t></w:r></w:p></w:body></w:document>";
  WriteFile(dir / "letter.docx", uytest::MakeZip({{"word/document.xml", part}}));
  WriteFile(dir / "note.txt", "ئانار\n");
  WriteFile(dir / "latin.txt", "anar\n");
  Pick({Q(dir / "letter.docx"), Q(dir / "note.txt"), Q(dir / "latin.txt")});
  form->TntComboBox1->setCurrentIndex(uy::recode::kDirectionCount);  // Arabic script to Latin
  EXPECT_TRUE(form->ListBox1->item(1)->icon().isNull());
  if (const QString shots = qEnvironmentVariable("UY_SCREENSHOT_DIR"); !shots.isEmpty())
    for (int i = 8; i < 12; ++i) {
      form->TntComboBox1->setCurrentIndex(i);
      form->grab().save(QDir(shots).filePath(QStringLiteral("docrecode-entry-%1.png").arg(i)));
    }
  form->TntComboBox1->setCurrentIndex(uy::recode::kDirectionCount);

  // Text in the target script already fails by name; the others are converted.
  Click(form->Convert1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].kind, RecordingDialogs::Kind::Error);
  EXPECT_TRUE(Boxes()[0].text.contains("latin.txt")) << Boxes()[0].text.toStdString();
  EXPECT_TRUE(Boxes()[0].text.contains("in Latin already")) << Boxes()[0].text.toStdString();
  EXPECT_NE(uytest::ReadZip(dir / "letter(Latin).docx")[0].data.find("<w:t>anar</w:t>"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "note(Latin).txt"), "anar\n");
  EXPECT_EQ(ReadFile(dir / "note.txt"), "ئانار\n");
  EXPECT_FALSE(fs::exists(dir / "latin(Latin).txt"));
  EXPECT_EQ(form->last_output(), Q(dir / "note(Latin).txt"));

  // Other scripts to the Arabic script, the outputs of the first run among them.
  form->TntSpeedButton4->click(), form->TntSpeedButton4->click(), form->TntSpeedButton4->click();
  Pick({Q(dir / "letter(Latin).docx"), Q(dir / "latin.txt")});
  form->TntComboBox1->setCurrentIndex(uy::recode::kDirectionCount + 3);
  Click(form->Convert1);
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1].text, "代码转换完毕");
  EXPECT_EQ(form->ProgressBar1->value(), 100);
  EXPECT_EQ(ReadFile(dir / "latin(Arabic).txt"), "ئانار\n");
  EXPECT_NE(uytest::ReadZip(dir / "letter(Latin)(Arabic).docx")[0].data.find("<w:t>ئانار</w:t>"), std::string::npos);
  Click(form->TntSpeedButton1);
  ASSERT_EQ(opened.urls.size(), 1);
  EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(Q(dir / "latin(Arabic).txt")));
}

TEST_F(DocrecodeWindow, OpenButtonOpensTheDocumentOrTheLastOutput) {
  TempDir dir;
  WriteFile(dir / "a.doc", Document("ab"));
  WriteFile(dir / "b.doc", Document("cd"));
  Pick({Q(dir / "a.doc"), Q(dir / "b.doc")});
  ClickRow(1);
  Click(form->TntSpeedButton1);
  ASSERT_EQ(opened.urls.size(), 1);
  EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(Q(dir / "b.doc")));

  Click(form->Convert1);
  ClickRow(0);
  Click(form->TntSpeedButton1);
  EXPECT_EQ(opened.urls.back(), QUrl::fromLocalFile(Q(dir / "b(Unicode).doc")));

  // A pick after a run keeps the flag: the open button shows the new entry 0's document.
  TempDir other;
  Pick({Q(other / "c.doc")});
  ClickRow(2);
  Click(form->TntSpeedButton1);
  EXPECT_EQ(opened.urls.back(), QUrl::fromLocalFile(Q(dir / "a.doc")));
  EXPECT_TRUE(dialogs.Of(RecordingDialogs::Kind::Error).empty());
}

TEST_F(DocrecodeWindow, RemoveDownToEmptyClearsTheFlagOnly) {
  TempDir dir;
  WriteFile(dir / "a.doc", "a");
  Pick({Q(dir / "a.doc"), Q(dir / "b.doc"), Q(dir / "c.doc")});
  dialogs.calls.clear();
  WriteFile(dir / "b.doc", "b");
  WriteFile(dir / "c.doc", "c");
  Click(form->Convert1);
  ASSERT_TRUE(form->converted());

  ClickRow(1);
  Click(form->TntSpeedButton4);
  EXPECT_EQ(Names(), QStringList({"a.doc", "c.doc"}));
  EXPECT_EQ(form->ListBox1->currentRow(), 0);
  EXPECT_TRUE(form->converted());
  EXPECT_TRUE(ListButtonsEnabled());
  Click(form->TntSpeedButton4);
  Click(form->TntSpeedButton4);
  EXPECT_EQ(form->ListBox1->count(), 0);
  EXPECT_EQ(form->ListBox1->currentRow(), -1);
  EXPECT_FALSE(ListButtonsEnabled());
  EXPECT_FALSE(form->converted());
  EXPECT_EQ(form->Edit1->text(), Q(dir.path()) + "/");
  EXPECT_EQ(form->folder(), Q(dir.path()) + "/");
  EXPECT_EQ(form->last_output(), Q(dir / "c(Unicode).doc"));

}

TEST_F(DocrecodeWindow, EntriesFromTwoFoldersConvertInTheirOwnFolders) {
  TempDir a, b;
  WriteFile(a / "same.doc", Document("\x38\x06"));
  WriteFile(b / "same.doc", Document("\x26\x06"));
  WriteFile(a / "only_a.doc", Document("\x47\x06"));
  Pick({Q(a / "same.doc"), Q(a / "only_a.doc")});
  Pick({Q(b / "same.doc")});
  Click(form->Convert1);
  EXPECT_EQ(Boxes().back().text, "代码转换完毕");
  EXPECT_EQ(ReadFile(a / "same(Unicode).doc"), Document("\x26\x06"));
  EXPECT_EQ(ReadFile(a / "only_a(Unicode).doc"), Document("\xBE\x06"));
  EXPECT_EQ(ReadFile(b / "same(Unicode).doc"), Document("\xD0\x06"));
  EXPECT_FALSE(fs::exists(b / "only_a(Unicode).doc"));
  EXPECT_EQ(form->last_output(), Q(b / "same(Unicode).doc"));
}

TEST_F(DocrecodeWindow, FailedDocumentsAreReportedAfterTheOthersAreDone) {
  TempDir dir;
  WriteFile(dir / "good1.doc", Document("\x38\x06"));
  WriteFile(dir / "gone.doc", "x");
  WriteFile(dir / "good2.doc", Document("\x26\x06"));
  WriteFile(dir / "blocked.doc", Document("zz"));
  fs::create_directory(dir / "blocked(Unicode).doc");  // the output cannot be written
  Pick({Q(dir / "good1.doc"), Q(dir / "gone.doc"), Q(dir / "good2.doc"), Q(dir / "blocked.doc")});
  fs::remove(dir / "gone.doc");

  Click(form->Convert1);
  ASSERT_EQ(Boxes().size(), 1u);
  const auto box = Boxes()[0];
  EXPECT_EQ(box.kind, RecordingDialogs::Kind::Error);
  EXPECT_EQ(box.caption, "docrecode");
  EXPECT_TRUE(box.text.startsWith("代码转换完毕")) << box.text.toStdString();
  EXPECT_TRUE(box.text.contains("gone.doc")) << box.text.toStdString();
  EXPECT_TRUE(box.text.contains("blocked(Unicode).doc")) << box.text.toStdString();
  EXPECT_FALSE(box.text.contains("good")) << box.text.toStdString();
  EXPECT_EQ(ReadFile(dir / "good1(Unicode).doc"), Document("\x26\x06"));
  EXPECT_EQ(ReadFile(dir / "good2(Unicode).doc"), Document("\xD0\x06"));
  EXPECT_FALSE(fs::exists(dir / "gone(Unicode).doc"));
  EXPECT_TRUE(fs::is_directory(dir / "blocked(Unicode).doc"));
  EXPECT_TRUE(form->converted());
  EXPECT_EQ(form->ListBox1->currentRow(), 3);
  // The open button offers the latest output that was written, not the failed one.
  EXPECT_EQ(form->last_output(), Q(dir / "good2(Unicode).doc"));
}

TEST_F(DocrecodeWindow, RunThatWritesNothingReadsAsAFailureAndOpensNoMissingFile) {
  TempDir dir;
  Pick({Q(dir / "gone1.doc"), Q(dir / "gone2.docx")});
  Click(form->Convert1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].kind, RecordingDialogs::Kind::Error);
  const QString text = Boxes()[0].text;
  EXPECT_TRUE(text.startsWith("代码转换完毕\n\n转换失败：2 个文档都未能转换，没有写出任何文件："))
      << text.toStdString();
  EXPECT_FALSE(text.contains("已转换")) << text.toStdString();
  EXPECT_TRUE(form->converted());
  EXPECT_EQ(form->last_output(), "");
  Click(form->TntSpeedButton1);  // nothing written yet: says so, opens nothing
  EXPECT_TRUE(opened.urls.isEmpty());
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[1].kind, RecordingDialogs::Kind::Message);
  EXPECT_EQ(Boxes()[1].text, "没有可以打开的转换结果。");

  // A later run that writes nothing keeps the open button on the earlier result.
  WriteFile(dir / "gone1.doc", Document("ab"));
  Click(form->Convert1);
  EXPECT_EQ(form->last_output(), Q(dir / "gone1(Unicode).doc"));
  fs::remove(dir / "gone1.doc");
  Click(form->Convert1);
  EXPECT_TRUE(Boxes().back().text.contains("转换失败")) << Boxes().back().text.toStdString();
  Click(form->TntSpeedButton1);
  ASSERT_EQ(opened.urls.size(), 1);
  EXPECT_EQ(opened.urls[0], QUrl::fromLocalFile(Q(dir / "gone1(Unicode).doc")));
  // A result removed since is not handed to the desktop.
  fs::remove(dir / "gone1(Unicode).doc");
  Click(form->TntSpeedButton1);
  EXPECT_EQ(opened.urls.size(), 1);
  EXPECT_TRUE(Boxes().back().text.startsWith("文件不存在：")) << Boxes().back().text.toStdString();
}

TEST_F(DocrecodeWindow, DirectionDropDownIsRightAlignedBlueOnTheTooltipColour) {
  QComboBox* box = form->TntComboBox1;
  box->showPopup();
  QAbstractItemView* view = box->view();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
  EXPECT_EQ(view->layoutDirection(), Qt::RightToLeft);
  const QImage img = view->viewport()->grab().toImage();
  const QColor tip = QApplication::palette().color(QPalette::ToolTipBase);
  auto blue = [](QColor c) { return c.blue() > 120 && c.red() < 90 && c.green() < 90; };
  for (int row = 1; row < box->count(); ++row) {  // entry 0 is current and highlighted
    const QRect r = view->visualRect(box->model()->index(row, 0));
    EXPECT_EQ(img.pixelColor(r.left() + 1, r.top() + 1), tip) << row;
    int left = r.right(), right = r.left();
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (blue(img.pixelColor(x, y))) left = std::min(left, x), right = std::max(right, x);
    EXPECT_GT(right, r.right() - 12) << row;  // ends at the right edge
    EXPECT_GT(left, r.left() + 40) << row;    // no caption fills the row
  }
  box->hidePopup();
}

TEST_F(DocrecodeWindow, ExactlyOneEntryStaysSelectedAndIsTheOneActedOn) {
  TempDir dir;
  Pick({Q(dir / "a.doc"), Q(dir / "b.doc"), Q(dir / "c.doc")});
  QListWidget* list = form->ListBox1;
  auto expect_one_selected = [&](int row, const char* after) {
    QCoreApplication::processEvents();
    ASSERT_EQ(list->selectedItems().size(), 1) << after;
    EXPECT_EQ(list->selectedItems()[0], list->item(row)) << after;
    EXPECT_EQ(list->currentRow(), row) << after;
  };
  ClickRow(1);
  const QRect r1 = list->visualItemRect(list->item(1));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, r1.center());
  expect_one_selected(1, "ctrl+click on the selected entry");
  QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
  expect_one_selected(1, "ctrl+space");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(r1.center().x(), list->viewport()->height() - 3));
  expect_one_selected(1, "click below the entries");
  const QRect r2 = list->visualItemRect(list->item(2));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, r2.center());
  expect_one_selected(2, "ctrl+click on another entry");
  QTest::keyClick(list, Qt::Key_Up, Qt::ControlModifier);
  expect_one_selected(1, "ctrl+up");
  list->clearSelection();
  expect_one_selected(1, "selection cleared");

  Click(form->TntSpeedButton4);  // removes the entry that is seen selected
  EXPECT_EQ(Names(), QStringList({"a.doc", "c.doc"}));
  expect_one_selected(0, "remove");
}

TEST_F(DocrecodeWindow, ExitButtonClosesTheWindow) {
  Click(form->TntSpeedButton3);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(dialogs.calls.empty());
}

}  // namespace

#include "docrecode_test.moc"
