// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the GUI tests (the QApplication comes from qt_test_main.cpp).
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>


// Readable QStrings in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace uytest {

inline void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center()); }

}  // namespace uytest
