#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin {

// Syntax records of the H.264 NAL units the video path looks at. Field names
// are the syntax element names of ITU-T H.264; every value is a 32-bit integer.
// Lists the client never reads back (scaling lists, slice group maps,
// reference list modifications, weights, memory management operations) are
// parsed and skipped rather than kept.

constexpr int MAX_SPS_COUNT = 32;
constexpr int MAX_PPS_COUNT = 256;

enum NalUnitType : int32_t {
  NAL_SLICE = 1,
  NAL_IDR_SLICE = 5,
  NAL_SEI = 6,
  NAL_SPS = 7,
  NAL_PPS = 8,
  NAL_AUD = 9,
  NAL_END_OF_SEQUENCE = 10,
  NAL_END_OF_STREAM = 11,
  NAL_AUXILIARY_SLICE = 19,
};

struct NalHeader {
  int32_t forbidden_zero_bit = 0;
  int32_t nal_ref_idc = 0;
  int32_t nal_unit_type = 0;
};

struct HrdParameters {
  int32_t cpb_cnt_minus1 = 0;
  int32_t bit_rate_scale = 0;
  int32_t cpb_size_scale = 0;
  std::array<int32_t, 32> bit_rate_value_minus1{};
  std::array<int32_t, 32> cpb_size_value_minus1{};
  std::array<int32_t, 32> cbr_flag{};
  int32_t initial_cpb_removal_delay_length_minus1 = 0;
  int32_t cpb_removal_delay_length_minus1 = 0;
  int32_t dpb_output_delay_length_minus1 = 0;
  int32_t time_offset_length = 0;
};

struct VuiParameters {
  int32_t aspect_ratio_info_present_flag = 0;
  int32_t aspect_ratio_idc = 0;
  int32_t sar_width = 0;
  int32_t sar_height = 0;
  int32_t overscan_info_present_flag = 0;
  int32_t overscan_appropriate_flag = 0;
  int32_t video_signal_type_present_flag = 0;
  int32_t video_format = 0;
  int32_t video_full_range_flag = 0;
  int32_t colour_description_present_flag = 0;
  int32_t colour_primaries = 0;
  int32_t transfer_characteristics = 0;
  int32_t matrix_coefficients = 0;
  int32_t chroma_loc_info_present_flag = 0;
  int32_t chroma_sample_loc_type_top_field = 0;
  int32_t chroma_sample_loc_type_bottom_field = 0;
  int32_t timing_info_present_flag = 0;
  int32_t num_units_in_tick = 0;
  int32_t time_scale = 0;
  int32_t fixed_frame_rate_flag = 0;
  int32_t nal_hrd_parameters_present_flag = 0;
  HrdParameters nal_hrd;
  int32_t vcl_hrd_parameters_present_flag = 0;
  HrdParameters vcl_hrd;
  int32_t low_delay_hrd_flag = 0;
  int32_t pic_struct_present_flag = 0;
  int32_t bitstream_restriction_flag = 0;
  int32_t motion_vectors_over_pic_boundaries_flag = 0;
  int32_t max_bytes_per_pic_denom = 0;
  int32_t max_bits_per_mb_denom = 0;
  int32_t log2_max_mv_length_horizontal = 0;
  int32_t log2_max_mv_length_vertical = 0;
  int32_t max_num_reorder_frames = 0;
  int32_t max_dec_frame_buffering = 0;
};

struct Sps {
  int32_t profile_idc = 0;
  int32_t constraint_set_flags = 0;  // constraint_set0_flag..5 as bits 5..0
  int32_t level_idc = 0;
  int32_t seq_parameter_set_id = 0;
  int32_t chroma_format_idc = 1;
  int32_t separate_colour_plane_flag = 0;
  int32_t bit_depth_luma_minus8 = 0;
  int32_t bit_depth_chroma_minus8 = 0;
  int32_t qpprime_y_zero_transform_bypass_flag = 0;
  int32_t seq_scaling_matrix_present_flag = 0;
  int32_t log2_max_frame_num_minus4 = 0;
  int32_t pic_order_cnt_type = 0;
  int32_t log2_max_pic_order_cnt_lsb_minus4 = 0;
  int32_t delta_pic_order_always_zero_flag = 0;
  int32_t offset_for_non_ref_pic = 0;
  int32_t offset_for_top_to_bottom_field = 0;
  int32_t num_ref_frames_in_pic_order_cnt_cycle = 0;
  int32_t max_num_ref_frames = 0;
  int32_t gaps_in_frame_num_value_allowed_flag = 0;
  int32_t pic_width_in_mbs_minus1 = 0;
  int32_t pic_height_in_map_units_minus1 = 0;
  int32_t frame_mbs_only_flag = 0;
  int32_t mb_adaptive_frame_field_flag = 0;
  int32_t direct_8x8_inference_flag = 0;
  int32_t frame_cropping_flag = 0;
  int32_t frame_crop_left_offset = 0;
  int32_t frame_crop_right_offset = 0;
  int32_t frame_crop_top_offset = 0;
  int32_t frame_crop_bottom_offset = 0;
  int32_t vui_parameters_present_flag = 0;
  VuiParameters vui;
};

