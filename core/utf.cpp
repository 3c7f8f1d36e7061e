#include "utf.h"

#include <stdexcept>

#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace uy {

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  if (text.empty()) return out;
  out.resize(text.size() * 3);
  int32_t len = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &len,
                     reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                     0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) throw std::runtime_error(std::string("UTF-8 conversion failed: ") + u_errorName(status));
  out.resize(static_cast<std::size_t>(len));
  return out;
}

std::u16string FromUtf8(std::string_view bytes, std::size_t* replaced) {
  std::u16string out;
  if (replaced) *replaced = 0;
  if (bytes.empty()) return out;
  out.resize(bytes.size());  // never more units than bytes
  int32_t len = 0;
  int32_t subs = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &len,
                       bytes.data(), static_cast<int32_t>(bytes.size()), 0xFFFD, &subs, &status);
  if (U_FAILURE(status)) throw std::runtime_error(std::string("UTF-8 conversion failed: ") + u_errorName(status));
  out.resize(static_cast<std::size_t>(len));
  if (replaced) *replaced = static_cast<std::size_t>(subs);
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto n = static_cast<int32_t>(bytes.size());
  for (int32_t i = 0; i < n;) {
    UChar32 c;
    U8_NEXT(s, i, n, c);
    if (c < 0) return false;
  }
  return true;
}

}  // namespace uy
