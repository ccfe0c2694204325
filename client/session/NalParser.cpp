#include "client/session/NalParser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "client/session/BitReader.h"

namespace tavrin {

namespace {

// Syntax ranges beyond which a value would make the parser read nonsense
// lengths or loop for long; a unit that exceeds one is not taken in.
constexpr uint32_t MAX_LOG2_MINUS4 = 12;
constexpr uint32_t MAX_POC_CYCLE = 255;
constexpr uint32_t MAX_CPB_COUNT_MINUS1 = 31;
constexpr uint32_t MAX_SLICE_GROUPS_MINUS1 = 7;
constexpr uint32_t MAX_REF_IDX_MINUS1 = 31;
constexpr int MAX_LIST_OPERATIONS = 66;

// Profiles whose SPS carries the chroma format, bit depth and scaling block.
bool hasHighProfileBlock(uint32_t profile) {
  switch (profile) {
    case 100: case 110: case 122: case 144: case 244: case 44:
    case 83: case 86: case 118: case 128: case 138: case 139: case 134: case 135:
      return true;
    default:
      return false;
  }
}

void skipScalingList(BitReader& r, int size) {
  int32_t last = 8, next = 8;
  for (int j = 0; j < size; ++j) {
    if (next != 0) {
      int32_t delta = r.se();
      next = int32_t((uint32_t(last) + uint32_t(delta) + 256u) % 256u);
    }
    last = next == 0 ? last : next;
  }
}

// The bit position of the rbsp_stop_one_bit: the last 1 bit of the payload.
size_t stopBitPosition(const uint8_t* rbsp, size_t size) {
  size_t i = size;
  while (i > 0 && rbsp[i - 1] == 0) --i;
  if (i == 0) return 0;
  return (i - 1) * 8 + size_t(7 - __builtin_ctz(rbsp[i - 1]));
}

// more_rbsp_data(): something other than the trailing bits follows.
bool moreRbspData(const BitReader& r, size_t stopBit) { return r.position() < stopBit; }

bool parseHrd(BitReader& r, HrdParameters& h) {
  uint32_t count = r.ue();
  if (count > MAX_CPB_COUNT_MINUS1) return false;
  h.cpb_cnt_minus1 = int32_t(count);
  h.bit_rate_scale = int32_t(r.u(4));
  h.cpb_size_scale = int32_t(r.u(4));
  for (uint32_t i = 0; i <= count; ++i) {
    h.bit_rate_value_minus1[i] = int32_t(r.ue());
    h.cpb_size_value_minus1[i] = int32_t(r.ue());
    h.cbr_flag[i] = int32_t(r.u(1));
  }
  h.initial_cpb_removal_delay_length_minus1 = int32_t(r.u(5));
  h.cpb_removal_delay_length_minus1 = int32_t(r.u(5));
  h.dpb_output_delay_length_minus1 = int32_t(r.u(5));
  h.time_offset_length = int32_t(r.u(5));
  return true;
}

bool parseVui(BitReader& r, VuiParameters& v) {
  constexpr uint32_t EXTENDED_SAR = 255;
  v.aspect_ratio_info_present_flag = int32_t(r.u(1));
  if (v.aspect_ratio_info_present_flag) {
    v.aspect_ratio_idc = int32_t(r.u(8));
    if (uint32_t(v.aspect_ratio_idc) == EXTENDED_SAR) {
      v.sar_width = int32_t(r.u(16));
      v.sar_height = int32_t(r.u(16));
    }
  }
  v.overscan_info_present_flag = int32_t(r.u(1));
  if (v.overscan_info_present_flag) v.overscan_appropriate_flag = int32_t(r.u(1));
  v.video_signal_type_present_flag = int32_t(r.u(1));
  if (v.video_signal_type_present_flag) {
    v.video_format = int32_t(r.u(3));
    v.video_full_range_flag = int32_t(r.u(1));
    v.colour_description_present_flag = int32_t(r.u(1));
    if (v.colour_description_present_flag) {
      v.colour_primaries = int32_t(r.u(8));
      v.transfer_characteristics = int32_t(r.u(8));
      v.matrix_coefficients = int32_t(r.u(8));
    }
  }
  v.chroma_loc_info_present_flag = int32_t(r.u(1));
  if (v.chroma_loc_info_present_flag) {
    v.chroma_sample_loc_type_top_field = int32_t(r.ue());
    v.chroma_sample_loc_type_bottom_field = int32_t(r.ue());
  }
  v.timing_info_present_flag = int32_t(r.u(1));
  if (v.timing_info_present_flag) {
    v.num_units_in_tick = int32_t(r.u(32));
    v.time_scale = int32_t(r.u(32));
    v.fixed_frame_rate_flag = int32_t(r.u(1));
  }
  v.nal_hrd_parameters_present_flag = int32_t(r.u(1));
  if (v.nal_hrd_parameters_present_flag && !parseHrd(r, v.nal_hrd)) return false;
  v.vcl_hrd_parameters_present_flag = int32_t(r.u(1));
  if (v.vcl_hrd_parameters_present_flag && !parseHrd(r, v.vcl_hrd)) return false;
  if (v.nal_hrd_parameters_present_flag || v.vcl_hrd_parameters_present_flag)
    v.low_delay_hrd_flag = int32_t(r.u(1));
  v.pic_struct_present_flag = int32_t(r.u(1));
  v.bitstream_restriction_flag = int32_t(r.u(1));
  if (v.bitstream_restriction_flag) {
    v.motion_vectors_over_pic_boundaries_flag = int32_t(r.u(1));
    v.max_bytes_per_pic_denom = int32_t(r.ue());
    v.max_bits_per_mb_denom = int32_t(r.ue());
    v.log2_max_mv_length_horizontal = int32_t(r.ue());
    v.log2_max_mv_length_vertical = int32_t(r.ue());
    v.max_num_reorder_frames = int32_t(r.ue());
    v.max_dec_frame_buffering = int32_t(r.ue());
  }
  return true;
}

// ref_pic_list_modification() for one list; false on a bad operation.
bool skipRefPicListModification(BitReader& r, int32_t& flag) {
  flag = int32_t(r.u(1));
  if (!flag) return true;
  for (int i = 0; i < MAX_LIST_OPERATIONS; ++i) {
    if (r.exhausted()) return false;
    uint32_t idc = r.ue();
    if (idc == 3) return true;
    if (idc > 3) return false;
    r.ue();  // abs_diff_pic_num_minus1 or long_term_pic_num
  }
  return false;
}

void skipWeights(BitReader& r, uint32_t count, bool chroma) {
  for (uint32_t i = 0; i <= count; ++i) {
    if (r.u(1)) {  // luma_weight_lX_flag
      r.se();
      r.se();
    }
    if (chroma && r.u(1)) {  // chroma_weight_lX_flag
      for (int j = 0; j < 2; ++j) {
        r.se();
        r.se();
      }
    }
  }
}

// Ceil(Log2(x)) for x >= 1.
int ceilLog2(uint64_t x) {
  int bits = 0;
  while ((uint64_t(1) << bits) < x && bits < 63) ++bits;
  return bits;
}

const Sps EMPTY_SPS{};
const Pps EMPTY_PPS{};

}  // namespace

bool hasForbiddenEscape(const uint8_t* payload, size_t size) {
  const uint8_t* p = payload;
  const uint8_t* end = payload + size;
  while (end - p >= 3) {
    p = static_cast<const uint8_t*>(std::memchr(p, 0, size_t(end - p) - 2));
    if (!p) return false;
    if (p[1] != 0) {
      p += 2;
      continue;
    }
    uint8_t third = p[2];
    if (third < 3) return true;
    if (third == 3 && end - p > 3 && p[3] > 3) return true;
    p += 3;  // after an emulation prevention byte the zero count starts again
  }
  return false;
}

const Sps& NalParser::sps(int id) const {
  return id >= 0 && id < MAX_SPS_COUNT ? sps_[id] : EMPTY_SPS;
}

const Pps& NalParser::pps(int id) const {
  return id >= 0 && id < MAX_PPS_COUNT ? pps_[id] : EMPTY_PPS;
}

bool NalParser::parse(const uint8_t* nal, size_t size) {
  bool forbidden = nal && size > 1 && hasForbiddenEscape(nal + 1, size - 1);
  return parseScanned(nal, size, forbidden);
}

bool NalParser::parseScanned(const uint8_t* nal, size_t size, bool forbiddenEscape) {
  nal_ = NalHeader{};
  syntaxBits_ = 0;
  if (!nal || size == 0) return false;
  nal_.forbidden_zero_bit = nal[0] >> 7;
  nal_.nal_ref_idc = (nal[0] >> 5) & 3;
  nal_.nal_unit_type = nal[0] & 31;
  syntaxBits_ = 8;

  const uint8_t* payload = nal + 1;
  size_t payloadSize = size - 1;
  if (forbiddenEscape) return false;

  switch (nal_.nal_unit_type) {
    case NAL_SLICE:
    case NAL_IDR_SLICE:
    case NAL_AUXILIARY_SLICE:
      return parseSlice(payload, payloadSize);
    case NAL_SEI:
      return toRbsp(payload, payloadSize) && parseSei(rbsp_.data(), rbsp_.size());
    case NAL_SPS:
      return toRbsp(payload, payloadSize) && parseSps(rbsp_.data(), rbsp_.size());
    case NAL_PPS:
      return toRbsp(payload, payloadSize) && parsePps(rbsp_.data(), rbsp_.size());
    case NAL_AUD:
      return toRbsp(payload, payloadSize) && parseAud(rbsp_.data(), rbsp_.size());
    case NAL_END_OF_SEQUENCE:
    case NAL_END_OF_STREAM:
      return true;
    default:
      return false;
  }
}

bool NalParser::toRbsp(const uint8_t* payload, size_t size) {
  rbsp_.resize(size);
  size_t out = 0;
  int zeros = 0;
  for (size_t i = 0; i < size; ++i) {
    uint8_t b = payload[i];
    if (zeros >= 2 && b == 3) {
      zeros = 0;
      continue;
    }
    zeros = b == 0 ? zeros + 1 : 0;
    rbsp_[out++] = b;
  }
  rbsp_.resize(out);
  return true;
}

bool NalParser::parseSps(const uint8_t* rbsp, size_t size) {
  BitReader r(rbsp, size);
  Sps s;
  s.profile_idc = int32_t(r.u(8));
  s.constraint_set_flags = int32_t(r.u(8) >> 2);
  s.level_idc = int32_t(r.u(8));
  uint32_t id = r.ue();
  if (id >= uint32_t(MAX_SPS_COUNT)) return false;
  s.seq_parameter_set_id = int32_t(id);
  if (hasHighProfileBlock(uint32_t(s.profile_idc))) {
    uint32_t chroma = r.ue();
    if (chroma > 3) return false;
    s.chroma_format_idc = int32_t(chroma);
    if (chroma == 3) s.separate_colour_plane_flag = int32_t(r.u(1));
    s.bit_depth_luma_minus8 = int32_t(r.ue());
    s.bit_depth_chroma_minus8 = int32_t(r.ue());
    s.qpprime_y_zero_transform_bypass_flag = int32_t(r.u(1));
    s.seq_scaling_matrix_present_flag = int32_t(r.u(1));
    if (s.seq_scaling_matrix_present_flag) {
      int lists = chroma != 3 ? 8 : 12;
      for (int i = 0; i < lists; ++i)
        if (r.u(1)) skipScalingList(r, i < 6 ? 16 : 64);
    }
  }
  uint32_t log2FrameNum = r.ue();
  if (log2FrameNum > MAX_LOG2_MINUS4) return false;
  s.log2_max_frame_num_minus4 = int32_t(log2FrameNum);
  uint32_t pocType = r.ue();
  if (pocType > 2) return false;
  s.pic_order_cnt_type = int32_t(pocType);
  if (pocType == 0) {
    uint32_t log2Poc = r.ue();
    if (log2Poc > MAX_LOG2_MINUS4) return false;
    s.log2_max_pic_order_cnt_lsb_minus4 = int32_t(log2Poc);
  } else if (pocType == 1) {
    s.delta_pic_order_always_zero_flag = int32_t(r.u(1));
    s.offset_for_non_ref_pic = r.se();
    s.offset_for_top_to_bottom_field = r.se();
    uint32_t cycle = r.ue();
    if (cycle > MAX_POC_CYCLE) return false;
    s.num_ref_frames_in_pic_order_cnt_cycle = int32_t(cycle);
    for (uint32_t i = 0; i < cycle; ++i) r.se();  // offset_for_ref_frame[i]
  }
  s.max_num_ref_frames = int32_t(r.ue());
  s.gaps_in_frame_num_value_allowed_flag = int32_t(r.u(1));
  s.pic_width_in_mbs_minus1 = int32_t(r.ue());
  s.pic_height_in_map_units_minus1 = int32_t(r.ue());
  s.frame_mbs_only_flag = int32_t(r.u(1));
  if (!s.frame_mbs_only_flag) s.mb_adaptive_frame_field_flag = int32_t(r.u(1));
  s.direct_8x8_inference_flag = int32_t(r.u(1));
  s.frame_cropping_flag = int32_t(r.u(1));
  if (s.frame_cropping_flag) {
    s.frame_crop_left_offset = int32_t(r.ue());
    s.frame_crop_right_offset = int32_t(r.ue());
    s.frame_crop_top_offset = int32_t(r.ue());
    s.frame_crop_bottom_offset = int32_t(r.ue());
  }
  s.vui_parameters_present_flag = int32_t(r.u(1));
  if (s.vui_parameters_present_flag && !parseVui(r, s.vui)) return false;
  syntaxBits_ = 8 + r.position();
  sps_[id] = s;
  currentSps_ = int(id);
  return true;
}

bool NalParser::parsePps(const uint8_t* rbsp, size_t size) {
  BitReader r(rbsp, size);
  size_t stopBit = stopBitPosition(rbsp, size);
  Pps p;
  uint32_t id = r.ue();
  if (id >= uint32_t(MAX_PPS_COUNT)) return false;
  uint32_t spsId = r.ue();
  if (spsId >= uint32_t(MAX_SPS_COUNT)) return false;
  p.pic_parameter_set_id = int32_t(id);
  p.seq_parameter_set_id = int32_t(spsId);
  p.entropy_coding_mode_flag = int32_t(r.u(1));
  p.bottom_field_pic_order_in_frame_present_flag = int32_t(r.u(1));
  uint32_t groups = r.ue();
  if (groups > MAX_SLICE_GROUPS_MINUS1) return false;
  p.num_slice_groups_minus1 = int32_t(groups);
  if (groups > 0) {
    uint32_t mapType = r.ue();
    if (mapType > 6) return false;
    p.slice_group_map_type = int32_t(mapType);
    if (mapType == 0) {
      for (uint32_t i = 0; i <= groups; ++i) r.ue();  // run_length_minus1
    } else if (mapType == 2) {
      for (uint32_t i = 0; i < groups; ++i) {
        r.ue();  // top_left
        r.ue();  // bottom_right
      }
    } else if (mapType >= 3 && mapType <= 5) {
      p.slice_group_change_direction_flag = int32_t(r.u(1));
      p.slice_group_change_rate_minus1 = int32_t(r.ue());
    } else if (mapType == 6) {
      uint32_t units = r.ue();
      int bits = ceilLog2(uint64_t(groups) + 1);
      // Each slice_group_id takes at least one bit: a count the payload
      // cannot hold is corrupt.
      if (uint64_t(units) + 1 > uint64_t(size) * 8) return false;
      p.pic_size_in_map_units_minus1 = int32_t(units);
      for (uint64_t i = 0; i <= units; ++i) r.u(bits);
    }
  }
  uint32_t l0 = r.ue();
  uint32_t l1 = r.ue();
  if (l0 > MAX_REF_IDX_MINUS1 || l1 > MAX_REF_IDX_MINUS1) return false;
  p.num_ref_idx_l0_default_active_minus1 = int32_t(l0);
  p.num_ref_idx_l1_default_active_minus1 = int32_t(l1);
  p.weighted_pred_flag = int32_t(r.u(1));
  p.weighted_bipred_idc = int32_t(r.u(2));
  p.pic_init_qp_minus26 = r.se();
  p.pic_init_qs_minus26 = r.se();
  p.chroma_qp_index_offset = r.se();
  p.deblocking_filter_control_present_flag = int32_t(r.u(1));
  p.constrained_intra_pred_flag = int32_t(r.u(1));
  p.redundant_pic_cnt_present_flag = int32_t(r.u(1));
  p.second_chroma_qp_index_offset = p.chroma_qp_index_offset;
  if (moreRbspData(r, stopBit)) {
    p.transform_8x8_mode_flag = int32_t(r.u(1));
    p.pic_scaling_matrix_present_flag = int32_t(r.u(1));
    if (p.pic_scaling_matrix_present_flag) {
      int chroma = sps_[spsId].chroma_format_idc;
      int lists = 6 + (chroma != 3 ? 2 : 6) * p.transform_8x8_mode_flag;
      for (int i = 0; i < lists; ++i)
        if (r.u(1)) skipScalingList(r, i < 6 ? 16 : 64);
    }
    p.second_chroma_qp_index_offset = r.se();
  }
  syntaxBits_ = 8 + r.position();
  pps_[id] = p;
  currentPps_ = int(id);
  return true;
}

bool NalParser::parseSei(const uint8_t* rbsp, size_t size) {
  constexpr int32_t RECOVERY_POINT = 6;
  BitReader r(rbsp, size);
  size_t stopBit = stopBitPosition(rbsp, size);
  sei_.clear();
  while (moreRbspData(r, stopBit)) {
    SeiMessage m;
    uint32_t b;
    uint32_t type = 0;
    while ((b = r.u(8)) == 0xFF) type += 255;
    type += b;
    uint32_t payloadSize = 0;
    while ((b = r.u(8)) == 0xFF) payloadSize += 255;
    payloadSize += b;
    m.payloadType = int32_t(type);
    m.payloadSize = int32_t(payloadSize);
    size_t left = (size * 8 - std::min(r.position(), size * 8)) / 8;
    size_t n = std::min<size_t>(payloadSize, left);
    m.payload.resize(n);
    for (size_t i = 0; i < n; ++i) m.payload[i] = uint8_t(r.u(8));

    // Most payloads are opaque bytes; the recovery point is read bit by bit,
    // and is the message whose end can fall inside a byte.
    if (m.payloadType == RECOVERY_POINT) {
      BitReader p(m.payload.data(), m.payload.size());
      p.ue();   // recovery_frame_cnt
      p.u(1);   // exact_match_flag
      p.u(1);   // broken_link_flag
      p.u(2);   // changing_slice_group_idc
      if (!p.byteAligned()) {
        if (p.u(1) == 0) std::fputs("WARNING: bit_equal_to_one is 0!!!!\n", stderr);
        while (!p.byteAligned())
          if (p.u(1) == 1) std::fputs("WARNING: bit_equal_to_zero is 1!!!!\n", stderr);
      }
    }
    sei_.push_back(std::move(m));
    if (n < payloadSize) break;  // the payload runs past the unit
  }
  syntaxBits_ = 8 + r.position();
  return true;
}

bool NalParser::parseAud(const uint8_t* rbsp, size_t size) {
  BitReader r(rbsp, size);
  aud_.primary_pic_type = int32_t(r.u(3));
  syntaxBits_ = 8 + r.position();
  return true;
}

bool NalParser::parseSlice(const uint8_t* payload, size_t size) {
  enum { P = 0, B = 1, I = 2, SP = 3, SI = 4 };
  BitReader r(payload, size, true);
  SliceHeader s;
  s.first_mb_in_slice = int32_t(r.ue());
  uint32_t sliceType = r.ue();
  if (sliceType > 9) return false;
  s.slice_type = int32_t(sliceType);
  uint32_t ppsId = r.ue();
  if (ppsId >= uint32_t(MAX_PPS_COUNT)) return false;
  s.pic_parameter_set_id = int32_t(ppsId);
  const Pps& pps = pps_[ppsId];
  const Sps& sps = sps_[pps.seq_parameter_set_id];
  const int type = int(sliceType % 5);
  const bool idr = nal_.nal_unit_type == NAL_IDR_SLICE;

  s.frame_num = int32_t(r.u(sps.log2_max_frame_num_minus4 + 4));
  if (!sps.frame_mbs_only_flag) {
    s.field_pic_flag = int32_t(r.u(1));
    if (s.field_pic_flag) s.bottom_field_flag = int32_t(r.u(1));
  }
  if (idr) s.idr_pic_id = int32_t(r.ue());
  const bool bottomPoc = pps.bottom_field_pic_order_in_frame_present_flag && !s.field_pic_flag;
  if (sps.pic_order_cnt_type == 0) {
    s.pic_order_cnt_lsb = int32_t(r.u(sps.log2_max_pic_order_cnt_lsb_minus4 + 4));
    if (bottomPoc) s.delta_pic_order_cnt_bottom = r.se();
  }
  if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag) {
    s.delta_pic_order_cnt[0] = r.se();
    if (bottomPoc) s.delta_pic_order_cnt[1] = r.se();
  }
  if (pps.redundant_pic_cnt_present_flag) s.redundant_pic_cnt = int32_t(r.ue());
  if (type == B) s.direct_spatial_mv_pred_flag = int32_t(r.u(1));
  uint32_t l0 = uint32_t(pps.num_ref_idx_l0_default_active_minus1);
  uint32_t l1 = uint32_t(pps.num_ref_idx_l1_default_active_minus1);
  if (type == P || type == SP || type == B) {
    s.num_ref_idx_active_override_flag = int32_t(r.u(1));
    if (s.num_ref_idx_active_override_flag) {
      l0 = r.ue();
      if (type == B) l1 = r.ue();
    }
  }
  if (l0 > MAX_REF_IDX_MINUS1 || l1 > MAX_REF_IDX_MINUS1) return false;
  s.num_ref_idx_l0_active_minus1 = int32_t(l0);
  s.num_ref_idx_l1_active_minus1 = int32_t(l1);

