#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "client/session/AccessUnitSplitter.h"

namespace tavrin::test {

using Bytes = std::vector<uint8_t>;

// What the capture server sends after every picture: an access unit
// delimiter and three zero bytes, which complete the picture before it.
extern const Bytes PICTURE_END;

// An H.264 stream made by the ffmpeg command (libx264, lavfi testsrc2) into
// a temporary folder, once per test process.
struct TestStream {
  std::string name;
  std::string path;   // the encoder's output as written
  Bytes bytes;        // the same, followed by PICTURE_END
  int frames = 0;     // what ffprobe -count_frames reports
  int width = 0;
  int height = 0;
};

// Kinds: "baseline" (zerolatency, 3 slices per picture, poc type 2),
// "main_b" (CABAC, B-frames, weighted P prediction, poc type 0), "high_single"
// (one slice per picture, 8x8 transform in the PPS tail), "slices4" (4 slices,
// NAL HRD with its SEI), "all_idr" (every picture an IDR with frame_num 0),
// "interlaced" (MBAFF: field syntax in SPS and slices), "small_keyint"
// (SPS and PPS before every IDR), "small" (160x120).
const TestStream& testStream(const std::string& kind);
std::vector<std::string> allStreamKinds();

// Splits `stream` delivered in reads of `readSize` bytes (0: all at once).
std::vector<Bytes> splitStream(const Bytes& stream, size_t readSize);

// The NAL unit types in a packet or stream, in order, and where each unit's
// payload begins and ends (after its start code, before the next one).
struct NalSpan {
  size_t begin;
  size_t end;
  int type;
  int startCodeSize;
};
std::vector<NalSpan> nalUnits(const Bytes& stream);
int countSlices(const Bytes& packet);

}  // namespace tavrin::test
