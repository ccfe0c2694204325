#pragma once

// The binary interface of libtavrininputhelper.so, for the client that loads
// it at run time. Objects cross the boundary as COM-style interfaces: the
// operations below are the slots of each table in this order, the first
// three being query, add reference and release. The interfaces have no
// virtual destructor, so their tables hold exactly these operations; an
// object is destroyed by its last Release().
//
// The library exports, with C linkage:
//   HRESULT DllCreateObject(const GUID* id, void** object, int32_t flag);
//   HRESULT DllCanUnloadNow();

#include <cstdint>
#include <cstring>

namespace tavrin {

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOTIMPL = int32_t(0x80004001);
constexpr HRESULT E_POINTER = int32_t(0x80004003);
constexpr HRESULT E_FAIL = int32_t(0x80004005);
constexpr HRESULT CO_E_DLLNOTFOUND = int32_t(0x800401F8);

// The Windows in-memory layout: 16 bytes, the first three fields little-endian.
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// {C99002D7-3F7E-4018-A7D2-4E389A0B5AB6}
inline constexpr GUID IID_IADBManager = {0xC99002D7, 0x3F7E, 0x4018,
                                         {0xA7, 0xD2, 0x4E, 0x38, 0x9A, 0x0B, 0x5A, 0xB6}};
// {62DFDB58-6B25-4B95-AA10-DFA3F2C611CD}
inline constexpr GUID IID_IADBDevice = {0x62DFDB58, 0x6B25, 0x4B95,
                                        {0xAA, 0x10, 0xDF, 0xA3, 0xF2, 0xC6, 0x11, 0xCD}};
// {00000000-0000-0000-C000-000000000046}
inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                      {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// One contact: the caller's contact id and its position in the touch
// panel's axis units.
struct tagID_POINTW {
  uint32_t id;
  uint32_t x;
  uint32_t y;
};
static_assert(sizeof(tagID_POINTW) == 12);

class IUnknown {
 public:
  // S_OK and a new reference for IID_IUnknown and the object's own
  // interface; E_NOTIMPL for others; E_POINTER without `object`.
  virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
  virtual uint32_t AddRef() = 0;
  // At 0 the object is destroyed.
  virtual uint32_t Release() = 0;
};

class IADBDevice;

// The phones of the local adb server.
class IADBManager : public IUnknown {
 public:
  // Phones in state "device", emulators left out. E_FAIL when the adb server
  // cannot list them, also when it lists nothing at all.
  virtual HRESULT GetDeviceCount(int32_t* count) = 0;
  // The serial of phone `index`, cut to size - 1 characters and terminated.
  virtual HRESULT GetDeviceSerial(uint32_t index, wchar_t* serial, uint32_t size) = 0;
  // A device started over USB: ports forwarded, the input daemon and the
  // monkey server started through adb shells held open.
  virtual HRESULT OpenDevice(uint32_t index, IADBDevice** device) = 0;
  // A device connected straight to an input daemon already running at
  // host:port (dotted IPv4). No monkey path.
  virtual HRESULT ConnectDevice(const char* host, int32_t port, IADBDevice** device) = 0;
};

// Touch actions of Touch() and MultiTouch*().
enum : int32_t {
  TOUCH_TAP = 1,
  TOUCH_PRESS = 2,
  TOUCH_RELEASE = 3,
  MULTI_TOUCH_MOVE = 5,
  MULTI_TOUCH_RELEASE = 6,
};

// One phone. Every operation gives S_OK or E_FAIL.
class IADBDevice : public IUnknown {
 public:
  // TOUCH_TAP (press then release), TOUCH_PRESS or TOUCH_RELEASE at (x, y);
  // S_OK when the phone acknowledged every step.
  virtual HRESULT Touch(int32_t x, int32_t y, int32_t action) = 0;
  // MULTI_TOUCH_MOVE or MULTI_TOUCH_RELEASE of `count` contacts; S_OK once
  // sent, the phone's answer is not examined.
  virtual HRESULT MultiTouch(int32_t count, const int32_t* ids, const int32_t* xs, const int32_t* ys,
                             int32_t action) = 0;
  virtual HRESULT MultiTouchPoints(int32_t count, const tagID_POINTW* points, int32_t action) = 0;
  // Linux input key codes (158 back, 102 home, ...).
  virtual HRESULT PressKey(int32_t keyCode) = 0;
  virtual HRESULT IsKeySupported(int32_t keyCode) = 0;
  // Monkey path (USB devices only): one character of text, a space as the
  // space key.
  virtual HRESULT TypeChar(char c) = 0;
  // 1 up, 2 right, 3 down, 4 left, 5 delete, 6 enter, 7 tab, 8 left shift.
  virtual HRESULT PressSpecialKey(int32_t key) = 0;
};

using DllCreateObjectFn = HRESULT (*)(const GUID* id, void** object, int32_t flag);
using DllCanUnloadNowFn = HRESULT (*)();

constexpr const char* INPUT_HELPER_LIBRARY = "libtavrininputhelper.so";

}  // namespace tavrin
