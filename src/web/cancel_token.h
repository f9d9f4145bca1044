// CancelToken: a one-way flag that aborts fetches from another thread.
//
// A fetch given a token checks it at least every 50 ms while it waits on the
// network and returns an empty body soon after Cancel(). Thread-safe.
#pragma once

#include <atomic>

namespace zv::web {

class CancelToken {
 public:
  void Cancel() { cancelled_.store(true, std::memory_order_release); }
  bool IsCancelled() const { return cancelled_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> cancelled_{false};
};

// Cancelled when the process is shutting down: every fetch honours it besides
// its own token, so no transfer outlives the window.
CancelToken& ProcessShutdownToken();

}  // namespace zv::web
