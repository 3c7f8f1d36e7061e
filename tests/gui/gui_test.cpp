// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <stdexcept>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTimer>

#include "app_setup.h"
#include "dialogs.h"
#include "fake_dialogs.h"
#include "guard.h"
#include "test_util.h"

namespace {

using uy::gui::FileDialogOptions;
using uy::gui::QtDialogs;
using uy::gui::RecordingDialogs;

// Runs `inspect` on the modal dialog as soon as it is shown.
template <class Dialog, class F>
void WhenShown(F inspect) {
  QTimer::singleShot(0, [inspect] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    inspect(dialog);
  });
}

TEST(Guarded, ShowsEscapingFailuresWithTheirMessage) {
  RecordingDialogs dialogs;
  EXPECT_TRUE(uy::gui::Guarded(nullptr, dialogs, "prog", [] {}));
  EXPECT_TRUE(dialogs.calls.empty());

  EXPECT_FALSE(uy::gui::Guarded(nullptr, dialogs, "prog",
                                [] { throw std::runtime_error("cannot read /x: gone"); }));
  EXPECT_FALSE(uy::gui::Guarded(nullptr, dialogs, "prog", [] { throw 42; }));
  const auto errors = dialogs.Of(RecordingDialogs::Kind::Error);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].caption, "prog");
  EXPECT_EQ(errors[0].text, "cannot read /x: gone");
  EXPECT_EQ(errors[1].text, "");  // not a std::exception: an empty message
}

TEST(QtDialogs, OpenDialogIsQtsOwnWithFiltersAndMultipleSelection) {
  EXPECT_TRUE(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs));
  uytest::TempDir dir;
  uytest::WriteFile(dir / "a.doc", "a");
  uytest::WriteFile(dir / "b.docx", "b");
  FileDialogOptions options;
  options.directory = QString::fromStdString(dir.path().string());
  options.filters = {"Microsoft Word File(*.doc) (*.doc*)", "All files (*.*) (*)"};
  options.multiple = true;
  QStringList seen_filters, shown_filters;
  WhenShown<QFileDialog>([&](QFileDialog* d) {
    seen_filters = d->nameFilters();
    if (auto* combo = d->findChild<QComboBox*>("fileTypeCombo"))
      for (int i = 0; i < combo->count(); ++i) shown_filters << combo->itemText(i);
    EXPECT_EQ(d->selectedNameFilter(), "Microsoft Word File(*.doc)");
    EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
    d->selectFile("\"a.doc\" \"b.docx\"");
    static_cast<QDialog*>(d)->accept();
  });
  const QStringList files = QtDialogs().OpenFileNames(nullptr, options);
  EXPECT_EQ(seen_filters, options.filters);
  // Each entry reads as its description, without the pattern repeated after it.
  EXPECT_EQ(shown_filters, QStringList({"Microsoft Word File(*.doc)", "All files (*.*)"}));
  ASSERT_EQ(files.size(), 2);
  EXPECT_TRUE(files[0].endsWith("/a.doc"));
  EXPECT_TRUE(files[1].endsWith("/b.docx"));

  WhenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
  EXPECT_TRUE(QtDialogs().OpenFileNames(nullptr, options).isEmpty());
}

TEST(QtDialogs, SaveDialogAddsTheDefaultSuffixAndNeverAsks) {
  uytest::TempDir dir;
  FileDialogOptions options;
  options.directory = QString::fromStdString(dir.path().string());
  options.filters = {"Text File(*.UYT) (*.uyt)", "All files(*.*) (*)"};
  options.default_suffix = "UYT";
  WhenShown<QFileDialog>([](QFileDialog* d) {
    EXPECT_TRUE(d->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
    d->selectFile("letter");
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_TRUE(QtDialogs().SaveFileName(nullptr, options).endsWith("/letter.UYT"));
}

TEST(FontSubstitutes, MissingUyghurFontNamesDrawWithAnInstalledUyghurFont) {
  uy::gui::InstallFontSubstitutes();
  uy::gui::InstallFontSubstitutes();  // a second call adds nothing twice
  QStringList subs = QFont::substitutes("KORVELI Tor");
  EXPECT_EQ(subs.removeDuplicates(), 0);
  if (!QFontDatabase::families().contains("UKIJ Tor")) GTEST_SKIP() << "no UKIJ fonts installed";
  EXPECT_EQ(QFontInfo(QFont("KORVELI Tor")).family(), "UKIJ Tor");
  EXPECT_TRUE(QFontInfo(QFont("KORVELI Basma Tom")).family().startsWith("UKIJ"));
}

}  // namespace
