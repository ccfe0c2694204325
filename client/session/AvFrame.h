#pragma once

#include <memory>

extern "C" {
#include <libavutil/frame.h>
}

namespace tavrin {

struct AvFrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

// An owned AVFrame record; the picture buffers it references are counted by FFmpeg.
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameDeleter>;

inline AvFramePtr makeAvFrame() { return AvFramePtr(av_frame_alloc()); }

}  // namespace tavrin
