#include "client/session/AccessUnitSplitter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tavrin {

namespace {

constexpr size_t NOT_FOUND = size_t(-1);
constexpr uint8_t START_CODE[4] = {0, 0, 0, 1};
constexpr size_t INITIAL_HEADROOM = 256;
// Consumed bytes are dropped from the front once they are at least this many
// and at least half the buffer, so the moves stay linear in the input.
constexpr size_t COMPACT_MIN = 4096;

// First i >= from with 00 00 01 at i (all three bytes below size).
size_t findStartCode(const uint8_t* base, size_t from, size_t size) {
  const uint8_t* p = base + from;
  const uint8_t* end = base + size;
  while (end - p >= 3) {
    p = static_cast<const uint8_t*>(std::memchr(p, 0, size_t(end - p) - 2));
    if (!p) return NOT_FOUND;
    if (p[1] != 0) {
      p += 2;
    } else if (p[2] == 1) {
      return size_t(p - base);
    } else {
      p += p[2] == 0 ? 1 : 3;
    }
  }
  return NOT_FOUND;
}

// First i >= from where 00 00 00 or 00 00 01 begins: the end of a unit.
size_t findUnitEnd(const uint8_t* base, size_t from, size_t size) {
  const uint8_t* p = base + from;
  const uint8_t* end = base + size;
  while (end - p >= 3) {
    p = static_cast<const uint8_t*>(std::memchr(p, 0, size_t(end - p) - 2));
    if (!p) return NOT_FOUND;
    if (p[1] != 0) {
      p += 2;
    } else if (p[2] <= 1) {
      return size_t(p - base);
    } else {
      p += 3;
    }
  }
  return NOT_FOUND;
}

void assignUnit(std::vector<uint8_t>& to, const uint8_t* payload, size_t size) {
  to.assign(START_CODE, START_CODE + 4);
  to.insert(to.end(), payload, payload + size);
}

}  // namespace

AccessUnitSplitter::AccessUnitSplitter() : headroom_(INITIAL_HEADROOM) {
  unit_.resize(headroom_);
}

void AccessUnitSplitter::append(const uint8_t* data, size_t size) {
  if (size == 0) return;
  compact();
  input_.insert(input_.end(), data, data + size);
}

void AccessUnitSplitter::compact() {
  if (consumed_ == 0) return;
  if (consumed_ == input_.size()) {
    input_.clear();
  } else if (consumed_ >= COMPACT_MIN && consumed_ * 2 >= input_.size()) {
    input_.erase(input_.begin(), input_.begin() + std::ptrdiff_t(consumed_));
  } else {
    return;
  }
  payloadStart_ -= std::min(payloadStart_, consumed_);
  scanFrom_ -= consumed_;
  consumed_ = 0;
}

bool AccessUnitSplitter::nextAccessUnit(AccessUnit& out) {
  const uint8_t* base = input_.data();
  const size_t size = input_.size();
  for (;;) {
    if (!cutting_) {
      size_t code = findStartCode(base, scanFrom_, size);
      if (code == NOT_FOUND) {
        // Nothing but bytes to drop so far; the last two may begin a start code.
        if (size - consumed_ > 2) consumed_ = size - 2;
        scanFrom_ = consumed_;
        return false;
      }
      cutting_ = true;
      payloadStart_ = code + 3;
      scanFrom_ = payloadStart_;
    }
    size_t end = findUnitEnd(base, scanFrom_, size);
    if (end == NOT_FOUND) {
      scanFrom_ = std::max(payloadStart_, size - std::min<size_t>(size, 2));
      return false;
    }
    cutting_ = false;
    consumed_ = end;
    scanFrom_ = end;
    if (handleNal(base + payloadStart_, end - payloadStart_, out)) return true;
  }
}

bool AccessUnitSplitter::handleNal(const uint8_t* payload, size_t size, AccessUnit& out) {
  // An empty unit (two start codes back to back) has no header to act on.
  if (size == 0) return false;
  parser_.parse(payload, size);
  const int32_t type = parser_.nal().nal_unit_type;
  if (type == NAL_SPS) {
    assignUnit(sps_, payload, size);
    return false;
  }
  if (type == NAL_PPS) {
    assignUnit(pps_, payload, size);
    return false;
  }
  bool produced = false;
  const bool newPicture = isNewPicture(parser_, previous_);
  if ((newPicture || type == NAL_AUD) && unitStarted_) {
    buildPacket(out);
    produced = true;
  }
  unit_.insert(unit_.end(), START_CODE, START_CODE + 4);
  unit_.insert(unit_.end(), payload, payload + size);
  unitStarted_ = true;
  unitHasSlice_ |= type == NAL_SLICE || type == NAL_IDR_SLICE;
  lastType_ = type;
  return produced;
}

void AccessUnitSplitter::buildPacket(AccessUnit& out) {
  std::swap(unit_, packet_);
  const size_t prefix = sps_.size() + pps_.size();
  size_t room = headroom_;
  if (prefix > room) {
    packet_.insert(packet_.begin(), prefix - room, 0);
    room = prefix;
    headroom_ = prefix * 2;
  }
  uint8_t* start = packet_.data() + (room - prefix);
  if (!sps_.empty()) std::memcpy(start, sps_.data(), sps_.size());
  if (!pps_.empty()) std::memcpy(start + sps_.size(), pps_.data(), pps_.size());
  out.data = start;
  out.size = packet_.size() - (room - prefix);
  out.keyFrame = lastType_ == NAL_IDR_SLICE;
  out.hasSlice = unitHasSlice_;
  unitHasSlice_ = false;

  unit_.clear();
  unit_.resize(headroom_);
}

}  // namespace tavrin
