#include <gtest/gtest.h>

#include <algorithm>

#include "client/session/AccessUnitSplitter.h"
#include "client/session/VideoDecoder.h"
#include "client/tests/TestStreams.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

struct Decoded {
  int pictures = 0;
  int wrongSize = 0;
  int errors = 0;
};

// Decodes every packet, then flushes; counts what comes out.
Decoded decodeAll(const std::vector<Bytes>& packets, int width, int height) {
  Decoded result;
  VideoDecoder decoder;
  EXPECT_TRUE(decoder.open());
  auto sink = [&](const AVFrame* picture) {
    ++result.pictures;
    if (picture->width != width || picture->height != height) ++result.wrongSize;
  };
  for (const auto& packet : packets) {
    AccessUnit unit{packet.data(), packet.size(), false, countSlices(packet) > 0};
    int before = result.pictures;
    int got = decoder.decode(unit, sink);
    if (got < 0) ++result.errors;
    // A packet without a slice (the leading SEI, a delimiter) gives nothing.
    if (countSlices(packet) == 0) {
      EXPECT_EQ(got, 0);
      EXPECT_EQ(result.pictures, before);
    }
  }
  decoder.flush(sink);
  return result;
}

Bytes sliceOf(const Bytes& stream, const NalSpan& span) {
  return Bytes(stream.begin() + std::ptrdiff_t(span.begin), stream.begin() + std::ptrdiff_t(span.end));
}

}  // namespace

// Each stream: one packet per picture, each led by the parameter sets and
// holding only 4-byte start codes; all pictures decode at the stream's size.
TEST(AccessUnitSplitter, OnePacketPerPictureForEveryStreamKind) {
  for (const auto& kind : allStreamKinds()) {
    SCOPED_TRACE(kind);
    const TestStream& stream = testStream(kind);
    ASSERT_GT(stream.frames, 0);
    auto packets = splitStream(stream.bytes, 4096);
    ASSERT_FALSE(packets.empty());

    int withSlices = 0;
    int threeByteCodesInStream = 0;
    for (const auto& span : nalUnits(stream.bytes)) threeByteCodesInStream += span.startCodeSize == 3;
    for (const auto& packet : packets) {
      auto units = nalUnits(packet);
      ASSERT_GE(units.size(), 3u);
      EXPECT_EQ(units[0].type, NAL_SPS);
      EXPECT_EQ(units[1].type, NAL_PPS);
      for (const auto& unit : units) EXPECT_EQ(unit.startCodeSize, 4);
      EXPECT_TRUE(std::equal(packet.begin(), packet.begin() + 4, PICTURE_END.begin()));
      if (countSlices(packet) > 0) ++withSlices;
    }
    EXPECT_GT(threeByteCodesInStream, 0);
    EXPECT_EQ(withSlices, stream.frames);

    // libx264 puts an SEI first: it leaves alone, as a packet with no slice.
    EXPECT_EQ(countSlices(packets[0]), 0);
    EXPECT_EQ(nalUnits(packets[0])[2].type, NAL_SEI);

    Decoded decoded = decodeAll(packets, stream.width, stream.height);
    EXPECT_EQ(decoded.pictures, stream.frames);
    EXPECT_EQ(decoded.wrongSize, 0);
    EXPECT_EQ(decoded.errors, 0);
  }
}

