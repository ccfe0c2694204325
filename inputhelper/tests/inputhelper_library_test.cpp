// The input helper library through dlopen, as the client uses it: the
// exports and object rules, the manager against the tests' adb server, and
// devices connected straight to the input daemon's test build (or, for the
// replies the real daemon never gives, to a scripted peer).
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "adb/tests/AdbTestServer.h"
#include "inputhelper/tests/InputHelperLibrary.h"
#include "inputhelper/tests/StandInPhone.h"
#include "phone/input/InputProtocol.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestNet.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;
using test::AdbTestServer;
using test::InputHelperLibrary;
using test::RecordedEvent;
using test::Ref;
using Bytes = std::vector<uint8_t>;

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library.ok()) << library.error(); }
  InputHelperLibrary library;
};

TEST_F(LibraryTest, ExportsOnlyItsTwoFunctions) {
  std::string symbols;
  ASSERT_EQ(test::runCommand({"nm", "-D", "--defined-only", TAVRIN_BIN_DIR "/libtavrininputhelper.so"}, &symbols),
            0);
  std::set<std::string> functions;
  std::istringstream lines(symbols);
  for (std::string address, type, name; lines >> address >> type >> name;)
    if (type == "T" || type == "W" || type == "i") functions.insert(name);
  EXPECT_EQ(functions, (std::set<std::string>{"DllCanUnloadNow", "DllCreateObject"}));
  ASSERT_NE(library.canUnloadNow(), nullptr);
  EXPECT_EQ(library.canUnloadNow()(), S_OK);
}