struct Pps {
  int32_t pic_parameter_set_id = 0;
  int32_t seq_parameter_set_id = 0;
  int32_t entropy_coding_mode_flag = 0;
  int32_t bottom_field_pic_order_in_frame_present_flag = 0;
  int32_t num_slice_groups_minus1 = 0;
  int32_t slice_group_map_type = 0;
  int32_t slice_group_change_direction_flag = 0;
  int32_t slice_group_change_rate_minus1 = 0;
  int32_t pic_size_in_map_units_minus1 = 0;
  int32_t num_ref_idx_l0_default_active_minus1 = 0;
  int32_t num_ref_idx_l1_default_active_minus1 = 0;
  int32_t weighted_pred_flag = 0;
  int32_t weighted_bipred_idc = 0;
  int32_t pic_init_qp_minus26 = 0;
  int32_t pic_init_qs_minus26 = 0;
  int32_t chroma_qp_index_offset = 0;
  int32_t deblocking_filter_control_present_flag = 0;
  int32_t constrained_intra_pred_flag = 0;
  int32_t redundant_pic_cnt_present_flag = 0;
  int32_t transform_8x8_mode_flag = 0;
  int32_t pic_scaling_matrix_present_flag = 0;
  int32_t second_chroma_qp_index_offset = 0;
};

struct AccessUnitDelimiter {
  int32_t primary_pic_type = 0;
};

struct SeiMessage {
  int32_t payloadType = 0;
  int32_t payloadSize = 0;
  std::vector<uint8_t> payload;
};

struct SliceHeader {
  int32_t first_mb_in_slice = 0;
  int32_t slice_type = 0;
  int32_t pic_parameter_set_id = 0;
  int32_t frame_num = 0;
  int32_t field_pic_flag = 0;
  int32_t bottom_field_flag = 0;
  int32_t idr_pic_id = 0;
  int32_t pic_order_cnt_lsb = 0;
  int32_t delta_pic_order_cnt_bottom = 0;
  std::array<int32_t, 2> delta_pic_order_cnt{};
  int32_t redundant_pic_cnt = 0;
  int32_t direct_spatial_mv_pred_flag = 0;
  int32_t num_ref_idx_active_override_flag = 0;
  int32_t num_ref_idx_l0_active_minus1 = 0;
  int32_t num_ref_idx_l1_active_minus1 = 0;
  int32_t ref_pic_list_modification_flag_l0 = 0;
  int32_t ref_pic_list_modification_flag_l1 = 0;
  int32_t luma_log2_weight_denom = 0;
  int32_t chroma_log2_weight_denom = 0;
  int32_t no_output_of_prior_pics_flag = 0;
  int32_t long_term_reference_flag = 0;
  int32_t adaptive_ref_pic_marking_mode_flag = 0;
  int32_t cabac_init_idc = 0;
  int32_t slice_qp_delta = 0;
  int32_t sp_for_switch_flag = 0;
  int32_t slice_qs_delta = 0;
  int32_t disable_deblocking_filter_idc = 0;
  int32_t slice_alpha_c0_offset_div2 = 0;
  int32_t slice_beta_offset_div2 = 0;
  int32_t slice_group_change_cycle = 0;
};

// Parses NAL units one at a time into its tables. One parser per video
// stream; parameter sets stay until replaced by one with the same identifier.
class NalParser {
 public:
  NalParser() = default;
  NalParser(const NalParser&) = delete;
  NalParser& operator=(const NalParser&) = delete;

  // `nal` is the unit after its start code. The header is always recorded
  // (all zero for an empty unit). False when the payload was not taken in: a
  // forbidden escape sequence (00 00 00..02, or 00 00 03 followed by a byte
  // above 3), an identifier outside the tables, a value beyond its syntax
  // range, or a type that is not parsed.
  bool parse(const uint8_t* nal, size_t size);
  // The same for a caller that has already looked for forbidden escapes in
  // the unit (the splitter does while it looks for the unit's end).
  bool parseScanned(const uint8_t* nal, size_t size, bool forbiddenEscape);

  const NalHeader& nal() const { return nal_; }
  const SliceHeader& slice() const { return slice_; }
  const Sps& currentSps() const { return sps_[currentSps_]; }
  const Pps& currentPps() const { return pps_[currentPps_]; }
  // An identifier outside the table gives an empty record.
  const Sps& sps(int id) const;
  const Pps& pps(int id) const;
  const AccessUnitDelimiter& aud() const { return aud_; }
  const std::vector<SeiMessage>& sei() const { return sei_; }

  // Bits from the start of the NAL unit (header included, emulation
  // prevention bytes not counted) to the end of the last syntax element read,
  // before any trailing bits: for a slice, the length of its header.
  size_t syntaxBits() const { return syntaxBits_; }

 private:
  bool parseSps(const uint8_t* rbsp, size_t size);
  bool parsePps(const uint8_t* rbsp, size_t size);
  bool parseSei(const uint8_t* rbsp, size_t size);
  bool parseAud(const uint8_t* rbsp, size_t size);
  bool parseSlice(const uint8_t* payload, size_t size);
  bool toRbsp(const uint8_t* payload, size_t size);

  NalHeader nal_;
  std::array<Sps, MAX_SPS_COUNT> sps_{};
  std::array<Pps, MAX_PPS_COUNT> pps_{};
  int currentSps_ = 0;
  int currentPps_ = 0;
  AccessUnitDelimiter aud_;
  std::vector<SeiMessage> sei_;
  SliceHeader slice_;
  size_t syntaxBits_ = 0;
  std::vector<uint8_t> rbsp_;  // reused for the small non-slice units
};

// True when the escaped payload holds a forbidden byte sequence: two zero
// bytes followed by a byte below 3, or 00 00 03 followed by a byte above 3.
bool hasForbiddenEscape(const uint8_t* payload, size_t size);

}  // namespace tavrin
