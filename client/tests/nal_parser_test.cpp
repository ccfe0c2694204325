#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "client/session/BitReader.h"
#include "client/session/NalParser.h"
#include "client/tests/TestStreams.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

// Writes syntax elements into bytes, for hand-made NAL units.
class BitWriter {
 public:
  BitWriter& u(int n, uint32_t v) {
    for (int i = n - 1; i >= 0; --i) bit((v >> i) & 1);
    return *this;
  }
  BitWriter& ue(uint32_t v) {
    uint64_t x = uint64_t(v) + 1;
    int len = 64 - __builtin_clzll(x);
    u(len - 1, 0);
    for (int i = len - 1; i >= 0; --i) bit((x >> i) & 1);
    return *this;
  }
  BitWriter& se(int32_t v) { return ue(v > 0 ? uint32_t(2 * v - 1) : uint32_t(-2 * int64_t(v))); }
  // rbsp_trailing_bits
  Bytes finish() {
    bit(1);
    while (bits_ % 8) bit(0);
    return bytes_;
  }

 private:
  void bit(uint32_t b) {
    if (bits_ % 8 == 0) bytes_.push_back(0);
    if (b) bytes_.back() |= uint8_t(0x80 >> (bits_ % 8));
    ++bits_;
  }
  Bytes bytes_;
  size_t bits_ = 0;
};

Bytes unit(uint8_t header, const Bytes& payload) {
  Bytes out(payload.size() + 1);
  out[0] = header;
  std::copy(payload.begin(), payload.end(), out.begin() + 1);
  return out;
}

// A baseline SPS with the given identifier and size in macroblocks.
Bytes makeSps(uint32_t id, uint32_t widthMbs) {
  BitWriter w;
  w.u(8, 66).u(8, 0xC0).u(8, 30).ue(id);
  w.ue(0);                // log2_max_frame_num_minus4
  w.ue(2);                // pic_order_cnt_type
  w.ue(1).u(1, 0);        // max_num_ref_frames, gaps
  w.ue(widthMbs - 1).ue(14).u(1, 1).u(1, 1).u(1, 0).u(1, 0);
  return unit(0x67, w.finish());
}

struct TraceField {
  size_t offset;
  std::string name;
  size_t bits;
  int64_t value;
};
using TraceUnit = std::vector<TraceField>;

// Every NAL unit of the file as FFmpeg's trace_headers filter reads it.
std::vector<TraceUnit> traceUnits(const std::string& path) {
  std::string out;
  auto status = runCommand({"ffmpeg", "-nostdin", "-nostats", "-hide_banner", "-i", path, "-c", "copy",
                            "-bsf:v", "trace_headers", "-f", "null", "-"},
                           &out, 120s);
  EXPECT_EQ(status, 0) << out.substr(0, 2000);
  static const std::regex line(R"(\]\s+(\d+)\s+(\S+)\s+([01]+)\s+=\s+(-?\d+)\s*$)");
  std::vector<TraceUnit> units;
  bool inPackets = false;  // the extradata section repeats the parameter sets
  std::istringstream in(out);
  std::string text;
  while (std::getline(in, text)) {
    if (text.find("Packet:") != std::string::npos) inPackets = true;
    std::smatch m;
    if (!inPackets || !std::regex_search(text, m, line)) continue;
    TraceField f{std::stoul(m[1]), m[2], size_t(m[3].length()), std::stoll(m[4])};
    if (f.name == "forbidden_zero_bit") units.emplace_back();
    if (!units.empty()) units.back().push_back(f);
  }
  return units;
}

using Getter = std::function<int64_t(const NalParser&)>;
#define SLICE(field) {#field, [](const NalParser& p) { return int64_t(p.slice().field); }}
#define SPS(field) {#field, [](const NalParser& p) { return int64_t(p.currentSps().field); }}
#define VUI(field) {#field, [](const NalParser& p) { return int64_t(p.currentSps().vui.field); }}
#define PPS(field) {#field, [](const NalParser& p) { return int64_t(p.currentPps().field); }}

