// Interrupts of long walks: the core polls a hook that the embedding installs (the Python
// module checks for pending signals, so Ctrl-C stops a walk). The core itself stays free
// of any interpreter.
#pragma once

#include <cstdint>

#include "lib/result.hpp"

namespace tarvex {

// Returns true when the walk must stop; it may leave its reason pending in the embedding.
using InterruptHook = bool (*)();
void set_interrupt_hook(InterruptHook hook);

// The error a walk returns when the hook asked it to stop.
Error interrupted();

// Counts the steps of one walk and asks the hook every kInterval steps.
class InterruptPoll {
 public:
  static constexpr std::uint32_t kInterval = 4096;
  // True when the walk must stop.
  bool operator()() {
    if (++steps_ % kInterval != 0) return false;
    return stop_now();
  }

 private:
  static bool stop_now();
  std::uint32_t steps_ = 0;
};

}  // namespace tarvex
