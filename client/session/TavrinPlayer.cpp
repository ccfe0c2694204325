#include "client/session/TavrinPlayer.h"

namespace tavrin {

TavrinPlayer::TavrinPlayer() = default;
TavrinPlayer::~TavrinPlayer() = default;

bool TavrinPlayer::init(const StartParams& params) {
  if (!startParamsAcceptable(params)) return false;
  params_ = params;
  return true;
}

}  // namespace tavrin
