// SPDX-License-Identifier: GPL-3.0-or-later
// A progress bar as the recoding pass's progress sink.
#pragma once

#include "pass.h"

class QProgressBar;

namespace uy::docrecode {

class InputBlocker;

// ProgressBar1 as the pass's progress sink; every report lets the blocker deliver
// what is pending.
class BarSink : public recode::ProgressSink {
 public:
  BarSink(QProgressBar* bar, InputBlocker* blocker) : bar_(bar), blocker_(blocker) {}
  void SetRange(int minimum, int maximum) override;
  // The header step of a short document reports more than 100: the bar shows it full.
  void SetPosition(int position) override;

 private:
  QProgressBar* bar_;
  InputBlocker* blocker_;
};

}  // namespace uy::docrecode
