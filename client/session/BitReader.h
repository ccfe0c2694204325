#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin {

// Reads H.264 syntax elements most significant bit first. It works either on
// a raw byte sequence payload or directly on the escaped bytes of a NAL unit,
// dropping emulation prevention bytes (00 00 03) as it goes, so a slice header
// can be read without converting the whole slice. Reading past the end yields
// zero bits and never touches memory outside [data, data + size).
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size, bool escaped = false)
      : p_(data), end_(data + size), escaped_(escaped) {}

  // u(n) for n in 0..32 (larger n are read as 32).
  uint32_t u(int n) {
    if (n <= 0) return 0;
    if (n > 32) n = 32;
    if (avail_ < n) refill();
    uint32_t value = uint32_t(cache_ >> (64 - n));
    cache_ <<= n;
    avail_ = avail_ > n ? avail_ - n : 0;  // beyond the end the cache is all zeros
    position_ += size_t(n);
    return value;
  }

  bool flag() { return u(1) != 0; }

  // ue(v): at most 32 leading zeros, and no more than the data still holds.
  uint32_t ue() {
    if (avail_ < 33) refill();
    int zeros = 0;
    if (cache_ != 0) {
      zeros = __builtin_clzll(cache_);
      if (zeros > 32) zeros = 32;
    } else {
      zeros = avail_ < 32 ? avail_ : 32;
    }
    if (zeros >= avail_ && zeros < 32) {
      // Only zeros until the end: the count stops there.
      zeros = avail_;
      u(zeros);
      return zeros >= 32 ? 0xFFFFFFFFu : (1u << zeros) - 1;
    }
    u(zeros);
    if (zeros < 32) u(1);  // the terminating 1 bit
    uint64_t value = (uint64_t(1) << zeros) - 1 + u(zeros);
    return uint32_t(value);
  }

  int32_t se() {
    uint32_t k = ue();
    return (k & 1) ? int32_t((uint64_t(k) + 1) / 2) : -int32_t(k / 2);
  }

  void byteAlign() { u(int((8 - position_ % 8) % 8)); }
  bool byteAligned() const { return position_ % 8 == 0; }

  uint32_t peekBit() {
    if (avail_ < 1) refill();
    return uint32_t(cache_ >> 63);
  }

  // No payload bit is left to read.
  bool exhausted() {
    if (avail_ > 0) return false;
    refill();
    return avail_ == 0;
  }

  // Payload bits consumed so far (emulation prevention bytes not counted).
  size_t position() const { return position_; }

 private:
  int nextByte() {
    while (p_ < end_) {
      uint8_t b = *p_++;
      if (escaped_) {
        if (zeros_ >= 2 && b == 3) {
          zeros_ = 0;
          continue;
        }
        zeros_ = b == 0 ? zeros_ + 1 : 0;
      }
      return b;
    }
    return -1;
  }

  void refill() {
    while (avail_ <= 56) {
      int b = nextByte();
      if (b < 0) return;
      cache_ |= uint64_t(b) << (56 - avail_);
      avail_ += 8;
    }
  }

  const uint8_t* p_;
  const uint8_t* end_;
  bool escaped_;
  int zeros_ = 0;
  uint64_t cache_ = 0;  // unread bits, most significant first
  int avail_ = 0;       // how many of them are real
  size_t position_ = 0;
};

}  // namespace tavrin
