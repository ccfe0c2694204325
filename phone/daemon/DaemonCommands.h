#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tavrin {

// What the daemon's commands act on: the phone programs it starts and stops.
class IProgramControl {
 public:
  virtual bool startMirror(int32_t width, int32_t height, int32_t bitRate) = 0;
  virtual bool startInput(int32_t port) = 0;
  virtual bool stopMirror() = 0;
  virtual bool stopInput() = 0;

 protected:
  ~IProgramControl() = default;
};

// Reads exactly `size` bytes of the command's data; false on a short read.
using DaemonDataReader = std::function<bool(void* data, size_t size)>;

// Carries out one command (the first word of the header): reads the data the
// command takes and acts on `programs`. True means "CMDSUCCES".
bool handleDaemonCommand(uint32_t command, const DaemonDataReader& readData, IProgramControl& programs);

}  // namespace tavrin
