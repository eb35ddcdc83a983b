// Lets long loops of the core keep the window responsive. The front-end
// installs a hook that runs one non-blocking pass over pending UI events;
// without a hook (tools, tests) yielding does nothing.
#pragma once

#include <chrono>
#include <cstdint>

namespace quorvel {

using YieldHook = void (*)();

void set_yield_hook(YieldHook hook) noexcept;
void yield_to_ui();

// Calls yield_to_ui at most once per interval, however often step() is
// called: a per-step yield would cost more than the work of a step.
class YieldPacer {
 public:
  // No clock is read until the 256th step: most loops are short, and a
  // pacer is made for every search.
  explicit YieldPacer(std::chrono::microseconds interval = std::chrono::milliseconds(4))
      : interval_(interval) {}
  void step() {
    if ((++steps_ & 0xFF) != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < interval_) return;
    last_ = now;
    yield_to_ui();
  }

 private:
  std::chrono::microseconds interval_;
  std::chrono::steady_clock::time_point last_{};
  std::uint32_t steps_ = 0;
};

}  // namespace quorvel