TEST_F(LibraryTest, CreatesObjectsByIdentifier) {
  // The identifier as a Windows caller lays it out in memory.
  const uint8_t managerBytes[16] = {0xD7, 0x02, 0x90, 0xC9, 0x7E, 0x3F, 0x18, 0x40,
                                    0xA7, 0xD2, 0x4E, 0x38, 0x9A, 0x0B, 0x5A, 0xB6};
  GUID raw;
  std::memcpy(&raw, managerBytes, sizeof raw);
  const GUID unknownId = {0xC99002D7, 0x3F7E, 0x4018, {0xA7, 0xD2, 0x4E, 0x38, 0x9A, 0x0B, 0x5A, 0xB7}};

  struct Case {
    const char* name;
    const GUID* id;
    int32_t flag;
    HRESULT result;
  } const cases[] = {
      {"manager from raw bytes", &raw, 0, S_OK},
      {"manager, flag 1", &IID_IADBManager, 1, S_OK},
      {"device", &IID_IADBDevice, 0, S_OK},
      {"IUnknown is no object", &IID_IUnknown, 0, E_FAIL},
      {"unknown identifier", &unknownId, 0, E_FAIL},
      {"no identifier", nullptr, 0, E_FAIL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<IUnknown> object;
    ASSERT_EQ(library.create(c.id, reinterpret_cast<void**>(object.put()), c.flag), c.result);
    if (c.result != S_OK) {
      EXPECT_EQ(object.get(), nullptr);
      continue;
    }
    ASSERT_NE(object.get(), nullptr);
    // The caller holds exactly one reference.
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(object.reset(), 0u);
  }

  EXPECT_EQ(library.create(&IID_IADBManager, nullptr), E_POINTER);

  // An object already in the output is released, even when creation fails.
  IUnknown* held = library.manager();
  ASSERT_NE(held, nullptr);
  held->AddRef();
  void* out = held;
  EXPECT_EQ(library.create(&unknownId, &out), E_FAIL);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(held->Release(), 0u);
}

TEST_F(LibraryTest, QueriesGiveOnlyTheirOwnInterface) {
  Ref<IADBManager> manager(library.manager());
  ASSERT_TRUE(manager);
  Ref<IUnknown> device;
  ASSERT_EQ(library.create(&IID_IADBDevice, reinterpret_cast<void**>(device.put())), S_OK);

  struct Case {
    const char* name;
    IUnknown* object;
    const GUID& iid;
    HRESULT result;
  } const cases[] = {
      {"manager as IUnknown", manager.get(), IID_IUnknown, S_OK},
      {"manager as manager", manager.get(), IID_IADBManager, S_OK},
      {"manager as device", manager.get(), IID_IADBDevice, E_NOTIMPL},
      {"device as IUnknown", device.get(), IID_IUnknown, S_OK},
      {"device as device", device.get(), IID_IADBDevice, S_OK},
      {"device as manager", device.get(), IID_IADBManager, E_NOTIMPL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    void* out = &out;  // stale
    ASSERT_EQ(c.object->QueryInterface(c.iid, &out), c.result);
    if (c.result == S_OK) {
      EXPECT_EQ(out, c.object);
      EXPECT_EQ(c.object->Release(), 1u);  // the query's reference
    } else {
      EXPECT_EQ(out, nullptr);
    }
  }
  EXPECT_EQ(manager->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(device->QueryInterface(IID_IADBDevice, nullptr), E_POINTER);
}

class ManagerTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    ASSERT_TRUE(server.ok());
    setenv("ANDROID_ADB_SERVER_PORT", std::to_string(server.port()).c_str(), 1);
    manager.attach(library.manager());
    ASSERT_TRUE(manager);
  }
  void TearDown() override { unsetenv("ANDROID_ADB_SERVER_PORT"); }
  size_t requestsFor(const std::string& payload) const {
    auto all = server.requests();
    return size_t(std::count(all.begin(), all.end(), payload));
  }

  AdbTestServer server;
  Ref<IADBManager> manager;
};

TEST_F(ManagerTest, CountsOnlyUsablePhonesOnEveryCall) {
  server.setDevices({{"0123456789ABCDEF", "device"},
                     {"BADC0FFEE", "unauthorized"},
                     {"emulator-5554", "device"},
                     {"R58M12345", "device"}});
  for (int call = 1; call <= 3; ++call) {
    int32_t count = -1;
    EXPECT_EQ(manager->GetDeviceCount(&count), S_OK);
    EXPECT_EQ(count, 2) << "call " << call;
  }
  EXPECT_EQ(requestsFor("host:devices"), 3u);  // listed afresh each time
  EXPECT_EQ(manager->GetDeviceCount(nullptr), E_FAIL);

  // Slot 3 of the table, called the way a separately built client does.
  using CountFn = HRESULT (*)(IADBManager*, int32_t*);
  auto table = *reinterpret_cast<void* const* const*>(manager.get());
  int32_t count = -1;
  EXPECT_EQ(reinterpret_cast<CountFn>(table[3])(manager.get(), &count), S_OK);
  EXPECT_EQ(count, 2);

  server.setDevices({});
  EXPECT_EQ(manager->GetDeviceCount(&count), E_FAIL);  // nothing attached at all
}

TEST_F(ManagerTest, CopiesSerialsCutToTheBuffer) {
  server.setDevices({{"0123456789ABCDEF", "device"}, {"R58M12345", "device"}});
  struct Case {
    uint32_t index;
    uint32_t size;
    bool withBuffer;
    HRESULT result;
    std::wstring serial;
  } const cases[] = {
      {0, 4, true, S_OK, L"012"},
      {0, 64, true, S_OK, L"0123456789ABCDEF"},
      {1, 64, true, S_OK, L"R58M12345"},
      {2, 64, true, E_FAIL, L"untouched"},
      {0, 0, true, E_FAIL, L"untouched"},
      {0, 64, false, E_FAIL, L"untouched"},
  };
  for (const auto& c : cases) {
    wchar_t buffer[64] = L"untouched";
    EXPECT_EQ(manager->GetDeviceSerial(c.index, c.withBuffer ? buffer : nullptr, c.size), c.result)
        << c.index << "/" << c.size;
    EXPECT_EQ(std::wstring(buffer), c.serial) << c.index << "/" << c.size;
  }
}

TEST_F(ManagerTest, RefusesDevicesItCannotOpen) {
  server.setDevices({{"PHONE1", "device"}, {"PHONE2", "device"}});
  IADBDevice* device = reinterpret_cast<IADBDevice*>(&device);  // stale
  EXPECT_EQ(manager->OpenDevice(2, &device), E_FAIL);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(manager->OpenDevice(0, nullptr), E_FAIL);
  EXPECT_TRUE(server.forwards().empty());

  const size_t requestsBefore = server.requests().size();
  struct Case {
    const char* host;
    int32_t port;
  } const refused[] = {{"127.0.0.1", 0}, {"127.0.0.1", -1}, {"127.0.0.1", 70000}, {nullptr, 12347}};
  for (const auto& c : refused) {
    device = reinterpret_cast<IADBDevice*>(&device);
    EXPECT_EQ(manager->ConnectDevice(c.host, c.port, &device), E_FAIL) << c.port;
    EXPECT_EQ(device, nullptr) << c.port;
  }
  EXPECT_EQ(manager->ConnectDevice("127.0.0.1", 12347, nullptr), E_FAIL);
  EXPECT_EQ(server.requests().size(), requestsBefore);
}

// A device connected straight to the input daemon's test build.
class DirectDeviceTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    port = test::freePort();
    ASSERT_TRUE(phone.startDaemon(daemon, port));
    ASSERT_TRUE(test::waitListening(port, 5s));
    Ref<IADBManager> manager(library.manager());
    ASSERT_TRUE(manager);
    ASSERT_EQ(manager->ConnectDevice("127.0.0.1", port, device.put()), S_OK);
    ASSERT_TRUE(device);
  }

  bool traced(const std::string& line) const {
    return ("\n" + phone.trace()).find("\n" + line + "\n") != std::string::npos;
  }

  test::StandInPhone phone;
  test::ChildProcess daemon;
  int port = 0;
  Ref<IADBDevice> device;
};

