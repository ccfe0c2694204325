#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin {

// Abstract byte device. `read`/`write` move at most *length bytes and report
// the count moved back through length.
class IoDevice {
 public:
  virtual ~IoDevice() = default;
  virtual uint32_t bytesAvailable() = 0;
  virtual bool read(uint8_t* buffer, size_t* length) = 0;
  virtual bool readAvailable(std::vector<uint8_t>& out) = 0;
  virtual bool write(const uint8_t* buffer, size_t* length) = 0;
};

}  // namespace tavrin
