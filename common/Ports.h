#pragma once

// Fixed ports of the phone-side services and the adb server.
namespace tavrin {

constexpr int VIDEO_PORT = 2539;         // capture server, H.264 stream
constexpr int EVENT_PORT = 2541;         // capture server, rotation messages
constexpr int DAEMON_PORT = 12347;       // input daemon
constexpr int MONKEY_PORT = 12348;       // phone monkey server
constexpr int APP_PORT = 9091;           // companion app service
constexpr int PHONE_DAEMON_PORT = 9191;  // phone daemon command channel
constexpr int DISCOVERY_PORT = 9092;     // UDP, Wi-Fi discovery
constexpr int ADB_SERVER_PORT = 5037;    // adb server on the PC loopback

}  // namespace tavrin
