#include "base/trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace quorvel {

void trace(std::string_view step) {
  static const bool enabled = std::getenv("QUORVEL_TRACE") != nullptr;
  if (!enabled) return;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  std::fprintf(stderr, "quorvel trace: %lld %.*s\n", static_cast<long long>(ms),
               static_cast<int>(step.size()), step.data());
}

}  // namespace quorvel
