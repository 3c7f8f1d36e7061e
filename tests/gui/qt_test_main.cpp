// SPDX-License-Identifier: GPL-3.0-or-later
// main() for GoogleTest suites that need a QApplication. Without a platform chosen
// (test discovery at build time) the tests run offscreen.
#include <gtest/gtest.h>

#include <QApplication>

#include "app_setup.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  uy::gui::SetUpApplication();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
