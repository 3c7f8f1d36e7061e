// A shown editor window for GUI tests, with the failures it reports recorded.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "editor/tform1.h"

// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace uytest {

// The one application object of a test program (offscreen when QT_QPA_PLATFORM says so).
inline QApplication* App() {
  static int argc = 1;
  static char name[] = "uyedit_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return new QApplication(argc, argv);
  }();
  return app;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    window_ = std::make_unique<uy::editor::TForm1>();
    window_->show_failure = [this](const QString& message) { failures.append(message); };
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    QApplication::processEvents();
  }
  void TearDown() override { window_.reset(); }
  uy::editor::TForm1& Window() { return *window_; }

  QStringList failures;

 private:
  std::unique_ptr<uy::editor::TForm1> window_;
};

}  // namespace uytest
