// SPDX-License-Identifier: GPL-3.0-or-later
// The recoder window's open dialog driven the way a user drives it, on a real X server
// (Xvfb) with real key presses and clicks sent by xdotool: a folder path typed into the
// name field and Return, then a click on a file and on Open. Run through xvfb-run by CTest.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "form.h"
#include "test_util.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

namespace fs = std::filesystem;

// Sends input through the X server, as a keyboard and a mouse would.
bool Xdotool(const QStringList& args) { return QProcess::execute("xdotool", args) == 0; }

bool ClickAt(QWidget* widget, QPoint point) {
  const QPoint global = widget->mapToGlobal(point);
  return Xdotool({"mousemove", "--sync", QString::number(global.x()), QString::number(global.y()),
                  "click", "1"});
}

// Everything the dialog flow saw; filled while the dialog is open.
struct Flow {
  QString failed;     // the first step that did not happen
  QString field_after_click;
};

// Types `folder` into the name field with Return, clicks `file` in the list, then Open.
void DriveOpenDialog(const QString& folder, const QString& file, Flow* flow) {
  auto fail = [flow](const QString& step) {
    if (flow->failed.isEmpty()) flow->failed = step;
  };
  QFileDialog* dialog = nullptr;
  if (!QTest::qWaitFor([&] {
        dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        return dialog && dialog->isActiveWindow();
      }, 5000))
    return fail("the dialog did not open and take the focus");
  auto* field = dialog->findChild<QLineEdit*>("fileNameEdit");
  auto* list = dialog->findChild<QAbstractItemView*>("listView");
  auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
  QPushButton* open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
  if (!field || !list || !open) {
    dialog->reject();
    return fail("the dialog's name field, list or Open button is missing");
  }
  field->setFocus();
  if (!QTest::qWaitFor([&] { return field->hasFocus(); }, 2000))
    return dialog->reject(), fail("the name field did not take the focus");

  const auto finish = [&] {
    if (dialog->isVisible()) dialog->reject();
  };
  if (!Xdotool({"type", "--delay", "15", folder}) || !Xdotool({"key", "Return"}))
    return finish(), fail("xdotool could not type");
  if (!QTest::qWaitFor([&] { return QDir(dialog->directory()) == QDir(folder); }, 5000))
    return finish(), fail("Return did not open the typed folder");

  // The folder is read in the background: wait for the file to be listed and laid out.
  QModelIndex index;
  const bool listed = QTest::qWaitFor([&] {
    QAbstractItemModel* model = list->model();
    for (int row = 0; model && row < model->rowCount(list->rootIndex()); ++row) {
      const QModelIndex i = model->index(row, 0, list->rootIndex());
      if (i.data().toString() == file && list->visualRect(i).isValid()) {
        index = i;
        return true;
      }
    }
    return false;
  }, 5000);
  if (!listed) return finish(), fail("the file was not listed");
  QTest::qWait(50);  // let the view settle after the model's last change
  index = list->model()->index(index.row(), 0, list->rootIndex());
  if (!ClickAt(list->viewport(), list->visualRect(index).center()))
    return finish(), fail("xdotool could not click");
  if (!QTest::qWaitFor([&] { return field->text() == file; }, 3000))
    fail("the click on the file did not reach the list");
  flow->field_after_click = field->text();
  if (!ClickAt(open, open->rect().center())) return finish(), fail("xdotool could not click");
  if (!QTest::qWaitFor([&] { return !dialog->isVisible(); }, 3000)) {
    flow->field_after_click += " | after Open: \"" + field->text() + "\"";
    return finish(), fail("the first Open did not accept the clicked file");
  }
}

TEST(DocrecodeOpenDialog, TypedFolderThenClickedFileIsPickedAtTheFirstOpen) {
  if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server";
  uytest::TempDir dir;
  fs::create_directory(dir / "docs");
  uytest::WriteFile(dir / "docs" / "a.doc", "a");
  uytest::WriteFile(dir / "docs" / "b.doc", "b");
  const QString folder = QString::fromStdString((dir / "docs").string()) + "/";

  uy::docrecode::TForm1 form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  Flow flow;
  QTimer::singleShot(0, [&] { DriveOpenDialog(folder, "b.doc", &flow); });
  form.Open1Click();

  EXPECT_EQ(flow.failed, "") << "name field after the click on the file: "
                             << flow.field_after_click.toStdString();
  ASSERT_EQ(form.ListBox1->count(), 1);
  EXPECT_EQ(form.ListBox1->item(0)->text(), "b.doc");
  EXPECT_EQ(form.folder(), folder);
}

}  // namespace
