// SPDX-License-Identifier: GPL-3.0-or-later
#include "bar_sink.h"

#include <algorithm>

#include <QProgressBar>

#include "input_blocker.h"

namespace uy::docrecode {

void BarSink::SetRange(int minimum, int maximum) {
  bar_->setRange(minimum, maximum);
  blocker_->Pump(false);
}

void BarSink::SetPosition(int position) {
  bar_->setValue(std::clamp(position, bar_->minimum(), bar_->maximum()));
  blocker_->Pump(false);
}

}  // namespace uy::docrecode