// The position records of a touch group on the slot panel.
std::vector<RecordedEvent> touchRecords(int32_t trackingId, int32_t x, int32_t y) {
  return {{EV_ABS, ABS_MT_TRACKING_ID, trackingId}, {EV_ABS, ABS_MT_POSITION_X, x}, {EV_ABS, ABS_MT_POSITION_Y, y}};
}

std::vector<RecordedEvent> only(const std::vector<RecordedEvent>& events, std::set<uint16_t> codes) {
  std::vector<RecordedEvent> kept;
  for (const auto& e : events)
    if (e.type == EV_ABS && codes.count(e.code)) kept.push_back(e);
  return kept;
}

TEST_F(DirectDeviceTest, TouchesAndKeysReachThePhone) {
  EXPECT_EQ(device->Touch(540, 960, TOUCH_TAP), S_OK);
  EXPECT_EQ(device->Touch(100, 200, TOUCH_PRESS), S_OK);
  EXPECT_EQ(device->Touch(100, 200, TOUCH_RELEASE), S_OK);
  for (int32_t action : {0, 4, 5})
    EXPECT_EQ(device->Touch(1, 1, action), E_FAIL) << action;

  auto expected = touchRecords(1, 540, 960);
  for (auto part : {touchRecords(-1, 540, 960), touchRecords(1, 100, 200), touchRecords(-1, 100, 200)})
    expected.insert(expected.end(), part.begin(), part.end());
  EXPECT_EQ(only(phone.panel(), {ABS_MT_TRACKING_ID, ABS_MT_POSITION_X, ABS_MT_POSITION_Y}), expected);

  EXPECT_EQ(device->PressKey(KEY_BACK), S_OK);
  EXPECT_EQ(device->PressKey(KEY_HOME), E_FAIL);  // no node reports it
  EXPECT_EQ(device->IsKeySupported(KEY_VOLUMEUP), S_OK);
  EXPECT_EQ(device->IsKeySupported(KEY_HOME), E_FAIL);
  const RecordedEvent syn{EV_SYN, SYN_REPORT, 0};
  EXPECT_EQ(phone.keys(), (std::vector<RecordedEvent>{{EV_KEY, KEY_BACK, 1}, syn, {EV_KEY, KEY_BACK, 0}, syn}));

  // Slot 6, PressKey, as a separately built client reaches it.
  using KeyFn = HRESULT (*)(IADBDevice*, int32_t);
  auto table = *reinterpret_cast<void* const* const*>(device.get());
  EXPECT_EQ(reinterpret_cast<KeyFn>(table[6])(device.get(), KEY_VOLUMEUP), S_OK);
  EXPECT_EQ(phone.keys().size(), 8u);

  // No monkey path on a direct device.
  EXPECT_EQ(device->TypeChar('a'), E_FAIL);
  EXPECT_EQ(device->PressSpecialKey(1), E_FAIL);
}

