// SPDX-License-Identifier: GPL-3.0-or-later
// Latin spelling (ULY) typed, Arabic script written: the text of ug-latin.mim.
#pragma once

#include <string>

namespace uy::mimgen {

std::string LatinMim();

}  // namespace uy::mimgen
