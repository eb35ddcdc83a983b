// Owners of Windows handles: kernel objects closed by CloseHandle (files
// and processes, INVALID_HANDLE_VALUE or null when absent) and modules.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

namespace quorvel {

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle h) noexcept { CloseHandle(h); }
};
// CreateFileW answers INVALID_HANDLE_VALUE: adopt() turns it into the owner's
// empty state, so one owner type serves every kernel handle.
class UniqueKernelHandle : public UniqueHandle<KernelHandleTraits> {
 public:
  using UniqueHandle<KernelHandleTraits>::UniqueHandle;
  [[nodiscard]] static UniqueKernelHandle adopt(HANDLE h) noexcept {
    return UniqueKernelHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
  }
};

}  // namespace quorvel
