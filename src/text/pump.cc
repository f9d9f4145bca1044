#include "text/pump.h"

#include <utility>

namespace zv::text {

namespace {
thread_local std::function<void()> pumpHook;
}  // namespace

void PumpPendingMessages() {
  if (pumpHook) pumpHook();
}

void SetPumpHook(std::function<void()> hook) { pumpHook = std::move(hook); }

}  // namespace zv::text
