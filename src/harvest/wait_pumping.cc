#include "harvest/wait_pumping.h"

#include <cstdint>

namespace zv::harvest {

std::chrono::milliseconds WaitDuration(int amount, int unit) {
  std::int64_t factor = unit;
  switch (unit) {
    case 0:
      factor = 1;
      break;
    case 1:
      factor = 1000;
      break;
    case 2:
      factor = 60'000;
      break;
    case 3:
      factor = 3'600'000;
      break;
    default:
      break;
  }
  const std::int64_t millis = static_cast<std::int64_t>(amount) * factor;
  return std::chrono::milliseconds(millis > 0 ? millis : 0);
}

}  // namespace zv::harvest
