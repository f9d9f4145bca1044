// PumpPendingMessages: the point where a long-running loop lets its thread
// handle whatever is waiting for it. Engine threads have no message queue, so
// by default it does nothing; a thread may install a hook of its own.
#pragma once

#include <functional>

namespace zv::text {

// Runs the calling thread's pump hook, if it has one. Never waits.
void PumpPendingMessages();
// Installs (or, with an empty function, removes) the calling thread's hook.
void SetPumpHook(std::function<void()> hook);

}  // namespace zv::text
