// SPDX-License-Identifier: GPL-3.0-or-later
// The one error of the content-aware recoder's parsers and checks.
#pragma once

#include <stdexcept>
#include <string>

namespace uy::formats {

// The document cannot be recoded safely; the text says why. A damaged document (or one
// that is not what it seemed) may still get a plainer handling; an encrypted one never.
class DocumentError : public std::runtime_error {
 public:
  enum class Cause { kDamaged, kEncrypted };
  explicit DocumentError(const std::string& why, Cause cause = Cause::kDamaged)
      : std::runtime_error(why), cause_(cause) {}
  Cause cause() const { return cause_; }
  bool encrypted() const { return cause_ == Cause::kEncrypted; }

 private:
  Cause cause_;
};

}  // namespace uy::formats
