#include <gtest/gtest.h>

#include <climits>
#include <deque>

#include "phone/mirror/CaptureSource.h"
#include "phone/mirror/EventSender.h"
#include "phone/mirror/MirrorLoop.h"
#include "phone/mirror/MirrorMain.h"
#include "phone/mirror/MirrorOptions.h"
#include "phone/mirror/Projection.h"
#include "phone/mirror/StreamFraming.h"
#include "phone/mirror/TestCaptureSource.h"
#include "phone/mirror/VideoSize.h"

using namespace tavrin::mirror;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes SPS = {0, 0, 0, 1, 0x67, 0x42, 0xC0, 0x1F};
const Bytes PPS = {0, 0, 0, 1, 0x68, 0xCE, 0x3C, 0x80};
const Bytes AUD(std::begin(ACCESS_UNIT_DELIMITER_TRAILER), std::end(ACCESS_UNIT_DELIMITER_TRAILER));

}  // namespace

TEST(MirrorOptions, ParsesTheCommandLine) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    int32_t width, height, bitRate;
    std::vector<std::string> errors;
  } cases[] = {
      {{}, true, 0, 0, 0, {}},
      {{"--size", "720x1280", "--bit-rate", "8000000"}, true, 720, 1280, 8000000, {}},
      // The phone daemon's form, with what an unconfigured launcher sends.
      {{"--s", "-1x-1", "--b", "-1"}, true, -1, -1, -1, {}},
      {{"--size=1280x720", "--verbose"}, true, 1280, 720, 0, {}},
      {{"--bit-rate", "  12abc"}, true, 0, 0, 12, {}},
      {{"--size", "720"}, false, 0, 0, 0,
       {"Invalid size '720', must be width x height", "parseCmdParams failed."}},
      {{"--size", "720X1280"}, false, 0, 0, 0,
       {"Invalid size '720X1280', must be width x height", "parseCmdParams failed."}},
      {{"--size", "720x"}, false, 0, 0, 0,
       {"Invalid size '720x', must be width x height", "parseCmdParams failed."}},
      {{"--size", "72 0x1280"}, false, 0, 0, 0,
       {"Invalid size '72 0x1280', must be width x height", "parseCmdParams failed."}},
      {{"--size"}, false, 0, 0, 0, {"parseCmdParams failed."}},
      {{"--frobnicate"}, false, 0, 0, 0, {"parseCmdParams failed."}},
      {{"-s", "720x1280"}, false, 0, 0, 0, {"parseCmdParams failed."}},
      {{"--verbose=1"}, false, 0, 0, 0, {"parseCmdParams failed."}},
  };
  for (const auto& c : cases) {
    std::string label;
    for (const auto& a : c.args) label += a + " ";
    MirrorOptions o;
    std::vector<std::string> errors;
    ASSERT_EQ(parseCmdParams(c.args, o, errors), c.ok) << label;
    EXPECT_EQ(errors, c.errors) << label;
    if (!c.ok) continue;
    EXPECT_EQ(o.requestedWidth, c.width) << label;
    EXPECT_EQ(o.requestedHeight, c.height) << label;
    EXPECT_EQ(o.bitRate, c.bitRate) << label;
  }
}

TEST(VideoSize, FollowsTheDisplayOrientation) {
  struct Case {
    int32_t reqW, reqH, dispW, dispH;
    uint8_t rotation;
    VideoSize size;
  } cases[] = {
      {0, 0, 1080, 1920, 0, {1080, 1920}},
      {0, 0, 1080, 1920, 1, {1920, 1080}},
      {720, 1280, 1080, 1920, 0, {720, 1280}},
      {720, 1280, 1080, 1920, 1, {1280, 720}},  // phone held in landscape
      {720, 1280, 1080, 1920, 2, {720, 1280}},
      {720, 1280, 1080, 1920, 3, {1280, 720}},
      {720, 0, 1080, 1920, 0, {1080, 1920}},    // half a request is none
      {-1, -1, 1080, 1920, 0, {-1, -1}},        // passed on; the encoder refuses it
  };
  for (const auto& c : cases)
    EXPECT_EQ(chooseVideoSize(c.reqW, c.reqH, c.dispW, c.dispH, c.rotation), c.size)
        << c.reqW << "x" << c.reqH << " rotation " << int(c.rotation);

  EXPECT_EQ(retryVideoSize({1920, 1080}), (VideoSize{1280, 720}));
  EXPECT_EQ(retryVideoSize({1080, 1920}), (VideoSize{720, 1280}));
  EXPECT_EQ(retryVideoSize({-1, -1}), (VideoSize{720, 1280}));
  EXPECT_EQ(retryVideoSize({720, 1280}), std::nullopt);
  EXPECT_EQ(retryVideoSize({1280, 720}), std::nullopt);
}

