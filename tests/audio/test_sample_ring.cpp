// The ring that carries composed output from the capture stream to the playback stream.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "audio/sample_ring.hpp"

namespace {

std::vector<float> counting(int from, int count) {
  std::vector<float> samples(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) samples[static_cast<std::size_t>(i)] = static_cast<float>(from + i);
  return samples;
}

TEST(SampleRing, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
  SampleRing<8> ring;
  std::vector<float> out(8);
  ASSERT_EQ(ring.push(counting(0, 6).data(), 6), 6u);
  ASSERT_EQ(ring.pop(out.data(), 4), 4u);
  EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 4), counting(0, 4));
  EXPECT_EQ(ring.push(counting(6, 10).data(), 10), 6u);  // room for 6 of 10; the rest is dropped
  EXPECT_EQ(ring.waiting(), 8u);
  EXPECT_EQ(ring.pop(out.data(), 20), 8u);  // never more than waits
  EXPECT_EQ(out, counting(4, 8));
  EXPECT_EQ(ring.pop(out.data(), 1), 0u);
}

TEST(SampleRing, DroppingKeepsTheNewestSamples) {
  SampleRing<16> ring;
  ring.push(counting(0, 10).data(), 10);
  EXPECT_EQ(ring.dropAllBut(12), 0u);
  EXPECT_EQ(ring.dropAllBut(3), 7u);
  std::vector<float> out(3);
  ASSERT_EQ(ring.pop(out.data(), 3), 3u);
  EXPECT_EQ(out, counting(7, 3));
}

// One thread writes a count in uneven pieces while the other reads and drops:
// whatever arrives is in order with nothing torn (ThreadSanitizer watches too).
TEST(SampleRing, AWriterAndAReaderOnTwoThreadsSeeOneOrderedStream) {
  SampleRing<64> ring;
  constexpr int kTotal = 200000;
  std::thread writer([&ring] {
    for (int next = 0; next < kTotal;) {
      const int piece = std::min(1 + next % 37, kTotal - next);
      const std::vector<float> samples = counting(next, piece);
      next += static_cast<int>(ring.push(samples.data(), samples.size()));
    }
  });
  float last = -1.0f;
  bool ordered = true;
  std::vector<float> out(29);
  for (int round = 0; last < kTotal - 1; ++round) {
    if (round % 50 == 0) ring.dropAllBut(16);
    const std::size_t got = ring.pop(out.data(), out.size());
    for (std::size_t i = 0; i < got; ++i) {
      ordered = ordered && out[i] > last;
      last = out[i];
    }
  }
  writer.join();
  EXPECT_TRUE(ordered);
  EXPECT_EQ(last, static_cast<float>(kTotal - 1));
}

}  // namespace
