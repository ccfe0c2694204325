#pragma once

#include <cstdint>

#include "client/session/NalParser.h"

namespace tavrin {

// What isNewPicture remembers of the unit before: the fields H.264 uses to
// find the first slice of a picture. frame_num and pic_parameter_set_id are
// -1 until the first unit has been seen.
struct PreviousSlice {
  int32_t frame_num = -1;
  int32_t pic_parameter_set_id = -1;
  int32_t nal_ref_idc = 0;
  int32_t field_pic_flag = 0;
  int32_t bottom_field_flag = 0;
  int32_t pic_order_cnt_type = 0;
  int32_t pic_order_cnt_lsb = 0;
  int32_t delta_pic_order_cnt_bottom = 0;
  int32_t delta_pic_order_cnt[2] = {0, 0};
  int32_t idr_pic_id = 0;
  int32_t nal_unit_type = 0;
};

// Whether the unit just parsed by `parser` starts a new primary coded picture
// (H.264 7.4.1.2.4, compared against `previous`, which then takes this unit's
// values). Two choices of our own: an IDR unit skips the frame_num test, and a
// unit that is not a slice is compared like one, with the slice header of the
// last slice; so an SEI with nal_ref_idc 0 after a reference picture starts a
// new access unit, and the slice after it another. The first unit never does.
bool isNewPicture(const NalParser& parser, PreviousSlice& previous);

}  // namespace tavrin
