#pragma once

#include "platform/Log.h"

namespace tavrin::mirror {

// Every line of the capture server goes under this tag.
inline constexpr const char* MIRROR_LOG_TAG = "MirrorDebugLog";

#define MIRROR_LOG(...) ::tavrin::logLine(::tavrin::mirror::MIRROR_LOG_TAG, __VA_ARGS__)

}  // namespace tavrin::mirror