  if (type != I && type != SI &&
      !skipRefPicListModification(r, s.ref_pic_list_modification_flag_l0))
    return false;
  if (type == B && !skipRefPicListModification(r, s.ref_pic_list_modification_flag_l1))
    return false;

  if ((pps.weighted_pred_flag && (type == P || type == SP)) ||
      (pps.weighted_bipred_idc == 1 && type == B)) {
    const bool chroma = !sps.separate_colour_plane_flag && sps.chroma_format_idc != 0;
    s.luma_log2_weight_denom = int32_t(r.ue());
    if (chroma) s.chroma_log2_weight_denom = int32_t(r.ue());
    skipWeights(r, l0, chroma);
    if (type == B) skipWeights(r, l1, chroma);
  }

  if (nal_.nal_ref_idc != 0) {
    if (idr) {
      s.no_output_of_prior_pics_flag = int32_t(r.u(1));
      s.long_term_reference_flag = int32_t(r.u(1));
    } else {
      s.adaptive_ref_pic_marking_mode_flag = int32_t(r.u(1));
      if (s.adaptive_ref_pic_marking_mode_flag) {
        int ops = 0;
        for (;;) {
          uint32_t op = r.ue();
          if (op == 0) break;
          if (op > 6 || ++ops > MAX_LIST_OPERATIONS) return false;
          if (op == 1 || op == 3) r.ue();  // difference_of_pic_nums_minus1
          if (op == 2) r.ue();             // long_term_pic_num
          if (op == 3 || op == 6) r.ue();  // long_term_frame_idx
          if (op == 4) r.ue();             // max_long_term_frame_idx_plus1
        }
      }
    }
  }

