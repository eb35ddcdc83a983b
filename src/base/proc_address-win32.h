// A function a library exports, as its own function type; only Windows
// files include this.
#pragma once

#include <windows.h>

namespace quorvel {

// Null when the library lacks it. The generic function type in between says
// the cast from GetProcAddress's type is meant.
template <typename Function>
[[nodiscard]] Function proc_address(HMODULE library, const char* name) {
  using Generic = void (*)();
  return reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(library, name)));
}

}  // namespace quorvel
