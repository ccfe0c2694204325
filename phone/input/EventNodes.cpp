#include "phone/input/EventNodes.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

namespace tavrin {

int KernelEventNodes::open(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_CLOEXEC);
}

void KernelEventNodes::close(int fd) {
  if (fd >= 0) ::close(fd);
}

bool KernelEventNodes::queryBits(int fd, int type, uint8_t* bits, size_t size) {
  return ioctl(fd, EVIOCGBIT(type, size), bits) >= 0;
}

bool KernelEventNodes::queryAbs(int fd, int axis, input_absinfo& info) {
  return ioctl(fd, EVIOCGABS(axis), &info) >= 0;
}

void KernelEventNodes::write(int fd, const input_event& event) {
  // A failed write is not reported: the command still counts as done.
  ssize_t ignored = ::write(fd, &event, sizeof event);
  (void)ignored;
}

std::string eventNodePath(int index) {
  const char* dir = std::getenv("TAVRIN_INPUT_DIR");
  std::string base = dir && *dir ? dir : "/dev/input";
  return base + "/event" + std::to_string(index);
}

}  // namespace tavrin
