#pragma once

#include <string>

namespace tavrin {

// Where the phone programs live and keep their lock files:
// $TAVRIN_PHONE_DIR when set, else /data/local/tmp.
std::string phoneDir();

// phoneDir() + "/" + name.
std::string phonePath(const std::string& name);

// Creates the phone directory (and its parents) when missing. False when it
// cannot be made or exists as something other than a directory; the phone
// programs treat that as a failed start.
bool ensurePhoneDir();

}  // namespace tavrin
