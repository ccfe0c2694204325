// The X display backend: the daemon (test build) with TAVRIN_INPUT_BACKEND=x11
// drives the pointer and keyboard of a private Xvfb.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

// After gtest: Xlib's macros (None, Bool, Status) would clash with its templates.
#include <X11/Xlib.h>
#undef None
#undef Bool
#undef Status

#include "phone/input/tests/InputTestClient.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestNet.h"
#include "tests/support/Xvfb.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;

struct PointerState {
  int x = -1, y = -1;
  bool button1 = false;
};

PointerState pointerOn(const std::string& display) {
  PointerState state;
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return state;
  Window root, child;
  int winX, winY;
  unsigned mask = 0;
  XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &state.x, &state.y, &winX, &winY, &mask);
  state.button1 = mask & Button1Mask;
  XCloseDisplay(dpy);
  return state;
}

class XTestBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(xvfb.ok());
    int port = test::freePort();
    // An empty node folder: the X backend must not need any event node.
    ASSERT_TRUE(daemon.start({TAVRIN_TEST_BIN_DIR "/input_daemon_testbuild", std::to_string(port)},
                             {{"TAVRIN_INPUT_BACKEND", "x11"},
                              {"DISPLAY", xvfb.display()},
                              {"TAVRIN_INPUT_DIR", nodes.path()}}));
    ASSERT_EQ(daemon.readLine(5s), "TOKEN-SUCCESS");
    ASSERT_TRUE(client.connect(port));
    ASSERT_TRUE(client.readGreeting());
  }

  test::Xvfb xvfb;
  test::TempDir nodes;
  test::ChildProcess daemon;
  test::InputTestClient client;
};

TEST_F(XTestBackendTest, TouchDrivesThePointerAndButtonOne) {
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_TOUCH_DOWN, test::pointPayload(100, 200))), STATUS_OK);
  PointerState down = pointerOn(xvfb.display());
  EXPECT_EQ(down.x, 100);
  EXPECT_EQ(down.y, 200);
  EXPECT_TRUE(down.button1);

  EXPECT_EQ(client.exchange(test::requestFrame(CMD_TOUCH_UP, test::pointPayload(100, 200))), STATUS_OK);
  EXPECT_FALSE(pointerOn(xvfb.display()).button1);

  // Multi-touch: the first contact leads; a second one does not move the pointer.
  std::vector<Contact> two = {{4, 300, 310}, {5, 900, 910}};
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_MULTI_TOUCH, test::contactsPayload(two))), STATUS_OK);
  two[0].x = 320;
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_MULTI_TOUCH, test::contactsPayload(two))), STATUS_OK);
  PointerState moved = pointerOn(xvfb.display());
  EXPECT_EQ(moved.x, 320);
  EXPECT_EQ(moved.y, 310);
  EXPECT_TRUE(moved.button1);
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_MULTI_TOUCH_UP, test::contactsPayload({two[1]}))), STATUS_OK);
  EXPECT_TRUE(pointerOn(xvfb.display()).button1);
  EXPECT_EQ(client.exchange(test::requestFrame(CMD_MULTI_TOUCH_UP, test::contactsPayload({two[0]}))), STATUS_OK);
  EXPECT_FALSE(pointerOn(xvfb.display()).button1);
}

TEST_F(XTestBackendTest, KeysFollowTheKeyboardMap) {
  struct {
    uint32_t code;
    uint32_t command;
    uint32_t status;
  } const cases[] = {
      {KEY_A, CMD_KEY_QUERY, STATUS_OK},
      {KEY_A, CMD_KEY_PRESS, STATUS_OK},
      {KEY_BACK, CMD_KEY_QUERY, STATUS_OK},
      {766, CMD_KEY_QUERY, STATUS_FAILED},  // beyond X's 255 key codes
      {767, CMD_KEY_PRESS, STATUS_FAILED},
  };
  for (const auto& c : cases)
    EXPECT_EQ(client.exchange(test::requestFrame(c.command, test::keyPayload(c.code))), c.status) << c.code;
}

}  // namespace
}  // namespace tavrin
