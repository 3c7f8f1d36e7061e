// SPDX-License-Identifier: GPL-3.0-or-later
// The phonetic keyboard as an m17n input method: the text of ug-phonetic.mim.
#pragma once

#include <string>

namespace uy::mimgen {

std::string PhoneticMim();

}  // namespace uy::mimgen
