// SPDX-License-Identifier: GPL-3.0-or-later
// The uyedit window tests' fixture: a shown editor window with the dialogs it opens and the
// failures it reports recorded.
#pragma once

#include <memory>

#include "fake_dialogs.h"
#include "gui_test_util.h"
#include "tform1.h"

namespace uytest {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<uy::uyedit::TForm1>(&dialogs);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    QApplication::processEvents();
  }
  void TearDown() override { window_.reset(); }
  uy::uyedit::TForm1& Window() { return *window_; }

  // The texts of the failures shown so far.
  QStringList Failures() const {
    QStringList texts;
    for (const auto& call : dialogs.Of(uy::gui::RecordingDialogs::Kind::Error)) texts << call.text;
    return texts;
  }

  uy::gui::RecordingDialogs dialogs;

 private:
  std::unique_ptr<uy::uyedit::TForm1> window_;
};

}  // namespace uytest
