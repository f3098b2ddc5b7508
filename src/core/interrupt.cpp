#include "core/interrupt.hpp"

#include <atomic>
#include <chrono>

namespace tarnwick {

namespace {

std::atomic<InterruptHook> hook{nullptr};

// Short enough that a pending Ctrl-C is seen well within a tenth of a second of work.
constexpr auto kInterval = std::chrono::milliseconds(10);

}  // namespace

void set_interrupt_hook(InterruptHook h) { hook.store(h, std::memory_order_release); }

void poll_interrupt() {
  const InterruptHook h = hook.load(std::memory_order_acquire);
  if (h == nullptr) return;
  thread_local std::chrono::steady_clock::time_point next{};
  const auto now = std::chrono::steady_clock::now();
  if (now < next) return;
  next = now + kInterval;
  h();
}

}  // namespace tarnwick
