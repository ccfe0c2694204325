#include "client/session/AccessUnitSplitter.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrin {

namespace {

constexpr size_t NOT_FOUND = size_t(-1);
constexpr uint8_t START_CODE[4] = {0, 0, 0, 1};
constexpr size_t INITIAL_HEADROOM = 256;
// Consumed bytes are dropped from the front once they are at least this many
// and at least half the buffer, so the moves stay linear in the input.
constexpr size_t COMPACT_MIN = 4096;

// First i >= from with b[i] == b[i + 1] == 0 (both below size). Inside a NAL
// unit two zero bytes in a row occur only at emulation prevention bytes, so
// this skips slice data sixteen bytes at a time.
size_t findZeroPair(const uint8_t* b, size_t from, size_t size) {
  size_t i = from;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (i + 17 <= size) {
    __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i + 1));
    int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(here, next), zero));
    if (mask) return i + size_t(__builtin_ctz(unsigned(mask)));
    i += 16;
  }
#endif
  for (; i + 1 < size; ++i)
    if (b[i] == 0 && b[i + 1] == 0) return i;
  return NOT_FOUND;
}

// First i >= from with 00 00 01 at i; `resume` is where a later search
// must start again when none was found.
size_t findStartCode(const uint8_t* b, size_t from, size_t size, size_t* resume) {
  size_t i = from;
  for (;;) {
    i = findZeroPair(b, i, size);
    if (i == NOT_FOUND || i + 2 >= size) break;
    if (b[i + 2] == 1) return i;
    i += b[i + 2] == 0 ? 1 : 3;
  }
  *resume = size > 2 ? size - 2 : 0;
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
  if (consumed_ > 0) compact();
  if (size == 1)
    input_.push_back(*data);  // keeps a stream read byte by byte cheap
  else
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
  const uint8_t* b = input_.data();
  const size_t size = input_.size();
  for (;;) {
    if (!cutting_) {
      size_t resume = 0;
      size_t code = findStartCode(b, scanFrom_, size, &resume);
      if (code == NOT_FOUND) {
        // Nothing but bytes to drop so far; the last two may begin a start code.
        consumed_ = std::max(consumed_, resume);
        scanFrom_ = consumed_;
        return false;
      }
      cutting_ = true;
      forbiddenEscape_ = false;
      payloadStart_ = code + 3;
      scanFrom_ = payloadStart_;
    }
    // The unit ends where 00 00 00 or 00 00 01 begins. On the way, note the
    // sequences the payload must not hold (00 00 02, 00 00 03 then a byte
    // above 3), so the parser need not look again.
    size_t i = scanFrom_;
    size_t end = NOT_FOUND;
    for (;;) {
      i = findZeroPair(b, i, size);
      if (i == NOT_FOUND) {
        scanFrom_ = std::max(scanFrom_, size - 1);
        return false;
      }
      if (i + 2 >= size) {
        scanFrom_ = i;
        return false;
      }
      const uint8_t third = b[i + 2];
      if (third <= 1) {
        end = i;
        break;
      }
      if (i > payloadStart_) {
        if (third == 2) {
          forbiddenEscape_ = true;
        } else if (third == 3) {
          if (i + 3 >= size) {
            scanFrom_ = i;
            return false;
          }
          if (b[i + 3] > 3) forbiddenEscape_ = true;
        }
      }
      i += 3;
    }
    cutting_ = false;
    consumed_ = end;
    scanFrom_ = end;
    if (handleNal(b + payloadStart_, end - payloadStart_, out)) return true;
  }
}

bool AccessUnitSplitter::handleNal(const uint8_t* payload, size_t size, AccessUnit& out) {
  // An empty unit (two start codes back to back) has no header to act on.
  if (size == 0) return false;
  parser_.parseScanned(payload, size, forbiddenEscape_);
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
