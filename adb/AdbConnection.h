#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// The adb server's port: $ANDROID_ADB_SERVER_PORT when it holds a port number
// (the adb tool's own convention), else ADB_SERVER_PORT.
uint16_t adbServerPort();

// Sockets need no process-wide start-up on this system; the flag only keeps
// the callers' start/stop sequence.
bool startNetworking();
void stopNetworking();
bool networkingStarted();

// Client of the adb server's host protocol on the PC loopback, and the plain
// TCP client the input helper and the launcher use for the phone programs.
//
// Every request travels on its own connection:
//
//   client                          server
//   "%04x" length + payload  --->
//                            <---   "OKAY" | "FAIL" "%04x" length + message
//   (host:devices only)      <---   "%04x" length + text
//   (shell only)             <---   raw output ... until the server closes
//
// A shell request goes on a connection bound to a device by
// "host:transport:<serial>". Nothing here throws; every failure is a false.
// One thread uses a connection at a time.
class AdbConnection {
 public:
  static constexpr int STEP_TIMEOUT = 5;          // seconds, every step of a request
  static constexpr int PROBE_TIMEOUT = 1;         // seconds, the file probe's answer
  static constexpr int CONNECT_TIMEOUT_MS = 5000;
  static constexpr size_t SHELL_REQUEST_SIZE = 256;    // payload cut to 255 bytes
  static constexpr size_t LS_REQUEST_SIZE = 512;
  static constexpr size_t FORWARD_REQUEST_SIZE = 256;
  static constexpr size_t DEVICE_LIST_SIZE = 1024;     // at most 1023 bytes of text
  static constexpr size_t FIELD_SIZE = 260;            // splitFields keeps 259 bytes

  AdbConnection() = default;
  ~AdbConnection() { close(); }
  AdbConnection(const AdbConnection&) = delete;
  AdbConnection& operator=(const AdbConnection&) = delete;
  AdbConnection(AdbConnection&& other) noexcept;
  AdbConnection& operator=(AdbConnection&& other) noexcept;

  // Opens a stream to host:port; an absent or empty host is 127.0.0.1, any
  // other host a dotted IPv4 address. A connection already open is closed
  // first. Gives up after CONNECT_TIMEOUT_MS.
  bool connect(uint16_t port, const char* host = nullptr);
  // Shuts down both directions and closes; harmless when closed.
  void close();
  bool isOpen() const { return socket_ >= 0; }

  // One send call once the socket is writable within `timeoutSeconds` (0 is
  // a poll); `length` comes back as the count actually sent. A short send is
  // not completed. Socket errors that leave the connection useless close it.
  bool send(const void* buffer, size_t* length, int timeoutSeconds);
  // One receive call once the socket is readable; `capacity` comes back as
  // the count received, 0 when the peer closed (still a success). A time-out
  // fails and sets `timedOut`.
  bool receive(void* buffer, size_t* capacity, int timeoutSeconds, bool* timedOut = nullptr);

  // Frames and sends `payload`, reads the status and, when `reply` and a
  // non-zero `capacity` are given, a hex-framed reply block: it must fit in
  // capacity - 1 bytes, is NUL-terminated, and `capacity` comes back as its
  // length.
  bool sendRequest(const char* payload, char* reply = nullptr, size_t* capacity = nullptr);
  // True only for "OKAY"; a "FAIL" message is read and dropped.
  bool readStatus();
  bool selectTransport(const char* serial);

  // Serials of the attached phones in state "device", emulators left out,
  // in the server's order (`serials` is replaced). False when the server
  // lists nothing at all. On this open connection.
  bool listDevices(std::vector<std::string>& serials);
  // Connected form: its own connection to the adb server, closed afterwards.
  bool listDevicesConnected(std::vector<std::string>& serials);

  // True when `path` exists on the phone ("ls -l" answers with a listing
  // within a second). On this open connection.
  bool fileExists(const char* serial, const char* path);
  // Connected form.
  bool fileExistsConnected(const char* serial, const char* path);

  // Runs `command` on the phone over this open connection. With `output`
  // (zero-filled by the caller) the output is collected into its first
  // capacity - 1 bytes, so it stays a terminated text; without it the stream
  // is polled once and the command keeps running while the connection stays
  // open. `keep` keeps the collecting time-out at 2 s instead of halving it.
  bool runShell(const char* serial, const char* command, char* output = nullptr, size_t capacity = 0,
                bool keep = false);
  // Launcher form: its own connection, halving time-out, always closed after.
  bool runShellLauncher(const char* serial, const char* command, char* output = nullptr,
                        size_t capacity = 0);

  // Collects the stream until the server closes it or it stays silent: the
  // first receive waits `timeoutSeconds`, and unless `keep` each later one
  // waits half as long (2, 1, 0 s: at most three receives).
  bool readToEnd(char* output, size_t capacity, int timeoutSeconds, bool keep);

  // Forwards PC port `pcPort` to `phonePort` on the phone `serial`, on its own
  // connection to the adb server.
  bool addForward(const char* serial, int pcPort, int phonePort);

 private:
  enum class Wait { Ready, TimedOut, Failed };
  Wait waitReady(short events, int timeoutMs);
  void closeOnFatalError(int error);
  // Receives exactly `size` bytes within `timeoutSeconds` (short only when
  // the peer closes first; then false).
  bool receiveExact(void* buffer, size_t size, int timeoutSeconds);
  bool sendAll(const void* buffer, size_t size, int timeoutSeconds);

  int socket_ = -1;
};

// Splits `text` at `separator` into `fields` (replaced): empty fields are
// kept, a trailing separator gives a final empty field, and a field longer
// than FIELD_SIZE - 1 bytes is cut there (never inside a UTF-8 sequence).
// False for an empty or absent text.
bool splitFields(const char* text, char separator, std::vector<std::string>& fields);

// `text` cut to at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string cutUtf8(std::string text, size_t maxBytes);

}  // namespace tavrin
