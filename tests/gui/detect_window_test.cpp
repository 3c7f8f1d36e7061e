// SPDX-License-Identifier: GPL-3.0-or-later
// The recoder window marks documents whose content contradicts the chosen direction,
// names them in the completion box, and converts them as asked all the same.
#include <gtest/gtest.h>

#include <fstream>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>

#include "fake_dialogs.h"
#include "form.h"
#include "tables.h"
#include "test_util.h"
#include "utf.h"

namespace {

namespace fs = std::filesystem;
using uy::gui::RecordingDialogs;

std::u16string Paragraph() {  // held-out real words
  std::ifstream in(fs::path(UY_TEST_DATA) / "detect" / "heldout-words.txt");
  std::u16string text;
  int n = 0;
  for (std::string line; n < 400 && std::getline(in, line); ++n)
    if (n % 7 == 0) text += uy::FromUtf8(line) + u" ";
  return text;
}

TEST(DetectWindow, MarksContradictionsListsThemAndConvertsAsAsked) {
  uytest::TempDir dir;
  std::u16string sorvan = Paragraph();
  for (char16_t& c : sorvan) c = uy::recode::RecodeUnit(3, c);
  uytest::WriteFile(dir / "uni.txt", uy::ToUtf8(Paragraph()));
  uytest::WriteFile(dir / "old.txt", uy::ToUtf8(sorvan));
  RecordingDialogs dialogs;
  uy::docrecode::TForm1 form(&dialogs);
  form.FormCreate();
  const QString idle = form.StatusPanel->text();
  form.AddDocuments({QString::fromStdString((dir / "uni.txt").string()), QString::fromStdString((dir / "old.txt").string())});
  auto marked = [&](int row) { return !form.ListBox1->item(row)->icon().isNull(); };
  auto tip = [&](int row) { return form.ListBox1->item(row)->toolTip().toStdString(); };

  ASSERT_EQ(form.TntComboBox1->currentIndex(), 0);
  EXPECT_TRUE(marked(0));
  EXPECT_NE(tip(0).find("看起来已是 Unicode 文本"), std::string::npos) << tip(0);
  EXPECT_FALSE(marked(1)) << tip(1);
  form.TntComboBox1->setCurrentIndex(1);
  EXPECT_FALSE(marked(0));
  EXPECT_TRUE(marked(1));
  EXPECT_NE(tip(1).find("方向 2：Sorvan/Hovuran"), std::string::npos) << tip(1);
  EXPECT_EQ(form.StatusPanel->text(), idle);  // the documents disagree: no suggestion

  form.TntComboBox1->setCurrentIndex(0);
  form.Convert1Click();
  EXPECT_EQ(form.TntComboBox1->currentIndex(), 0);
  EXPECT_TRUE(fs::exists(dir / "uni(Unicode).txt"));  // converted as asked
  EXPECT_TRUE(fs::exists(dir / "old(Unicode).txt"));
  const auto boxes = dialogs.Of(RecordingDialogs::Kind::Message);
  ASSERT_EQ(boxes.size(), 1u);
  const std::string text = boxes[0].text.toStdString();
  EXPECT_NE(text.find("uni.txt：看起来已是 Unicode 文本"), std::string::npos) << text;
  EXPECT_EQ(text.find("old.txt"), std::string::npos) << text;

  // Only legacy documents of one encoding left: the window suggests it, and changes nothing.
  form.ListBox1->setCurrentRow(0);
  form.TntSpeedButton4Click();
  EXPECT_NE(form.StatusPanel->text().toStdString().find("方向 2"), std::string::npos);
  EXPECT_EQ(form.TntComboBox1->currentIndex(), 0);
}

}  // namespace
