// The interrupt hook of long walks.
#include "lib/interrupt.hpp"

namespace tarvex {
namespace {
InterruptHook g_hook = nullptr;
}  // namespace

void set_interrupt_hook(InterruptHook hook) { g_hook = hook; }

Error interrupted() { return {ErrorKind::Interrupted, "interrupted"}; }

bool InterruptPoll::stop_now() { return g_hook && g_hook(); }

}  // namespace tarvex
