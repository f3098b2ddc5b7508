// Long loops give way to their host between units of work: poll_interrupt() runs the hook the host
// installed (the Python module checks for a pending signal there and throws its exception) at most
// once every few milliseconds of the calling thread. Without a hook it does nothing.
#pragma once

namespace tarnwick {

using InterruptHook = void (*)();

void set_interrupt_hook(InterruptHook hook);

// Cheap enough to call once per unit of work of a few microseconds or more: it reads the clock and
// runs the hook only when the last check on this thread is old enough. The hook may throw; callers
// poll only where an exception leaves their object as it was (or as after its last whole step).
void poll_interrupt();

}  // namespace tarnwick
