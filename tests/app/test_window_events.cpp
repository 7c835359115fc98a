// Pointer events: client pixels scaled to picture pixels, buttons, the left click.

#include <gtest/gtest.h>

#include <memory>

#include "app/shell.hpp"
#include "core/tuner_state.hpp"
#include "recording_host.hpp"

namespace {

struct Mapping {
  int clientWidth, clientHeight, x, y, mouseX, mouseY;
};

class PointerMapping : public ::testing::TestWithParam<Mapping> {};

TEST_P(PointerMapping, ScalesToThePictureRoundingHalfToEven) {
  const auto record = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& tuner = *record;
  RecordingHost host;
  const Mapping& m = GetParam();
  dispatchEvent(tuner, host, {WindowEvent::PointerMove, m.x, m.y, m.clientWidth, m.clientHeight});
  EXPECT_EQ(tuner.pointer.x, m.mouseX);
  EXPECT_EQ(tuner.pointer.y, m.mouseY);
}

INSTANTIATE_TEST_SUITE_P(Clients, PointerMapping,
                         ::testing::Values(Mapping{640, 480, 0, 0, 0, 0},          // identity
                                           Mapping{640, 480, 639, 479, 639, 479},  //
                                           // a whole multiple: each 2 x 2 block is its picture pixel
                                           Mapping{1280, 960, 1279, 959, 639, 479},
                                           Mapping{1280, 960, 1, 1, 0, 0},
                                           Mapping{1280, 960, 3, 3, 1, 1},
                                           Mapping{1920, 480, 1919, 479, 639, 479},  // 3 across, 1 down
                                           // stretched: 2.5 and 7.5 round to even, 639.51 to one past the end
                                           Mapping{768, 576, 3, 3, 2, 2},
                                           Mapping{768, 576, 9, 9, 8, 8},
                                           Mapping{1300, 975, 1299, 974, 640, 480},
                                           Mapping{320, 240, 100, 60, 200, 120},
                                           Mapping{0, 0, 5, 6, 5, 6}));  // a collapsed window maps nothing

// At every scale the --scale option offers, every client pixel of a picture pixel's block maps to it.
TEST(WholeScalePointer, EveryPixelOfABlockMapsToItsPicturePixelAtEveryScale) {
  const auto record = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& tuner = *record;
  RecordingHost host;
  for (int scale = 1; scale <= kMostWindowScale; ++scale) {
    const int width = kPictureWidth * scale, height = kPictureHeight * scale;
    for (int x = 0; x < width; ++x) {
      const int y = x % height;
      dispatchEvent(tuner, host, {WindowEvent::PointerMove, x, y, width, height});
      ASSERT_EQ(tuner.pointer.x, x / scale) << "scale " << scale << ", x " << x;
      ASSERT_EQ(tuner.pointer.y, y / scale) << "scale " << scale << ", y " << y;
    }
  }
}

TEST(PointerButtons, PressesAndReleasesSetTheirFlags) {
  const auto record = std::make_unique<TunerState>();  // large: kept off the stack
  TunerState& tuner = *record;
  RecordingHost host;
  dispatchEvent(tuner, host, {WindowEvent::LeftDown});
  EXPECT_TRUE(tuner.pointer.leftDown);
  EXPECT_TRUE(tuner.pointer.leftClicked);
  dispatchEvent(tuner, host, {WindowEvent::LeftUp});
  EXPECT_FALSE(tuner.pointer.leftDown);
  EXPECT_TRUE(tuner.pointer.leftClicked);  // cleared by the loop after the next frame step
  dispatchEvent(tuner, host, {WindowEvent::RightDown});
  EXPECT_TRUE(tuner.pointer.rightDown);
  dispatchEvent(tuner, host, {WindowEvent::RightUp});
  EXPECT_FALSE(tuner.pointer.rightDown);
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
