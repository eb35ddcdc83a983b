// One client per user session on Windows: the first start owns a named
// mutex; a later start lets the first take the foreground, asks it to bring
// its current window forward and ends with code 0, so that two clients
// never write one settings file. The restart after a new binding starts the
// program again while the old process ends: told whose place it takes
// (QUORVEL_REPLACES, set for Restart.bat), the new one waits up to 5 s for
// that process instead of handing over to it.
#pragma once

#include <windows.h>

#include "base/unique_handle-win32.h"

namespace quorvel::win32 {

inline constexpr wchar_t kInstanceMutex[] = L"Local\\io.quorvel.Desk";

class SingleInstance {
 public:
  enum class Claim { First, Another };
  [[nodiscard]] Claim claim(const wchar_t* name = kInstanceMutex);

 private:
  UniqueKernelHandle mutex_;
};

// Finds the running client's tray window and asks it to come forward,
// letting it take the foreground; false when there is none.
bool call_first_forward();

}  // namespace quorvel::win32
