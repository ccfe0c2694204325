#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin::mirror {

// What one encoded picture looks like on the video connection:
//
//   00 00 00 01 SPS | 00 00 00 01 PPS | 00 00 00 01 slice ... | 00 00 00 01 09 F0 00 00 00
//   \__ stored parameter sets ____/   \__ encoder output ___/   \__ delimiter trailer ___/
//
// Every NAL unit gets the 4-byte start code the client counts on. The
// trailer (an access unit delimiter, nal_ref_idc 0, primary_pic_type 7,
// then three zero bytes) lets the client finish the picture at once
// instead of waiting for the next picture's first start code.
inline constexpr uint8_t ACCESS_UNIT_DELIMITER_TRAILER[9] = {0x00, 0x00, 0x00, 0x01, 0x09,
                                                             0xF0, 0x00, 0x00, 0x00};

// Appends `data`, turning each 3-byte start code into the 4-byte form.
// (libx264 writes 3-byte codes in front of later slices and the SEI.)
void appendWithLongStartCodes(std::vector<uint8_t>& out, const uint8_t* data, size_t size);

// The wire bytes for one picture buffer.
std::vector<uint8_t> framePicture(const std::vector<uint8_t>& sps, const std::vector<uint8_t>& pps,
                                  const uint8_t* picture, size_t size, bool delimiter);

// One NAL unit of an Annex B buffer: where its start code begins, where its
// header byte is and where it ends (exclusive).
struct NalUnitSpan {
  size_t start = 0;
  size_t payload = 0;
  size_t end = 0;
};
std::vector<NalUnitSpan> splitAnnexB(const uint8_t* data, size_t size);

// The parameter sets of libavcodec's global header, each with a 4-byte
// start code: these stand for the codec's "csd-0" and "csd-1".
struct ParameterSets {
  std::vector<uint8_t> sps;
  std::vector<uint8_t> pps;
};
ParameterSets parameterSetsFromExtradata(const uint8_t* data, size_t size);

}  // namespace tavrin::mirror
