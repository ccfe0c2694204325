#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "client/session/NalParser.h"
#include "client/session/PictureBoundary.h"

namespace tavrin {

// One packet for the decoder: the latest SPS and PPS, then every NAL unit of
// one access unit, each behind a 4-byte start code. `data` stays valid until
// the next call of nextAccessUnit.
struct AccessUnit {
  const uint8_t* data = nullptr;
  size_t size = 0;
  bool keyFrame = false;  // the unit's last NAL unit is an IDR slice
  bool hasSlice = false;  // holds a coded slice (type 1 or 5); an SEI alone does not
};

// Cuts an H.264 Annex B byte stream, fed in pieces of any size, into NAL
// units and groups them into access units.
//
//   stream:  [garbage] 00 00 00 01 | SPS | 00 00 01 | SEI | 00 00 00 01 | slice | ...
//   packet:  00 00 00 01 SPS  00 00 00 01 PPS  00 00 00 01 SEI  00 00 00 01 slice ...
//
// A NAL unit is complete once the next start code (or a 00 00 00 run) has
// arrived; 3-byte start codes are accepted and written as 4-byte ones; bytes
// before the first start code are dropped. SPS and PPS units are kept aside
// (the latest of each) and put in front of every packet. A picture's packet
// goes out when the first unit of the following picture arrives: a unit for
// which isNewPicture says so, or an access unit delimiter, which always
// begins an access unit (the capture server sends one after every picture,
// and after a non-reference picture isNewPicture alone would not see it).
//
// Cost is linear in the bytes received whatever the piece sizes: the search
// resumes where it stopped, and consumed bytes are dropped only once they make
// up half of the buffer.
class AccessUnitSplitter {
 public:
  AccessUnitSplitter();
  AccessUnitSplitter(const AccessUnitSplitter&) = delete;
  AccessUnitSplitter& operator=(const AccessUnitSplitter&) = delete;

  void append(const uint8_t* data, size_t size);

  // Yields the next complete packet, or false when more bytes are needed.
  bool nextAccessUnit(AccessUnit& out);

  const NalParser& parser() const { return parser_; }

 private:
  bool handleNal(const uint8_t* payload, size_t size, AccessUnit& out);
  void buildPacket(AccessUnit& out);
  void compact();

  std::vector<uint8_t> input_;
  size_t consumed_ = 0;      // input_ before this is done with
  bool cutting_ = false;     // a start code was found, its unit not yet ended
  size_t payloadStart_ = 0;  // payload of the unit being cut
  size_t scanFrom_ = 0;      // where the current search resumes
  bool forbiddenEscape_ = false;  // seen so far in the unit being cut

  NalParser parser_;
  PreviousSlice previous_;
  int32_t lastType_ = -1;  // type of the last unit added to an access unit

  std::vector<uint8_t> sps_;
  std::vector<uint8_t> pps_;
  // The access unit being gathered and the packet handed out last; both keep
  // free room at the front so SPS and PPS can be put before the units in place.
  std::vector<uint8_t> unit_;
  std::vector<uint8_t> packet_;
  size_t headroom_;
  bool unitStarted_ = false;
  bool unitHasSlice_ = false;
};

}  // namespace tavrin