const std::map<std::string, Getter> SLICE_FIELDS = {
    SLICE(first_mb_in_slice), SLICE(slice_type), SLICE(pic_parameter_set_id), SLICE(frame_num),
    SLICE(field_pic_flag), SLICE(bottom_field_flag), SLICE(idr_pic_id), SLICE(pic_order_cnt_lsb),
    SLICE(delta_pic_order_cnt_bottom), SLICE(direct_spatial_mv_pred_flag),
    SLICE(num_ref_idx_l0_active_minus1), SLICE(num_ref_idx_l1_active_minus1),
    SLICE(ref_pic_list_modification_flag_l0), SLICE(ref_pic_list_modification_flag_l1),
    SLICE(luma_log2_weight_denom), SLICE(chroma_log2_weight_denom), SLICE(no_output_of_prior_pics_flag),
    SLICE(adaptive_ref_pic_marking_mode_flag), SLICE(cabac_init_idc), SLICE(slice_qp_delta),
    SLICE(disable_deblocking_filter_idc), SLICE(slice_alpha_c0_offset_div2), SLICE(slice_beta_offset_div2),
};
const std::map<std::string, Getter> SPS_FIELDS = {
    SPS(profile_idc), SPS(level_idc), SPS(seq_parameter_set_id), SPS(chroma_format_idc),
    SPS(bit_depth_luma_minus8), SPS(log2_max_frame_num_minus4), SPS(pic_order_cnt_type),
    SPS(log2_max_pic_order_cnt_lsb_minus4), SPS(max_num_ref_frames), SPS(pic_width_in_mbs_minus1),
    SPS(pic_height_in_map_units_minus1), SPS(frame_mbs_only_flag), SPS(mb_adaptive_frame_field_flag),
    SPS(frame_crop_bottom_offset), VUI(aspect_ratio_idc), VUI(video_full_range_flag),
    VUI(time_scale), VUI(nal_hrd_parameters_present_flag), VUI(low_delay_hrd_flag),
    VUI(pic_struct_present_flag), VUI(max_num_reorder_frames), VUI(max_dec_frame_buffering),
    {"bit_rate_scale", [](const NalParser& p) { return int64_t(p.currentSps().vui.nal_hrd.bit_rate_scale); }},
    {"time_offset_length", [](const NalParser& p) { return int64_t(p.currentSps().vui.nal_hrd.time_offset_length); }},
};
const std::map<std::string, Getter> PPS_FIELDS = {
    PPS(pic_parameter_set_id), PPS(entropy_coding_mode_flag), PPS(bottom_field_pic_order_in_frame_present_flag),
    PPS(num_ref_idx_l0_default_active_minus1), PPS(weighted_pred_flag), PPS(weighted_bipred_idc),
    PPS(pic_init_qp_minus26), PPS(chroma_qp_index_offset), PPS(deblocking_filter_control_present_flag),
    PPS(transform_8x8_mode_flag), PPS(pic_scaling_matrix_present_flag), PPS(second_chroma_qp_index_offset),
};

// Where the syntax of a unit ends in the trace: the stop bit, or for a slice
// the end of its last header element.
size_t traceSyntaxEnd(const TraceUnit& unit) {
  size_t end = 0;
  for (const auto& f : unit) {
    if (f.name == "rbsp_stop_one_bit") return f.offset;
    if (f.name != "cabac_alignment_one_bit" && f.name != "rbsp_alignment_zero_bit")
      end = f.offset + f.bits;
  }
  return end;
}

}  // namespace

