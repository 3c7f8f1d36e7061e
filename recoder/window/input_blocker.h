// SPDX-License-Identifier: GPL-3.0-or-later
// The application's input held off while the recoder window converts.
#pragma once

#include <QElapsedTimer>
#include <QObject>

namespace uy::docrecode {

// While a conversion runs: the application takes no input (keys, mouse, drops and
// close requests are dropped, not kept for later), but repaints and the window
// system's other requests go on, so the progress bar and the list selection move.
class InputBlocker : public QObject {
 public:
  InputBlocker();
  ~InputBlocker() override;
  InputBlocker(const InputBlocker&) = delete;
  InputBlocker& operator=(const InputBlocker&) = delete;

  // Delivers what is pending; unless forced at most every 15 ms, so that a long list of
  // small documents is not slowed down by painting.
  void Pump(bool force);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QElapsedTimer clock_;
};

}  // namespace uy::docrecode