  if (pps.entropy_coding_mode_flag && type != I && type != SI) s.cabac_init_idc = int32_t(r.ue());
  s.slice_qp_delta = r.se();
  if (type == SP || type == SI) {
    if (type == SP) s.sp_for_switch_flag = int32_t(r.u(1));
    s.slice_qs_delta = r.se();
  }
  if (pps.deblocking_filter_control_present_flag) {
    s.disable_deblocking_filter_idc = int32_t(r.ue());
    if (s.disable_deblocking_filter_idc != 1) {
      s.slice_alpha_c0_offset_div2 = r.se();
      s.slice_beta_offset_div2 = r.se();
    }
  }
  if (pps.num_slice_groups_minus1 > 0 && pps.slice_group_map_type >= 3 &&
      pps.slice_group_map_type <= 5) {
    uint64_t picSize = (uint64_t(uint32_t(sps.pic_width_in_mbs_minus1)) + 1) *
                       (uint64_t(uint32_t(sps.pic_height_in_map_units_minus1)) + 1);
    uint64_t rate = uint64_t(uint32_t(pps.slice_group_change_rate_minus1)) + 1;
    // Ceil(Log2(PicSizeInMapUnits / SliceGroupChangeRate + 1)), exact division.
    int bits = 0;
    while (bits < 32 && (uint64_t(1) << bits) * rate < picSize + rate) ++bits;
    s.slice_group_change_cycle = int32_t(r.u(bits));
  }

  syntaxBits_ = 8 + r.position();
  slice_ = s;
  currentPps_ = int(ppsId);
  currentSps_ = pps.seq_parameter_set_id;
  return true;
}

}  // namespace tavrin