TEST(Projection, LetterboxesTheDisplayIntoTheVideo) {
  struct Case {
    uint32_t dispW, dispH;
    uint8_t rotation;
    int32_t videoW, videoH;
    uint32_t contentW, contentH;
    int32_t x, y;
  } cases[] = {
      {1080, 1920, 0, 720, 1280, 720, 1280, 0, 0},
      {1080, 2160, 0, 720, 1280, 640, 1280, 40, 0},
      {1080, 1920, 1, 1280, 720, 1280, 720, 0, 0},
      {1080, 2160, 1, 1280, 720, 1280, 640, 0, 40},
      {1080, 2160, 3, 1280, 720, 1280, 640, 0, 40},
      {1080, 1920, 2, 720, 1280, 720, 1280, 0, 0},
      // A landscape display in a portrait video (the 720x1280 fallback).
      {1080, 1920, 1, 720, 1280, 720, 405, 0, 437},
      {720, 1280, 0, 720, 1280, 720, 1280, 0, 0},
  };
  for (const auto& c : cases) {
    Projection p = computeProjection(c.dispW, c.dispH, c.rotation, c.videoW, c.videoH);
    std::string label = std::to_string(c.dispW) + "x" + std::to_string(c.dispH) + " r" +
                        std::to_string(c.rotation) + " -> " + std::to_string(c.videoW) + "x" +
                        std::to_string(c.videoH);
    EXPECT_EQ(p.contentWidth, c.contentW) << label;
    EXPECT_EQ(p.contentHeight, c.contentH) << label;
    EXPECT_EQ(p.x, c.x) << label;
    EXPECT_EQ(p.y, c.y) << label;
    EXPECT_FALSE(p.widthClamped || p.heightClamped) << label;
  }
  Projection huge = computeProjection(0x90000000u, 1920, 0, 720, 1280);
  EXPECT_TRUE(huge.widthClamped);
  EXPECT_FALSE(huge.heightClamped);
  EXPECT_EQ(huge.displayWidth, uint32_t(INT32_MAX));
  // Nonsense sizes give an empty content area rather than a division by zero.
  EXPECT_EQ(computeProjection(0, 1920, 0, 720, 1280).contentWidth, 0u);
  EXPECT_EQ(computeProjection(1080, 1920, 0, -1, -1).contentWidth, 0u);
}

