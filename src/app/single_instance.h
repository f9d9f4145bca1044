// GuardSingleInstance: lets the first instance of the program (per user) pass
// and ends every later one at once, silently, with exit status 0.
//
// The mark is a lock file named after the guard, held with flock() for the
// life of the process, in $XDG_RUNTIME_DIR (else /tmp/zorvane-$UID). The
// kernel drops the lock when the process ends, and two instances started at
// the same moment still exclude each other. Call once, before other threads.
#pragma once

#include <string>

namespace zv::app {

// Returns only in the first instance. When the mark cannot be made at all,
// the instance runs on without one.
void GuardSingleInstance(const std::string& name);

// The same test without ending the process: true when this process now holds
// the mark (or none can be made), false when another process holds it.
bool AcquireInstanceMark(const std::string& name);

}  // namespace zv::app
