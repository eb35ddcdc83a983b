#include "base/yield.h"

#include <atomic>

namespace quorvel {
namespace {
std::atomic<YieldHook> g_hook{nullptr};
}

void set_yield_hook(YieldHook hook) noexcept {
  g_hook.store(hook);
}

void yield_to_ui() {
  if (YieldHook hook = g_hook.load()) hook();
}

}  // namespace quorvel
