#include "inputhelper/tests/StandInPhone.h"

namespace tavrin::test {

StandInPhone::StandInPhone() {
  StandInNode panel;
  panel.types = {EV_SYN, EV_KEY, EV_ABS};
  panel.absAxes = {ABS_X, ABS_Y, ABS_MT_SLOT, ABS_MT_POSITION_X, ABS_MT_POSITION_Y};
  panel.keys = {BTN_TOUCH};
  panel.ranges = {{ABS_X, {0, 0}}, {ABS_Y, {0, 0}}, {ABS_MT_POSITION_X, {0, 1079}},
                  {ABS_MT_POSITION_Y, {0, 2339}}};
  StandInNode buttons;
  buttons.types = {EV_SYN, EV_KEY};
  buttons.keys = {KEY_BACK, KEY_VOLUMEUP};
  StandInNodes::writeCaps(nodes_.file("event1"), panel);
  StandInNodes::writeCaps(nodes_.file("event2"), buttons);
}

std::vector<std::string> StandInPhone::daemonArgv(int port) const {
  return {TAVRIN_TEST_BIN_DIR "/input_daemon_testbuild", std::to_string(port)};
}

std::map<std::string, std::string> StandInPhone::daemonEnv() const {
  return {{"TAVRIN_INPUT_DIR", nodes_.path()}, {"TAVRIN_LOG_DIR", logs_.path()}, {"TAVRIN_INPUT_BACKEND", ""}};
}

bool StandInPhone::startDaemon(ChildProcess& daemon, int port) const {
  return daemon.start(daemonArgv(port), daemonEnv()) && daemon.readLine(5s) == "TOKEN-SUCCESS";
}

}  // namespace tavrin::test
