#include "client/session/PictureBoundary.h"

namespace tavrin {

namespace {

bool differsFromPrevious(const NalParser& parser, const PreviousSlice& prev) {
  const NalHeader& nal = parser.nal();
  const SliceHeader& s = parser.slice();
  const int32_t pocType = parser.currentSps().pic_order_cnt_type;
  const bool idr = nal.nal_unit_type == NAL_IDR_SLICE;
  const bool prevIdr = prev.nal_unit_type == NAL_IDR_SLICE;

  if (!idr && s.frame_num != prev.frame_num) return true;
  if (prev.pic_parameter_set_id != -1 && s.pic_parameter_set_id != prev.pic_parameter_set_id)
    return true;
  if (s.field_pic_flag != prev.field_pic_flag) return true;
  if (s.bottom_field_flag != prev.bottom_field_flag) return true;
  if (nal.nal_ref_idc != prev.nal_ref_idc && (nal.nal_ref_idc == 0 || prev.nal_ref_idc == 0))
    return true;
  if (pocType == 0 && prev.pic_order_cnt_type == 0 &&
      (s.pic_order_cnt_lsb != prev.pic_order_cnt_lsb ||
       s.delta_pic_order_cnt_bottom != prev.delta_pic_order_cnt_bottom))
    return true;
  if (pocType == 1 && prev.pic_order_cnt_type == 1 &&
      (s.delta_pic_order_cnt[0] != prev.delta_pic_order_cnt[0] ||
       s.delta_pic_order_cnt[1] != prev.delta_pic_order_cnt[1]))
    return true;
  if ((idr || prevIdr) && nal.nal_unit_type != prev.nal_unit_type) return true;
  if (idr && prevIdr && s.idr_pic_id != prev.idr_pic_id) return true;
  return false;
}

}  // namespace

bool isNewPicture(const NalParser& parser, PreviousSlice& previous) {
  const bool first = previous.frame_num == -1;
  const bool result = !first && differsFromPrevious(parser, previous);

  const NalHeader& nal = parser.nal();
  const SliceHeader& s = parser.slice();
  previous.frame_num = s.frame_num;
  previous.pic_parameter_set_id = s.pic_parameter_set_id;
  previous.nal_ref_idc = nal.nal_ref_idc;
  previous.field_pic_flag = s.field_pic_flag;
  previous.bottom_field_flag = s.bottom_field_flag;
  previous.pic_order_cnt_type = parser.currentSps().pic_order_cnt_type;
  previous.pic_order_cnt_lsb = s.pic_order_cnt_lsb;
  previous.delta_pic_order_cnt_bottom = s.delta_pic_order_cnt_bottom;
  previous.delta_pic_order_cnt[0] = s.delta_pic_order_cnt[0];
  previous.delta_pic_order_cnt[1] = s.delta_pic_order_cnt[1];
  previous.idr_pic_id = s.idr_pic_id;
  previous.nal_unit_type = nal.nal_unit_type;
  return result;
}

}  // namespace tavrin