TEST(StreamFraming, WidensStartCodes) {
  struct Case {
    Bytes in, out;
  } cases[] = {
      {{0, 0, 1, 0x06, 5, 0, 0, 0, 1, 0x65, 1}, {0, 0, 0, 1, 0x06, 5, 0, 0, 0, 1, 0x65, 1}},
      {{0, 0, 0, 1, 0x65, 7, 0, 0, 1, 0x65, 8}, {0, 0, 0, 1, 0x65, 7, 0, 0, 0, 1, 0x65, 8}},
      {{0, 0, 0, 1, 0x65, 0, 0, 3, 1}, {0, 0, 0, 1, 0x65, 0, 0, 3, 1}},  // escaped, no start code
      {{0x65, 0, 0}, {0x65, 0, 0}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    Bytes out;
    appendWithLongStartCodes(out, c.in.data(), c.in.size());
    EXPECT_EQ(out, c.out);
  }
}

TEST(StreamFraming, FramesAPicture) {
  const Bytes picture = {0, 0, 0, 1, 0x65, 0x88, 0, 0, 1, 0x65, 0x99};
  const Bytes widened = {0, 0, 0, 1, 0x65, 0x88, 0, 0, 0, 1, 0x65, 0x99};
  EXPECT_EQ(framePicture(SPS, PPS, picture.data(), picture.size(), true), cat({SPS, PPS, widened, AUD}));
  EXPECT_EQ(framePicture(SPS, PPS, picture.data(), picture.size(), false), cat({SPS, PPS, widened}));
  EXPECT_EQ(AUD, (Bytes{0, 0, 0, 1, 0x09, 0xF0, 0, 0, 0}));

  // libavcodec's global header: SPS then PPS, either start code form.
  Bytes extradata = {0, 0, 0, 1, 0x67, 0x42, 0xC0, 0x1F, 0, 0, 1, 0x68, 0xCE, 0x3C, 0x80};
  ParameterSets sets = parameterSetsFromExtradata(extradata.data(), extradata.size());
  EXPECT_EQ(sets.sps, SPS);
  EXPECT_EQ(sets.pps, PPS);
  Bytes onlySps(extradata.begin(), extradata.begin() + 8);
  EXPECT_TRUE(parameterSetsFromExtradata(onlySps.data(), onlySps.size()).pps.empty());
}

TEST(EventSender, RotationMessageBytes) {
  auto m = rotationMessage(3);
  EXPECT_EQ(Bytes(m.begin(), m.end()), (Bytes{9, 0, 0, 0, 1, 0, 0, 0, 3}));
}

TEST(Environment, SwitchesAndRotationFile) {
  EXPECT_EQ(captureKindFromEnvironment(nullptr, ":1"), CaptureKind::X11);
  EXPECT_EQ(captureKindFromEnvironment(nullptr, nullptr), CaptureKind::Test);
  EXPECT_EQ(captureKindFromEnvironment(nullptr, ""), CaptureKind::Test);
  EXPECT_EQ(captureKindFromEnvironment("test", ":1"), CaptureKind::Test);
  EXPECT_EQ(captureKindFromEnvironment("x11", nullptr), CaptureKind::X11);
  EXPECT_EQ(captureKindFromEnvironment("bogus", nullptr), CaptureKind::Test);

  EXPECT_TRUE(delimiterEnabled(nullptr));
  EXPECT_TRUE(delimiterEnabled("0"));
  EXPECT_FALSE(delimiterEnabled("1"));

  struct Case {
    const char* text;
    uint8_t rotation;
  } cases[] = {{"1", 1}, {"3\n", 3}, {" 2", 2}, {"", 0}, {"4", 0}, {"x1", 0}, {"-1", 0}};
  for (const auto& c : cases) EXPECT_EQ(parseRotationText(c.text), c.rotation) << c.text;
}

// --- the main loop against a scripted encoder -------------------------------

namespace {

struct Step {
  int32_t result;
  Bytes data = {};
  uint32_t flags = 0;
};

class ScriptedCodec : public IMirrorCodec {
 public:
  std::deque<Step> steps;
  bool outputBuffersOk = true;
  int32_t releaseResult = CODEC_OK;
  int releases = 0;

  bool getOutputBuffers() override { return outputBuffersOk; }
  int32_t dequeueOutputBuffer(OutputBufferInfo& info, int64_t timeoutUs) override {
    EXPECT_EQ(timeoutUs, 250000);
    if (steps.empty()) return CODEC_INVALID_OPERATION;  // ends every script
    Step s = steps.front();
    steps.pop_front();
    held_ = s.data;
    info = {};
    info.size = held_.size();
    info.flags = s.flags;
    return s.result;
  }
  const uint8_t* outputBuffer(size_t) override { return held_.data(); }
  int32_t releaseOutputBuffer(size_t) override {
    ++releases;
    return releaseResult;
  }
  bool getOutputFormat(OutputFormat& format) override {
    format.csd0 = SPS;
    format.csd1 = PPS;
    return true;
  }

 private:
  Bytes held_;
};

class RecordingLink : public IMirrorLink {
 public:
  std::vector<Bytes> sends;
  bool sendsFail = false;
  std::deque<bool> restarts;  // answers of the rotation check, then false

  bool adjustProjection() override {
    if (restarts.empty()) return false;
    bool r = restarts.front();
    restarts.pop_front();
    return r;
  }
  int64_t sendVideo(const uint8_t* data, size_t size) override {
    sends.emplace_back(data, data + size);
    return sendsFail ? -1 : int64_t(size);
  }
};

}  // namespace

TEST(MirrorLoop, ActsOnEachEncoderResult) {
  const Bytes pic1 = {0, 0, 0, 1, 0x65, 0x11};
  const Bytes pic2 = {0, 0, 0, 1, 0x41, 0x22};
  const Step format{CODEC_INFO_FORMAT_CHANGED};
  struct Case {
    const char* name;
    std::vector<Step> steps;
    bool delimiter = true;
    bool sendsFail = false;
    std::deque<bool> restarts = {};
    int32_t releaseResult = CODEC_OK;
    std::vector<Bytes> sends;
    int releases;
    size_t stepsLeft;
  } cases[] = {
      {"pictures framed", {format, {CODEC_OK, pic1, BUFFER_FLAG_SYNCFRAME}, {CODEC_OK, pic2}}, true,
       false, {}, CODEC_OK, {cat({SPS, PPS, pic1, AUD}), cat({SPS, PPS, pic2, AUD})}, 2, 0},
      {"no delimiter", {format, {CODEC_OK, pic1}}, false, false, {}, CODEC_OK, {cat({SPS, PPS, pic1})}, 1, 0},
      {"config and empty buffers", {format, {CODEC_OK, SPS, BUFFER_FLAG_CODECCONFIG}, {CODEC_OK, {}}},
       true, false, {}, CODEC_OK, {}, 2, 0},
      {"idle passes resend the sps", {format, {CODEC_TRY_AGAIN_LATER}, {CODEC_TRY_AGAIN_LATER}}, true,
       false, {}, CODEC_OK, {SPS, SPS}, 0, 0},
      {"lost client found while idle", {format, {CODEC_TRY_AGAIN_LATER}, {CODEC_OK, pic1}}, true, true,
       {}, CODEC_OK, {SPS}, 0, 1},
      {"failed picture send ends after release", {format, {CODEC_OK, pic1}, {CODEC_TRY_AGAIN_LATER}},
       true, true, {}, CODEC_OK, {cat({SPS, PPS, pic1, AUD})}, 1, 1},
      {"restart drops the old encoder's buffer", {format, {CODEC_OK, pic1}, format, {CODEC_OK, pic2}},
       true, false, {true}, CODEC_OK, {cat({SPS, PPS, pic2, AUD})}, 1, 0},
      {"release failure ends", {format, {CODEC_OK, pic1}, {CODEC_TRY_AGAIN_LATER}}, true, false, {},
       -22, {cat({SPS, PPS, pic1, AUD})}, 1, 1},
      {"buffers changed goes on", {{CODEC_INFO_OUTPUT_BUFFERS_CHANGED}, format, {CODEC_OK, pic1}}, true,
       false, {}, CODEC_OK, {cat({SPS, PPS, pic1, AUD})}, 1, 0},
      {"weird result ends", {format, {-5}, {CODEC_TRY_AGAIN_LATER}}, true, false, {}, CODEC_OK, {}, 0, 1},
  };
  for (const auto& c : cases) {
    ScriptedCodec codec;
    codec.steps.assign(c.steps.begin(), c.steps.end());
    codec.releaseResult = c.releaseResult;
    RecordingLink link;
    link.sendsFail = c.sendsFail;
    link.restarts = c.restarts;
    MirrorLoop loop(codec, link, c.delimiter);
    EXPECT_TRUE(loop.run()) << c.name;
    EXPECT_EQ(link.sends, c.sends) << c.name;
    EXPECT_EQ(codec.releases, c.releases) << c.name;
    EXPECT_EQ(codec.steps.size(), c.stepsLeft) << c.name;
  }
}

TEST(MirrorLoop, NeedsOutputBuffersToStart) {
  ScriptedCodec codec;
  codec.outputBuffersOk = false;
  codec.steps = {{CODEC_TRY_AGAIN_LATER}};
  RecordingLink link;
  MirrorLoop loop(codec, link, true);
  EXPECT_FALSE(loop.run());
  EXPECT_EQ(codec.steps.size(), 1u);
}
