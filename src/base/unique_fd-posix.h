// The owner of a POSIX file descriptor.
#pragma once

#include <unistd.h>

#include "base/unique_handle.h"

namespace quorvel {

struct FdTraits {
  using Handle = int;
  static constexpr Handle invalid() noexcept { return -1; }
  static void close(Handle fd) noexcept { ::close(fd); }
};
using UniqueFd = UniqueHandle<FdTraits>;

}  // namespace quorvel
