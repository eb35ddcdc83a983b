// Internal text to and from the UTF-16 of Windows' wide ("W") functions;
// only Windows files include this, where wchar_t is one UTF-16 unit.
#pragma once

#include <string>
#include <string_view>

#include "base/text.h"

namespace quorvel {

[[nodiscard]] inline std::wstring wide(std::string_view text) {
  const std::u16string units = to_utf16_units(text);
  return std::wstring(units.begin(), units.end());
}

[[nodiscard]] inline Text narrow(std::wstring_view units) {
  return from_utf16_units(std::u16string(units.begin(), units.end()));
}

}  // namespace quorvel
