#pragma once

#include <linux/input.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrin {

// The daemon's only way to the kernel's event nodes: open, the two capability
// queries and write. Tests and the test build put stand-ins here.
class EventNodes {
 public:
  virtual ~EventNodes() = default;
  // Opens read-write; -1 when the node does not open.
  virtual int open(const std::string& path) = 0;
  virtual void close(int fd) = 0;
  // EVIOCGBIT(type, size): the bit mask of codes of `type` (0: event types).
  virtual bool queryBits(int fd, int type, uint8_t* bits, size_t size) = 0;
  // EVIOCGABS(axis).
  virtual bool queryAbs(int fd, int axis, input_absinfo& info) = 0;
  // One record, one write; the kernel takes the platform's own layout.
  virtual void write(int fd, const input_event& event) = 0;
};

// The real nodes, through file descriptors and ioctls.
class KernelEventNodes : public EventNodes {
 public:
  int open(const std::string& path) override;
  void close(int fd) override;
  bool queryBits(int fd, int type, uint8_t* bits, size_t size) override;
  bool queryAbs(int fd, int axis, input_absinfo& info) override;
  void write(int fd, const input_event& event) override;
};

// "$TAVRIN_INPUT_DIR/event<index>", by default "/dev/input/event<index>".
std::string eventNodePath(int index);
constexpr int EVENT_NODE_COUNT = 58;

inline bool testBit(const uint8_t* bits, size_t size, unsigned bit) {
  return bit / 8 < size && (bits[bit / 8] >> (bit % 8) & 1);
}

}  // namespace tavrin
