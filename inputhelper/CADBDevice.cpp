#include "inputhelper/CADBDevice.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "common/Ports.h"
#include "inputhelper/MonkeyCommands.h"
#include "phone/input/InputProtocol.h"

namespace tavrin {

namespace {

constexpr int STEP_SECONDS = 5;     // every send and receive of an exchange
constexpr int DRAIN_SECONDS = 1;    // each piece of an oversize reply thrown away
constexpr size_t MAX_SENT_FRAME = MAX_REPLY_FRAME;  // 272: payloads up to 256 bytes leave
constexpr size_t MONKEY_REPLY_SIZE = 1024;
constexpr size_t GREETING_READ = 10;

// The LF ends the shell command line.
const std::string DAEMON_COMMAND = std::string(INPUT_DAEMON_PATH) + " " + std::to_string(DAEMON_PORT) + "\n";
const std::string MONKEY_COMMAND = "monkey --port " + std::to_string(MONKEY_PORT) + "\n";

bool sendWhole(AdbConnection& connection, const void* data, size_t size) {
  size_t sent = size;
  return connection.send(data, &sent, STEP_SECONDS) && sent == size;
}

// `size` bytes within `seconds` in all: a reply split on its way is still
// read whole, so the stream stays at a frame boundary.
bool receiveWhole(AdbConnection& connection, void* data, size_t size, int seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  auto* p = static_cast<uint8_t*>(data);
  size_t got = 0;
  while (got < size) {
    std::chrono::duration<double> left = deadline - Clock::now();
    if (left.count() <= 0) return false;
    size_t n = size - got;
    if (!connection.receive(p + got, &n, int(std::ceil(left.count()))) || n == 0) return false;
    got += n;
  }
  return true;
}

// Throws away an oversize reply in pieces, as far as it comes promptly.
void drain(AdbConnection& connection, uint32_t owed) {
  uint8_t scratch[MAX_REPLY_PAYLOAD];
  while (owed > 0) {
    size_t n = std::min<size_t>(owed, sizeof scratch);
    if (!connection.receive(scratch, &n, DRAIN_SECONDS) || n == 0) return;
    owed -= uint32_t(n);
  }
}

template <typename Try>
bool retry(Try attempt) {
  for (int i = 0; i < CONNECT_TRIES; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(CONNECT_TRY_INTERVAL_MS));
    if (attempt()) return true;
  }
  return false;
}

}  // namespace

CADBDevice::~CADBDevice() {
  daemon_.close();
  daemonRunner_.stop();
  monkeyExchange("quit");  // fails at once when the monkey path never opened
  monkey_.close();
  monkeyRunner_.stop();
  request_.close();
}

//   request  [len][magic][command][payload ...][command]   one send
//   reply    [len][magic][status ][payload ...][status ]   len = 16 when no payload
bool CADBDevice::exchange(uint32_t command, const uint8_t* payload, size_t size, uint32_t* status) {
  *status = STATUS_PENDING;
  if (!payload || size == 0) return false;
  uint8_t frame[MAX_SENT_FRAME] = {};
  size_t length = buildFrame(command, payload, size, frame, sizeof frame);
  if (length == 0) return false;

  std::lock_guard lock(daemonMutex_);
  if (!sendWhole(daemon_, frame, length)) return false;
  uint8_t reply[MAX_REPLY_FRAME] = {};
  if (!receiveWhole(daemon_, reply, 4, STEP_SECONDS)) return false;
  ReplyStep step = replyStepAfterLength(readWord(reply));
  if (step.kind == ReplyStep::DiscardAndFail) {
    drain(daemon_, step.bytes);
    return false;
  }
  if (step.kind == ReplyStep::Fail) return false;
  if (!receiveWhole(daemon_, reply + 4, step.bytes, STEP_SECONDS)) return false;
  auto parsed = parseReply(reply, step.bytes + 4);
  if (!parsed) return false;
  *status = parsed->status;
  return true;
}

bool CADBDevice::exchangeOk(uint32_t command, const uint8_t* payload, size_t size) {
  uint32_t status;
  return exchange(command, payload, size, &status) && status == STATUS_OK;
}

HRESULT CADBDevice::Touch(int32_t x, int32_t y, int32_t action) {
  return LightCom::guarded([&] {
    uint8_t point[8];
    size_t size = buildPointPayload(x, y, point);
    bool ok;
    switch (action) {
      case TOUCH_TAP:
        // No release for a press the phone did not take.
        ok = exchangeOk(CMD_TOUCH_DOWN, point, size) && exchangeOk(CMD_TOUCH_UP, point, size);
        break;
      case TOUCH_PRESS:
        ok = exchangeOk(CMD_TOUCH_DOWN, point, size);
        break;
      case TOUCH_RELEASE:
        ok = exchangeOk(CMD_TOUCH_UP, point, size);
        break;
      default:
        ok = false;
    }
    return ok ? S_OK : E_FAIL;
  });
}

