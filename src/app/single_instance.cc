#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace zv::app {

namespace {

std::string MarkFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
  std::string folder = "/tmp/zorvane-" + std::to_string(getuid());
  mkdir(folder.c_str(), 0700);  // an existing folder is fine
  return folder;
}

}  // namespace

bool AcquireInstanceMark(const std::string& name) {
  const std::string path = MarkFolder() + "/" + name + ".lock";
  // The descriptor stays open, and so the lock held, until the process ends.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  const bool heldElsewhere = errno == EWOULDBLOCK;
  close(fd);
  return !heldElsewhere;
}

void GuardSingleInstance(const std::string& name) {
  if (!AcquireInstanceMark(name)) std::_Exit(0);
}

}  // namespace zv::app
