#include "harvest/processor_affinity.h"

#include <dirent.h>
#include <sched.h>
#include <sys/types.h>

#include <cstdlib>

namespace zv::harvest {

namespace {

bool FirstAllowedProcessor(cpu_set_t& only) {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return false;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &allowed)) continue;
    CPU_ZERO(&only);
    CPU_SET(cpu, &only);
    return true;
  }
  return false;
}

}  // namespace

void RestrictToFirstProcessor() {
  cpu_set_t only;
  if (!FirstAllowedProcessor(only)) return;
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) {
    sched_setaffinity(0, sizeof only, &only);
    return;
  }
  while (const dirent* entry = readdir(tasks)) {
    const pid_t tid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (tid > 0) sched_setaffinity(tid, sizeof only, &only);
  }
  closedir(tasks);
}

}  // namespace zv::harvest