TEST(BitReader, ReadsElementsAndZerosPastTheEnd) {
  // 1 | 010 | 011 | 00100 | 00101 | 0001000 | 1 (trailing)
  Bytes bytes = BitWriter().ue(0).ue(1).ue(2).ue(3).se(-2).ue(7).finish();
  BitReader r(bytes.data(), bytes.size());
  EXPECT_EQ(r.ue(), 0u);
  EXPECT_EQ(r.ue(), 1u);
  EXPECT_EQ(r.se(), -1);  // code 2
  EXPECT_EQ(r.ue(), 3u);
  EXPECT_EQ(r.se(), -2);
  EXPECT_EQ(r.ue(), 7u);
  EXPECT_EQ(r.u(1), 1u);
  EXPECT_FALSE(r.exhausted());  // alignment zeros are still payload bits
  r.byteAlign();
  EXPECT_TRUE(r.exhausted());
  EXPECT_EQ(r.u(32), 0u);
  EXPECT_EQ(r.ue(), 0u);
  EXPECT_EQ(r.position(), bytes.size() * 8 + 32);

  // A 32-bit read across bytes, and a run of zeros that ends with the data.
  const uint8_t word[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
  BitReader w(word, sizeof word);
  w.u(4);
  EXPECT_EQ(w.u(32), 0x23456789u);
  const uint8_t zeros[] = {0x00, 0x00};
  BitReader z(zeros, sizeof zeros);
  EXPECT_EQ(z.ue(), (1u << 16) - 1);
  EXPECT_TRUE(z.exhausted());
}

TEST(BitReader, EscapedModeDropsEmulationPreventionBytes) {
  const uint8_t escaped[] = {0x00, 0x00, 0x03, 0x01, 0x00, 0x00, 0x03};
  BitReader r(escaped, sizeof escaped, true);
  EXPECT_EQ(r.u(24), 0x000001u);
  EXPECT_EQ(r.u(16), 0x0000u);
  EXPECT_TRUE(r.exhausted());  // the trailing 03 is dropped too
  BitReader plain(escaped, sizeof escaped);
  EXPECT_EQ(plain.u(24), 0x000003u);
}

// Every unit of every test stream, read by FFmpeg's own syntax tracer and by
// our parser: the fields agree and each unit's syntax ends at the same bit.
// This covers SPS with VUI and HRD, the PPS tail, slice headers with
// reference list modification, weights and reference marking, and SEI.
TEST(NalParser, AgreesWithFfmpegSyntaxTrace) {
  std::set<int> pocTypes, frameMbsOnly;
  for (const auto& kind : allStreamKinds()) {
    SCOPED_TRACE(kind);
    const TestStream& stream = testStream(kind);
    ASSERT_GT(stream.frames, 0);
    std::string data = readFile(stream.path);
    Bytes file(data.begin(), data.end());
    auto ours = nalUnits(file);
    auto theirs = traceUnits(stream.path);
    ASSERT_EQ(ours.size(), theirs.size());

    NalParser parser;
    int compared = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
      SCOPED_TRACE("unit " + std::to_string(i));
      const auto& span = ours[i];
      EXPECT_TRUE(parser.parse(file.data() + span.begin, span.end - span.begin));
      EXPECT_EQ(parser.nal().nal_unit_type, span.type);
      const std::map<std::string, Getter>* fields = nullptr;
      if (span.type == NAL_SLICE || span.type == NAL_IDR_SLICE) fields = &SLICE_FIELDS;
      if (span.type == NAL_SPS) fields = &SPS_FIELDS;
      if (span.type == NAL_PPS) fields = &PPS_FIELDS;
      for (const auto& f : theirs[i]) {
        if (f.name == "nal_ref_idc") {
          EXPECT_EQ(parser.nal().nal_ref_idc, f.value);
        }
        if (span.type == NAL_AUD && f.name == "primary_pic_type") {
          EXPECT_EQ(parser.aud().primary_pic_type, f.value);
        }
        if (!fields) continue;
        auto getter = fields->find(f.name);
        if (getter == fields->end()) continue;
        EXPECT_EQ(getter->second(parser), f.value) << f.name;
        ++compared;
      }
      EXPECT_EQ(parser.syntaxBits(), traceSyntaxEnd(theirs[i])) << "type " << span.type;
      if (span.type == NAL_SPS) {
        pocTypes.insert(parser.currentSps().pic_order_cnt_type);
        frameMbsOnly.insert(parser.currentSps().frame_mbs_only_flag);
      }
    }
    EXPECT_GT(compared, 100);
  }
  // The streams cover both picture order count types x264 writes, and field syntax.
  EXPECT_EQ(pocTypes, (std::set<int>{0, 2}));
  EXPECT_EQ(frameMbsOnly, (std::set<int>{0, 1}));
}