TEST_F(DirectDeviceTest, MultiTouchUpToTheFrameLimit) {
  std::vector<tagID_POINTW> points;
  for (uint32_t i = 0; i < 22; ++i) points.push_back({i, 10 * i, 20 * i});

  EXPECT_EQ(device->MultiTouchPoints(19, points.data(), MULTI_TOUCH_MOVE), S_OK);
  EXPECT_EQ(device->MultiTouchPoints(22, points.data(), MULTI_TOUCH_MOVE), S_OK);
  const int32_t ids[] = {0, 1}, xs[] = {0, 0}, ys[] = {0, 0};
  EXPECT_EQ(device->MultiTouch(2, ids, xs, ys, MULTI_TOUCH_RELEASE), S_OK);
  // A command answered after both shows the daemon is still in step.
  EXPECT_EQ(device->IsKeySupported(KEY_BACK), S_OK);

  EXPECT_TRUE(traced("loop cmdlen 248"));   // 19 contacts
  EXPECT_FALSE(traced("loop cmdlen 284"));  // 22 contacts: never sent
  EXPECT_TRUE(traced("loop cmdlen 44"));    // the release of 2
  auto slots = only(phone.panel(), {ABS_MT_TRACKING_ID});
  ASSERT_EQ(slots.size(), 12u);  // 10 contacts go down (the daemon's limit), 2 come up
  EXPECT_EQ(slots[9], (RecordedEvent{EV_ABS, ABS_MT_TRACKING_ID, 9}));
  EXPECT_EQ(slots[11], (RecordedEvent{EV_ABS, ABS_MT_TRACKING_ID, -1}));

  struct Case {
    const char* name;
    HRESULT result;
  } const refused[] = {
      {"count 0", device->MultiTouchPoints(0, points.data(), MULTI_TOUCH_MOVE)},
      {"negative count", device->MultiTouchPoints(-1, points.data(), MULTI_TOUCH_MOVE)},
      {"no points", device->MultiTouchPoints(1, nullptr, MULTI_TOUCH_MOVE)},
      {"action 4", device->MultiTouchPoints(1, points.data(), 4)},
      {"no ids", device->MultiTouch(1, nullptr, xs, ys, MULTI_TOUCH_MOVE)},
      {"no ys", device->MultiTouch(1, ids, xs, nullptr, MULTI_TOUCH_MOVE)},
      {"action 7", device->MultiTouch(1, ids, xs, ys, 7)},
  };
  for (const auto& c : refused) EXPECT_EQ(c.result, E_FAIL) << c.name;
}

TEST_F(DirectDeviceTest, TwoCallingThreadsKeepTheirRepliesApart) {
  // One thread's commands succeed, the other's fail: a reply taken by the
  // wrong thread shows as a wrong result.
  std::atomic<int> wrong{0};
  auto caller = [&](bool press) {
    for (int i = 0; i < 200; ++i) {
      HRESULT r = press ? device->PressKey(KEY_VOLUMEUP) : device->IsKeySupported(KEY_HOME);
      if (r != (press ? S_OK : E_FAIL)) ++wrong;
    }
  };
  std::thread other(caller, true);
  caller(false);
  other.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(phone.keys().size(), 800u);
}

TEST_F(DirectDeviceTest, ReleasingTheDeviceEndsTheDaemon) {
  EXPECT_EQ(device->IsKeySupported(KEY_BACK), S_OK);
  EXPECT_EQ(device.reset(), 0u);
  EXPECT_EQ(daemon.wait(15s), 0);
}

// A peer on a free loopback port that greets each connection and answers the
// frames it gets with scripted bytes, for the replies the real daemon never
// gives. It records every request frame.
class ScriptedDaemon {
 public:
  ScriptedDaemon(std::string greeting, std::vector<Bytes> replies)
      : greeting_(std::move(greeting)), replies_(std::move(replies)), thread_([this] { run(); }) {}
  ~ScriptedDaemon() {
    stop_ = true;
    thread_.join();
  }
  int port() const { return listener_.port(); }
  std::vector<Bytes> frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  int connections() const { return connections_; }

 private:
  bool readExactly(int fd, uint8_t* out, size_t size) {
    while (size > 0) {
      if (stop_) return false;
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      ssize_t n = recv(fd, out, size, 0);
      if (n <= 0) return false;
      out += n;
      size -= size_t(n);
    }
    return true;
  }

  void run() {
    size_t next = 0;
    while (!stop_) {
      int fd = listener_.accept(50ms);
      if (fd < 0) continue;
      ++connections_;
      test::sendAll(fd, greeting_.data(), greeting_.size());
      for (;;) {
        Bytes frame(4);
        if (!readExactly(fd, frame.data(), 4)) break;
        uint32_t length = readWord(frame.data());
        if (length < 4 || length > 1024) break;
        frame.resize(length);
        if (!readExactly(fd, frame.data() + 4, length - 4)) break;
        {
          std::lock_guard lock(mutex_);
          frames_.push_back(frame);
        }
        if (next < replies_.size()) test::sendAll(fd, replies_[next].data(), replies_[next].size());
        ++next;
      }
      close(fd);
    }
  }

