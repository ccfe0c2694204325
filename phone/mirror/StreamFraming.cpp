#include "phone/mirror/StreamFraming.h"

namespace tavrin::mirror {

void appendWithLongStartCodes(std::vector<uint8_t>& out, const uint8_t* data, size_t size) {
  out.reserve(out.size() + size + 16);
  size_t copied = 0;
  // Emulation prevention keeps 00 00 01 out of NAL payloads, so every such
  // triple is a start code.
  for (size_t i = 0; i + 2 < size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      if (i == 0 || data[i - 1] != 0) {
        out.insert(out.end(), data + copied, data + i);
        out.push_back(0);
        copied = i;
      }
      i += 2;
    }
  }
  out.insert(out.end(), data + copied, data + size);
}

std::vector<uint8_t> framePicture(const std::vector<uint8_t>& sps, const std::vector<uint8_t>& pps,
                                  const uint8_t* picture, size_t size, bool delimiter) {
  std::vector<uint8_t> out;
  out.reserve(sps.size() + pps.size() + size + 32);
  out.insert(out.end(), sps.begin(), sps.end());
  out.insert(out.end(), pps.begin(), pps.end());
  appendWithLongStartCodes(out, picture, size);
  if (delimiter)
    out.insert(out.end(), std::begin(ACCESS_UNIT_DELIMITER_TRAILER),
               std::end(ACCESS_UNIT_DELIMITER_TRAILER));
  return out;
}

std::vector<NalUnitSpan> splitAnnexB(const uint8_t* data, size_t size) {
  std::vector<NalUnitSpan> units;
  size_t i = 0;
  auto findStart = [&](size_t from, size_t& codeStart, size_t& payload) {
    for (size_t k = from; k + 2 < size; ++k) {
      if (data[k] == 0 && data[k + 1] == 0 && data[k + 2] == 1) {
        codeStart = (k > from && data[k - 1] == 0) ? k - 1 : k;
        payload = k + 3;
        return true;
      }
    }
    return false;
  };
  size_t codeStart, payload;
  if (!findStart(i, codeStart, payload)) return units;
  for (;;) {
    size_t nextStart, nextPayload;
    bool more = findStart(payload, nextStart, nextPayload);
    size_t end = more ? nextStart : size;
    // Trailing zero bytes belong to no NAL unit.
    while (end > payload && data[end - 1] == 0) --end;
    units.push_back({codeStart, payload, end});
    if (!more) break;
    codeStart = nextStart;
    payload = nextPayload;
  }
  return units;
}

ParameterSets parameterSetsFromExtradata(const uint8_t* data, size_t size) {
  static constexpr uint8_t START[4] = {0, 0, 0, 1};
  ParameterSets sets;
  for (const auto& unit : splitAnnexB(data, size)) {
    if (unit.payload >= unit.end) continue;
    uint8_t type = data[unit.payload] & 0x1F;
    std::vector<uint8_t>* target = type == 7 ? &sets.sps : type == 8 ? &sets.pps : nullptr;
    if (!target || !target->empty()) continue;
    target->assign(std::begin(START), std::end(START));
    target->insert(target->end(), data + unit.payload, data + unit.end);
  }
  return sets;
}

}  // namespace tavrin::mirror
