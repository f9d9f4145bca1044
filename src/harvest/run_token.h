// RunToken: the permission of one harvest run to make itself visible.
//
// The window thread revokes it on Stop; once Revoke() has returned, no
// WhileLive() body of that run runs any more. Thread-safe.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "web/cancel_token.h"

namespace zv::harvest {

class RunToken {
 public:
  // Lock-free, so it may also be asked inside a WhileLive() body.
  bool IsLive() const { return live_.load(std::memory_order_acquire); }
  // Runs `body` under the token's lock when the run is still live; returns
  // whether it ran. `body` must not block on another thread.
  template <class Body>
  bool WhileLive(Body&& body) {
    std::lock_guard lock(mutex_);
    if (!IsLive()) return false;
    body();
    return true;
  }
  // Ends the run's visibility and aborts its transfers in flight.
  void Revoke() {
    std::lock_guard lock(mutex_);
    live_.store(false, std::memory_order_release);
    cancel_.Cancel();
  }
  // Cancelled together with the token: fetches of the run carry it.
  const web::CancelToken& Cancel() const { return cancel_; }

 private:
  mutable std::mutex mutex_;
  std::atomic<bool> live_{true};  // written under mutex_
  web::CancelToken cancel_;
};

using RunTokenPtr = std::shared_ptr<RunToken>;

}  // namespace zv::harvest