  test::Listener listener_;
  std::string greeting_;
  std::vector<Bytes> replies_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<Bytes> frames_;
  std::thread thread_;
};

Bytes reply(uint32_t status, uint32_t trailer) {
  Bytes frame(16);
  buildFrame(status, nullptr, 0, frame.data(), frame.size());
  writeWord(frame.data() + 12, trailer);
  return frame;
}
Bytes reply(uint32_t status) { return reply(status, status); }

Bytes oversizeReply() {
  Bytes frame(300, 0xAB);
  writeWord(frame.data(), 300);
  return frame;
}

Bytes request(uint32_t command, const Bytes& payload) {
  Bytes frame(payload.size() + FRAME_OVERHEAD);
  buildFrame(command, payload.data(), payload.size(), frame.data(), frame.size());
  return frame;
}

Bytes keyPayload(uint32_t code) {
  Bytes p(4);
  buildKeyPayload(code, p.data());
  return p;
}

TEST_F(LibraryTest, AnswersTheRealDaemonNeverGives) {
  // CMD_TOUCH_DOWN at (540, 960), byte for byte.
  const Bytes touchDown = {0x18, 0x00, 0x00, 0x00, 0x01, 0x11, 0x22, 0x11, 0x03, 0x33, 0x22, 0x11,
                           0x1C, 0x02, 0x00, 0x00, 0xC0, 0x03, 0x00, 0x00, 0x03, 0x33, 0x22, 0x11};
  const Bytes back = request(CMD_KEY_PRESS, keyPayload(KEY_BACK));
  struct Case {
    const char* name;
    std::vector<Bytes> replies;
    std::function<std::vector<HRESULT>(IADBDevice&)> calls;
    std::vector<HRESULT> results;
    std::vector<Bytes> frames;
  } const cases[] = {
      {"a refused press is not released",
       {reply(STATUS_FAILED), reply(STATUS_OK)},
       [](IADBDevice& d) { return std::vector<HRESULT>{d.Touch(540, 960, TOUCH_TAP), d.PressKey(KEY_BACK)}; },
       {E_FAIL, S_OK},
       {touchDown, back}},
      {"status and trailer differ",
       {reply(STATUS_OK, STATUS_FAILED), reply(STATUS_OK)},
       [](IADBDevice& d) { return std::vector<HRESULT>{d.PressKey(KEY_BACK), d.PressKey(KEY_BACK)}; },
       {E_FAIL, S_OK},
       {back, back}},
      {"an oversize reply is drained",
       {oversizeReply(), reply(STATUS_OK)},
       [](IADBDevice& d) { return std::vector<HRESULT>{d.PressKey(KEY_BACK), d.PressKey(KEY_BACK)}; },
       {E_FAIL, S_OK},
       {back, back}},
      {"a refused multi-touch still succeeds",
       {reply(STATUS_FAILED)},
       [](IADBDevice& d) {
         const tagID_POINTW point{7, 1, 2};
         return std::vector<HRESULT>{d.MultiTouchPoints(1, &point, MULTI_TOUCH_MOVE)};
       },
       {S_OK},
       {request(CMD_MULTI_TOUCH, {1, 0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0})}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDaemon peer("hello", c.replies);
    Ref<IADBManager> manager(library.manager());
    Ref<IADBDevice> device;
    ASSERT_EQ(manager->ConnectDevice("127.0.0.1", peer.port(), device.put()), S_OK);
    EXPECT_EQ(c.calls(*device.get()), c.results);
    EXPECT_EQ(peer.frames(), c.frames);
  }
}

TEST_F(LibraryTest, ADaemonWithoutTheGreetingIsNeverUsed) {
  ScriptedDaemon peer("hellx", {});
  Ref<IADBManager> manager(library.manager());
  Ref<IADBDevice> device;
  EXPECT_EQ(manager->ConnectDevice("127.0.0.1", peer.port(), device.put()), E_FAIL);
  EXPECT_EQ(device.get(), nullptr);
  EXPECT_EQ(peer.connections(), 10);
  EXPECT_TRUE(peer.frames().empty());
}

}  // namespace
}  // namespace tavrin