HRESULT CADBDevice::sendContacts(int32_t count, const int32_t* ids, const int32_t* xs, const int32_t* ys,
                                 const tagID_POINTW* points, int32_t action) {
  if (count <= 0) return E_FAIL;
  if (action != MULTI_TOUCH_MOVE && action != MULTI_TOUCH_RELEASE) return E_FAIL;
  // A frame beyond what may be sent is never built: the command goes
  // nowhere, and the caller hears success, as for any multi-touch.
  const size_t payloadSize = 4 + CONTACT_RECORD_SIZE * size_t(count);
  if (payloadSize + FRAME_OVERHEAD > MAX_SENT_FRAME) return S_OK;

  std::vector<Contact> contacts(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    contacts[i] = points ? Contact{int32_t(points[i].id), int32_t(points[i].x), int32_t(points[i].y)}
                         : Contact{ids[i], xs[i], ys[i]};
  }
  std::vector<uint8_t> payload(payloadSize);
  buildContactsPayload(contacts.data(), uint32_t(count), payload.data(), payload.size());
  uint32_t status;
  exchange(action == MULTI_TOUCH_MOVE ? CMD_MULTI_TOUCH : CMD_MULTI_TOUCH_UP, payload.data(),
           payload.size(), &status);
  return S_OK;
}

HRESULT CADBDevice::MultiTouch(int32_t count, const int32_t* ids, const int32_t* xs, const int32_t* ys,
                               int32_t action) {
  return LightCom::guarded([&] {
    if (!ids || !xs || !ys) return E_FAIL;
    return sendContacts(count, ids, xs, ys, nullptr, action);
  });
}

HRESULT CADBDevice::MultiTouchPoints(int32_t count, const tagID_POINTW* points, int32_t action) {
  return LightCom::guarded([&] {
    if (!points) return E_FAIL;
    return sendContacts(count, nullptr, nullptr, nullptr, points, action);
  });
}

HRESULT CADBDevice::PressKey(int32_t keyCode) {
  return LightCom::guarded([&] {
    uint8_t key[4];
    return exchangeOk(CMD_KEY_PRESS, key, buildKeyPayload(uint32_t(keyCode), key)) ? S_OK : E_FAIL;
  });
}

HRESULT CADBDevice::IsKeySupported(int32_t keyCode) {
  return LightCom::guarded([&] {
    uint8_t key[4];
    return exchangeOk(CMD_KEY_QUERY, key, buildKeyPayload(uint32_t(keyCode), key)) ? S_OK : E_FAIL;
  });
}

// One text command and its one-line answer.
bool CADBDevice::monkeyExchange(const std::string& command) {
  std::string line = monkeyRequestLine(command);
  std::lock_guard lock(monkeyMutex_);
  if (!sendWhole(monkey_, line.data(), line.size())) return false;
  char reply[MONKEY_REPLY_SIZE] = {};
  size_t size = sizeof reply - 1;
  if (!monkey_.receive(reply, &size, STEP_SECONDS)) return false;
  return monkeyAccepted(std::string(reply, size));
}

bool CADBDevice::monkeyCommands(const std::vector<std::string>& commands) {
  if (commands.empty()) return false;
  for (const auto& command : commands) {
    if (!monkeyExchange(command)) return false;
  }
  return true;
}

HRESULT CADBDevice::TypeChar(char c) {
  return LightCom::guarded([&] { return monkeyCommands(typeCharCommands(c)) ? S_OK : E_FAIL; });
}

HRESULT CADBDevice::PressSpecialKey(int32_t key) {
  return LightCom::guarded([&] {
    auto name = specialKeyName(key);
    if (!name) return E_FAIL;
    return monkeyCommands(keyPressCommands(*name)) ? S_OK : E_FAIL;
  });
}

bool CADBDevice::connectToDaemon(const char* host, int32_t port) {
  if (port <= 0 || port > 65535) return false;
  std::lock_guard lock(daemonMutex_);
  if (!daemon_.connect(uint16_t(port), host)) return false;
  // "hello" may come in pieces; up to 10 bytes are taken, so a longer
  // greeting is refused as a whole.
  char greeting[GREETING_READ + 1] = {};
  size_t got = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(STEP_SECONDS);
  while (got < INPUT_GREETING_SIZE) {
    std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
    size_t n = GREETING_READ - got;
    if (left.count() <= 0 || !daemon_.receive(greeting + got, &n, int(std::ceil(left.count()))) ||
        n == 0)
      break;
    got += n;
  }
  if (got == INPUT_GREETING_SIZE && std::memcmp(greeting, INPUT_GREETING, INPUT_GREETING_SIZE) == 0)
    return true;
  daemon_.close();
  return false;
}

bool CADBDevice::wakeMonkey(int32_t port) {
  {
    std::lock_guard lock(monkeyMutex_);
    if (!monkey_.connect(uint16_t(port), nullptr)) return false;
  }
  if (monkeyExchange("wake")) return true;
  monkeyExchange("quit");
  std::lock_guard lock(monkeyMutex_);
  monkey_.close();
  return false;
}

bool CADBDevice::startUsb(const char* serial) {
  if (!serial) return false;
  serial_ = serial;
  if (!startNetworking()) return false;
  bool started = request_.addForward(serial, MONKEY_PORT, MONKEY_PORT) &&
                 monkeyRunner_.start(serial, MONKEY_COMMAND.c_str(), 5) &&
                 request_.addForward(serial, DAEMON_PORT, DAEMON_PORT) &&
                 daemonRunner_.start(serial, DAEMON_COMMAND.c_str(), 1, INPUT_DAEMON_PATH) &&
                 retry([&] { return connectToDaemon(nullptr, DAEMON_PORT); }) &&
                 retry([&] { return wakeMonkey(MONKEY_PORT); });
  if (!started) {
    // The monkey side is left to the teardown of the released device.
    daemon_.close();
    daemonRunner_.stop();
  }
  return started;
}

bool CADBDevice::startDirect(const char* host, int32_t port) {
  if (retry([&] { return connectToDaemon(host, port); })) return true;
  daemon_.close();
  daemonRunner_.stop();
  return false;
}

}  // namespace tavrin
