#include <gtest/gtest.h>

#include "client/overlay/MessageBoard.h"
#include "client/overlay/MessageLayer.h"

using namespace tavrin;

TEST(MessageBoard, StickyNoticeBlocksTooltipsUntilItExpires) {
  MessageBoard board;
  board.show("请您先打开游戏", 3000, true, 1000);
  board.show("tooltip", 1000, false, 1500);
  EXPECT_EQ(board.current(1500), "请您先打开游戏");
  EXPECT_EQ(board.current(3999), "请您先打开游戏");
  EXPECT_EQ(board.current(4000), "");  // expired and cleared
  board.show("tooltip", 1000, false, 4100);
  EXPECT_EQ(board.current(4100), "tooltip");
}

TEST(MessageBoard, LaterTooltipReplacesAndRunsItsOwnTime) {
  MessageBoard board;
  board.show("first", 1000, false, 0);
  board.show("second", 1000, false, 200);
  EXPECT_EQ(board.current(1100), "second");
  EXPECT_EQ(board.current(1199), "second");
  EXPECT_EQ(board.current(1200), "");
  board.show(nullptr, 1000, false, 1300);
  EXPECT_EQ(board.current(1300), "");
}

TEST(MessageBoard, LongTextIsCutOnCharacterBoundaries) {
  MessageBoard board;
  std::string text;
  for (int i = 0; i < 400; ++i) text += "断";  // 3 bytes each, 1200 bytes
  board.show(text.c_str(), 1000, false, 0);
  const std::string& shown = board.current(0);
  EXPECT_LE(shown.size(), MessageBoard::STORAGE - 1);
  EXPECT_EQ(shown.size() % 3, 0u);
  EXPECT_EQ(shown, text.substr(0, shown.size()));
  EXPECT_EQ(cutUtf8("ab断", 3), "ab");
  EXPECT_EQ(cutUtf8("ab断", 5), "ab断");
}

TEST(MessageLayer, FontSizeAndTextAreaFollowTheView) {
  EXPECT_EQ(CMessageLayer::fontSizeFor(1280), 42);
  EXPECT_EQ(CMessageLayer::textAreaFor(720, 1280, 0), (Rect{0, 640, 720, 640}));
  EXPECT_EQ(CMessageLayer::textAreaFor(720, 1280, 1), (Rect{0, 360, 1280, 360}));
  EXPECT_EQ(CMessageLayer::textAreaFor(720, 1280, 2), (Rect{0, 640, 720, 640}));
}
