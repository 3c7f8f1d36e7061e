// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the GUI tests (the QApplication comes from qt_test_main.cpp): a shown editor
// window with the dialogs it opens and the failures it reports recorded, and small helpers.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "editor/tform1.h"
#include "tests/fake_dialogs.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace uytest {

inline void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center()); }

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<uy::editor::TForm1>(&dialogs);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    QApplication::processEvents();
  }
  void TearDown() override { window_.reset(); }
  uy::editor::TForm1& Window() { return *window_; }

  // The texts of the failures shown so far.
  QStringList Failures() const {
    QStringList texts;
    for (const auto& call : dialogs.Of(uy::gui::RecordingDialogs::Kind::Error)) texts << call.text;
    return texts;
  }

  uy::gui::RecordingDialogs dialogs;

 private:
  std::unique_ptr<uy::editor::TForm1> window_;
};

}  // namespace uytest
