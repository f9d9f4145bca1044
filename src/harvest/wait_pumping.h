// WaitPumping: the dispatcher's wait for a free worker slot.
//
// Waits the given time on a condition variable, pumping the thread's pending
// messages, and returns early as soon as `wake` is true (a worker finished,
// Stop was pressed). It never spins and always ends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "text/pump.h"

namespace zv::harvest {

// amount x unit factor: unit 0 (or left out) ms, 1 s, 2 min, 3 h, any other
// value that many ms per unit. Negative products count as no wait.
std::chrono::milliseconds WaitDuration(int amount, int unit = 0);

// REQUIRES: `lock` holds the mutex that guards what `wake` reads and that
// `changed` is notified under. Returns true once the time has passed or
// `wake` became true.
template <class Wake>
bool WaitPumping(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, int amount,
                 int unit, Wake wake) {
  text::PumpPendingMessages();
  changed.wait_for(lock, WaitDuration(amount, unit), wake);
  return true;
}

}  // namespace zv::harvest