TEST(AccessUnitSplitter, SeveralSlicesOfOnePictureShareAPacket) {
  struct Case {
    const char* kind;
    int slicesPerPicture;
  } cases[] = {{"baseline", 3}, {"slices4", 4}, {"high_single", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    for (const auto& packet : splitStream(testStream(c.kind).bytes, 0)) {
      int slices = countSlices(packet);
      if (slices > 0) {
        EXPECT_EQ(slices, c.slicesPerPicture);
      }
    }
  }
}

TEST(AccessUnitSplitter, PacketsTellKeyFramesAndSlices) {
  const TestStream& stream = testStream("small_keyint");
  AccessUnitSplitter splitter;
  splitter.append(stream.bytes.data(), stream.bytes.size());
  AccessUnit unit;
  int keys = 0, idrPackets = 0;
  while (splitter.nextAccessUnit(unit)) {
    Bytes packet(unit.data, unit.data + unit.size);
    bool idr = false;
    for (const auto& span : nalUnits(packet)) idr |= span.type == NAL_IDR_SLICE;
    EXPECT_EQ(unit.keyFrame, idr);
    EXPECT_EQ(unit.hasSlice, countSlices(packet) > 0);
    keys += unit.keyFrame;
    idrPackets += idr;
  }
  EXPECT_EQ(keys, 3);  // 30 frames, an IDR every 10
}

TEST(AccessUnitSplitter, ReadSizesDoNotChangeThePackets) {
  for (const char* kind : {"baseline", "main_b"}) {
    SCOPED_TRACE(kind);
    const Bytes& bytes = testStream(kind).bytes;
    auto whole = splitStream(bytes, 0);
    ASSERT_GT(whole.size(), 10u);
    EXPECT_EQ(splitStream(bytes, 4096), whole);
    EXPECT_EQ(splitStream(bytes, 1), whole);
    EXPECT_EQ(splitStream(bytes, 7), whole);
  }
}

TEST(AccessUnitSplitter, BytesBeforeTheFirstStartCodeAreDropped) {
  const Bytes& bytes = testStream("baseline").bytes;
  auto clean = splitStream(bytes, 0);
  for (const Bytes& garbage : {Bytes{0x12, 0x34, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x02, 0xFF, 0x00},
                               Bytes{0x00}, Bytes(5000, 0xA5)}) {
    Bytes dirty = garbage;
    dirty.insert(dirty.end(), bytes.begin(), bytes.end());
    EXPECT_EQ(splitStream(dirty, 0), clean);
    EXPECT_EQ(splitStream(dirty, 3), clean);
  }
}

// Stream A repeats its SPS and PPS before every IDR; stream B (another size)
// follows. Every packet carries the parameter sets last received before it
// was completed, and every picture decodes at its own stream's size.
TEST(AccessUnitSplitter, PacketsCarryTheNewestParameterSets) {
  const TestStream& a = testStream("small_keyint");
  const TestStream& b = testStream("small");
  auto spansA = nalUnits(a.bytes);
  auto spansB = nalUnits(b.bytes);
  int spsInA = int(std::count_if(spansA.begin(), spansA.end(), [](auto& s) { return s.type == NAL_SPS; }));
  ASSERT_EQ(spsInA, 3);
  Bytes spsA = sliceOf(a.bytes, spansA[0]);
  Bytes spsB = sliceOf(b.bytes, spansB[0]);
  ASSERT_NE(spsA, spsB);

  Bytes both = a.bytes;  // ends with the delimiter that completes A's last picture
  both.insert(both.end(), b.bytes.begin(), b.bytes.end());
  auto packets = splitStream(both, 1000);

  int fromA = 0, fromB = 0;
  bool seenB = false;
  for (const auto& packet : packets) {
    Bytes sps = sliceOf(packet, nalUnits(packet)[0]);
    if (sps == spsB) seenB = true;
    EXPECT_EQ(sps, seenB ? spsB : spsA);
    if (countSlices(packet) > 0) ++(seenB ? fromB : fromA);
  }
  EXPECT_EQ(fromA, a.frames);
  EXPECT_EQ(fromB, b.frames);

  VideoDecoder decoder;
  ASSERT_TRUE(decoder.open());
  int smallPictures = 0, largePictures = 0, other = 0;
  auto sink = [&](const AVFrame* p) {
    if (p->width == a.width && p->height == a.height) ++largePictures;
    else if (p->width == b.width && p->height == b.height) ++smallPictures;
    else ++other;
  };
  for (const auto& packet : packets)
    decoder.decode({packet.data(), packet.size(), false, countSlices(packet) > 0}, sink);
  decoder.flush(sink);
  EXPECT_EQ(largePictures, a.frames);
  EXPECT_EQ(smallPictures, b.frames);
  EXPECT_EQ(other, 0);
}

// A unit with a forbidden sequence inside still travels with its picture:
// its header is known, only its payload is not taken in. The splitter finds
// those sequences while it looks for the unit's end.
TEST(AccessUnitSplitter, ForbiddenSequenceKeepsTheUnitButNotItsPayload) {
  const TestStream& base = testStream("high_single");
  auto spans = nalUnits(base.bytes);
  size_t secondSlice = 0;
  int slices = 0;
  for (const auto& s : spans) {
    if ((s.type == NAL_SLICE || s.type == NAL_IDR_SLICE) && ++slices == 2) {
      secondSlice = s.begin - size_t(s.startCodeSize);
      break;
    }
  }
  ASSERT_GT(secondSlice, 0u);

  // SEI units of four payload bytes, put right before the second picture.
  struct Case {
    const char* why;
    Bytes sei;
    bool takenIn;
  } cases[] = {
      {"00 00 02", {0x00, 0x00, 0x00, 0x01, 0x06, 0x05, 0x04, 0x11, 0x00, 0x00, 0x02, 0x80}, false},
      {"00 00 03 04", {0x00, 0x00, 0x00, 0x01, 0x06, 0x05, 0x04, 0x11, 0x00, 0x00, 0x03, 0x04, 0x80}, false},
      {"00 00 03 01", {0x00, 0x00, 0x00, 0x01, 0x06, 0x05, 0x04, 0x11, 0x00, 0x00, 0x03, 0x01, 0x80}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    Bytes stream(base.bytes.begin(), base.bytes.begin() + std::ptrdiff_t(secondSlice));
    stream.insert(stream.end(), c.sei.begin(), c.sei.end());
    stream.insert(stream.end(), base.bytes.begin() + std::ptrdiff_t(secondSlice), base.bytes.end());

    for (size_t readSize : {size_t(0), size_t(1)}) {
      AccessUnitSplitter splitter;
      AccessUnit unit;
      int withSei = 0, pictures = 0;
      size_t step = readSize ? readSize : stream.size();
      for (size_t at = 0; at < stream.size(); at += step) {
        splitter.append(stream.data() + at, std::min(step, stream.size() - at));
        while (splitter.nextAccessUnit(unit)) {
          Bytes packet(unit.data, unit.data + unit.size);
          withSei += std::search(packet.begin(), packet.end(), c.sei.begin(), c.sei.end()) != packet.end();
          pictures += unit.hasSlice;
        }
      }
      EXPECT_EQ(withSei, 1);
      EXPECT_EQ(pictures, base.frames);
      // The encoder's own SEI (its version text) is the last one taken in
      // unless the inserted one was.
      ASSERT_EQ(splitter.parser().sei().size(), 1u);
      EXPECT_EQ(splitter.parser().sei()[0].payloadSize == 4, c.takenIn);
    }
  }
}
