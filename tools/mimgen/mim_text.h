// SPDX-License-Identifier: GPL-3.0-or-later
// Pieces of m17n input-method text shared by the generated methods.
#pragma once

#include <string>
#include <string_view>

namespace uy::mimgen {

// An M-text literal: UTF-8 in double quotes, with " and \ escaped.
std::string Quoted(std::u16string_view text);

// The file's head: comment lines, the declaration, the description and the title.
std::string Header(std::string_view file, std::string_view name, std::string_view description);

// The map "caret": keys that move the caret or delete forward go to the application and
// leave the word-start flag.
std::string CaretRules();

// The trailer that tells editors the file's coding.
std::string_view Trailer();

}  // namespace uy::mimgen
