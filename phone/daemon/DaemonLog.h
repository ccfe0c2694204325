#pragma once

namespace tavrin {

// Every diagnostic line of the phone daemon goes to the log under this tag.
constexpr const char* DAEMON_LOG_TAG = "MavekLog";

}  // namespace tavrin
