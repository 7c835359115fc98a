// The queue that hands every block to MIDI out in order, whatever the frame step takes.

#include <atomic>
#include <thread>

#include "audio/block_queue.hpp"

#include "audio_fixture.hpp"

namespace {

// Sample i of block b: tells blocks and positions apart, exact in float.
float sampleOf(long b, int i) { return static_cast<float>(b % 64) / 128.0f + static_cast<float>(i) / 65536.0f; }

std::vector<float> blocks(long first, long count) {
  std::vector<float> samples(static_cast<std::size_t>(count) * kBlockSize);
  for (long b = 0; b < count; ++b)
    for (int i = 0; i < kBlockSize; ++i) samples[static_cast<std::size_t>(b * kBlockSize + i)] = sampleOf(first + b, i);
  return samples;
}

class QueuedBlocks : public AudioState {
 protected:
  void SetUp() override {
    AudioState::SetUp();
    startBlockQueue(audio.blocks);
  }
  void TearDown() override {
    stopBlockQueue(audio.blocks);
    QueuedBlock left;
    while (takeQueuedBlock(audio.blocks, left)) {}
    AudioState::TearDown();
  }
  void feed(long first, long count) { runCallback(static_cast<unsigned long>(count) * kBlockSize, blocks(first, count)); }
  QueuedBlock taken;
};

// A callback that completes three blocks leaves the frame step only the last; the queue keeps them all.
TEST_F(QueuedBlocks, BlocksCompletedInOneCallbackAreAllQueuedOldestFirstBeforeGain) {
  tuner.controls.inputGain = 4.0f;
  feed(0, 3);
  for (std::uint32_t b = 0; b < 3; ++b) {
    ASSERT_TRUE(takeQueuedBlock(audio.blocks, taken)) << b;
    EXPECT_EQ(taken.number, b);
    EXPECT_EQ(taken.gain, 4.0f);
    for (int i = 0; i < kBlockSize; ++i) ASSERT_EQ(taken.samples[i], sampleOf(b, i)) << "block " << b << " sample " << i;
  }
  EXPECT_FALSE(takeQueuedBlock(audio.blocks, taken));
}

TEST_F(QueuedBlocks, AFullQueueDropsTheNewestAndTheNumbersShowTheGap) {
  feed(0, kQueuedBlocks + 3);
  for (int b = 0; b < kQueuedBlocks; ++b) {
    ASSERT_TRUE(takeQueuedBlock(audio.blocks, taken));
    ASSERT_EQ(taken.number, static_cast<std::uint32_t>(b));
  }
  EXPECT_FALSE(takeQueuedBlock(audio.blocks, taken));
  feed(kQueuedBlocks + 3, 1);
  ASSERT_TRUE(takeQueuedBlock(audio.blocks, taken));
  EXPECT_EQ(taken.number, static_cast<std::uint32_t>(kQueuedBlocks + 3));
  EXPECT_EQ(taken.samples[5], sampleOf(kQueuedBlocks + 3, 5));
}

TEST_F(QueuedBlocks, NothingIsQueuedWhileOffAndAStartBeginsAfresh) {
  feed(0, 2);
  stopBlockQueue(audio.blocks);
  feed(2, 2);
  int waiting = 0;
  while (takeQueuedBlock(audio.blocks, taken)) ++waiting;
  EXPECT_EQ(waiting, 2);
  startBlockQueue(audio.blocks);
  feed(4, 1);
  ASSERT_TRUE(takeQueuedBlock(audio.blocks, taken));
  EXPECT_EQ(taken.number, 0u);
  EXPECT_EQ(taken.samples[0], sampleOf(4, 0));
}

// The callback on its own thread against a reader taking as it goes: every block whole and in
// order; a block the full queue dropped shows as a jump in the numbers, never as a torn block.
TEST_F(QueuedBlocks, AReaderOnAnotherThreadSeesEveryBlockWholeAndInOrder) {
  constexpr long kBlocks = 200;
  std::atomic<bool> finished{false};
  std::thread audioThread([this, &finished] {
    for (long b = 0; b < kBlocks; ++b) feed(b, 1);
    finished.store(true, std::memory_order_release);
  });
  long seen = 0;
  long expected = 0;
  for (;;) {
    const bool wasFinished = finished.load(std::memory_order_acquire);
    if (!takeQueuedBlock(audio.blocks, taken)) {
      if (wasFinished) break;
      std::this_thread::yield();
      continue;
    }
    bool whole = static_cast<long>(taken.number) >= expected;
    for (int i = 0; i < kBlockSize && whole; ++i) whole = taken.samples[i] == sampleOf(taken.number, i);
    EXPECT_TRUE(whole) << "block " << taken.number << " after " << expected - 1;
    expected = taken.number + 1;
    ++seen;
  }
  audioThread.join();
  EXPECT_GE(seen, kQueuedBlocks);
}

}  // namespace
