// Pointer events: client pixels scaled to picture pixels, buttons, the left click.

#include <gtest/gtest.h>

#include "app/shell.hpp"
#include "core/tuner_state.hpp"
#include "recording_host.hpp"

namespace {

struct Mapping {
  int clientWidth, clientHeight, x, y, mouseX, mouseY;
};

class PointerMapping : public ::testing::TestWithParam<Mapping> {};

TEST_P(PointerMapping, ScalesToThePictureRoundingHalfToEven) {
  resetTunerState();
  RecordingHost host;
  const Mapping& m = GetParam();
  dispatchEvent(host, {WindowEvent::PointerMove, m.x, m.y, m.clientWidth, m.clientHeight});
  EXPECT_EQ(tuner.mouseX, m.mouseX);
  EXPECT_EQ(tuner.mouseY, m.mouseY);
}

INSTANTIATE_TEST_SUITE_P(Clients, PointerMapping,
                         ::testing::Values(Mapping{640, 480, 0, 0, 0, 0},          // identity
                                           Mapping{640, 480, 639, 479, 639, 479},  //
                                           Mapping{1280, 960, 1279, 959, 640, 480},  // 639.5 rounds to even
                                           Mapping{1280, 960, 1, 1, 0, 0},           // 0.5 rounds to even
                                           Mapping{1280, 960, 3, 3, 2, 2},           // 1.5 rounds to even
                                           Mapping{320, 240, 100, 60, 200, 120},
                                           Mapping{0, 0, 5, 6, 5, 6}));  // a collapsed window maps nothing

TEST(PointerButtons, PressesAndReleasesSetTheirFlags) {
  resetTunerState();
  RecordingHost host;
  dispatchEvent(host, {WindowEvent::LeftDown});
  EXPECT_TRUE(tuner.leftDown);
  EXPECT_TRUE(tuner.leftClicked);
  dispatchEvent(host, {WindowEvent::LeftUp});
  EXPECT_FALSE(tuner.leftDown);
  EXPECT_TRUE(tuner.leftClicked);  // cleared by the loop after the next frame step
  dispatchEvent(host, {WindowEvent::RightDown});
  EXPECT_TRUE(tuner.rightDown);
  dispatchEvent(host, {WindowEvent::RightUp});
  EXPECT_FALSE(tuner.rightDown);
}

TEST(Keyboard, AllKeysReadUpWhenNoStateCanBeHad) {
  ScriptedKeys keys;
  KeyboardDevice device(keys);
  keys.press(DIK_RETURN);
  device.poll();
  EXPECT_TRUE(device.isKeyDown(DIK_RETURN));
  EXPECT_FALSE(device.isKeyDown(DIK_NUMPADENTER));
  keys.available = false;
  device.poll();
  EXPECT_FALSE(device.isKeyDown(DIK_RETURN));
  EXPECT_FALSE(device.isKeyDown(-1));
  EXPECT_FALSE(device.isKeyDown(256));
}

}  // namespace