TEST(NalParser, RefusesWhatItCannotTakeIn) {
  NalParser parser;
  Bytes sps = makeSps(0, 20);
  ASSERT_TRUE(parser.parse(sps.data(), sps.size()));
  ASSERT_EQ(parser.sps(0).pic_width_in_mbs_minus1, 19);

  Bytes forbidden = makeSps(0, 10);
  forbidden.insert(forbidden.end(), {0x00, 0x00, 0x02});
  Bytes badEscape = makeSps(0, 10);
  badEscape.insert(badEscape.end(), {0x00, 0x00, 0x03, 0x04});
  Bytes ppsId256 = unit(0x68, BitWriter().ue(256).ue(0).u(3, 0).finish());
  Bytes ppsSps32 = unit(0x68, BitWriter().ue(0).ue(32).u(3, 0).finish());
  Bytes slicePps300 = unit(0x65, BitWriter().ue(0).ue(7).ue(300).u(16, 0).finish());
  Bytes hugeFrameNumLength = unit(0x67, BitWriter().u(8, 66).u(8, 0).u(8, 30).ue(0).ue(200).finish());
  struct Case {
    const char* why;
    Bytes nal;
    int type;
  } cases[] = {
      {"00 00 02 inside", forbidden, NAL_SPS},
      {"00 00 03 then a byte above 3", badEscape, NAL_SPS},
      {"SPS identifier 32", makeSps(32, 10), NAL_SPS},
      {"PPS identifier 256", ppsId256, NAL_PPS},
      {"PPS naming SPS 32", ppsSps32, NAL_PPS},
      {"slice naming PPS 300", slicePps300, NAL_IDR_SLICE},
      {"frame_num length beyond its range", hugeFrameNumLength, NAL_SPS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_FALSE(parser.parse(c.nal.data(), c.nal.size()));
    EXPECT_EQ(parser.nal().nal_unit_type, c.type);  // the header is always recorded
    EXPECT_EQ(parser.nal().nal_ref_idc, 3);
    EXPECT_EQ(parser.sps(0).pic_width_in_mbs_minus1, 19);
    EXPECT_EQ(parser.currentSps().seq_parameter_set_id, 0);
    EXPECT_EQ(parser.slice().pic_parameter_set_id, 0);
  }

  // An emulation prevention byte as the last byte is fine.
  Bytes trailingEscape = makeSps(0, 12);
  trailingEscape.insert(trailingEscape.end(), {0x00, 0x00, 0x03});
  EXPECT_TRUE(parser.parse(trailingEscape.data(), trailingEscape.size()));
  EXPECT_EQ(parser.sps(0).pic_width_in_mbs_minus1, 11);
  // A unit cut after its header reads zeros and stays inside the buffer.
  const uint8_t headerOnly[] = {0x65};
  parser.parse(headerOnly, sizeof headerOnly);
  EXPECT_EQ(parser.nal().nal_unit_type, NAL_IDR_SLICE);
  EXPECT_EQ(parser.sps(-1).seq_parameter_set_id, 0);
  EXPECT_EQ(parser.pps(MAX_PPS_COUNT).pic_parameter_set_id, 0);
}

// A recovery point SEI ends inside a byte; the bit after it must be 1 and
// the rest of the byte 0. Each wrong bit is reported on standard error.
TEST(NalParser, SeiStopBitWarnings) {
  const std::string ONE = "WARNING: bit_equal_to_one is 0!!!!\n";
  const std::string ZERO = "WARNING: bit_equal_to_zero is 1!!!!\n";
  // recovery_frame_cnt 0 (1), exact_match 1, broken_link 0, changing_slice_group_idc 00,
  // then the three bits under test.
  struct Case {
    uint8_t payload;
    std::string expected;
  } cases[] = {
      {0xC4, ""},                 // 11000 100
      {0xC0, ONE},                // 11000 000: the stop bit is 0
      {0xC3, ONE + ZERO + ZERO},  // 11000 011
      {0xC5, ZERO},               // 11000 101
  };
  for (const auto& c : cases) {
    Bytes sei = {0x06, 0x06, 0x01, c.payload, 0x80};
    NalParser parser;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(parser.parse(sei.data(), sei.size()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected) << int(c.payload);
    ASSERT_EQ(parser.sei().size(), 1u);
    EXPECT_EQ(parser.sei()[0].payloadType, 6);
    EXPECT_EQ(parser.sei()[0].payload, Bytes{c.payload});
  }

  // Two messages in one unit; a new unit replaces them.
  NalParser parser;
  Bytes two = {0x06, 0x05, 0x02, 0xAA, 0xBB, 0x01, 0x01, 0x11, 0x80};
  EXPECT_TRUE(parser.parse(two.data(), two.size()));
  ASSERT_EQ(parser.sei().size(), 2u);
  EXPECT_EQ(parser.sei()[1].payloadType, 1);
  Bytes one = {0x06, 0x05, 0x01, 0xCC, 0x80};
  EXPECT_TRUE(parser.parse(one.data(), one.size()));
  ASSERT_EQ(parser.sei().size(), 1u);
  EXPECT_EQ(parser.sei()[0].payload, Bytes{0xCC});
}
