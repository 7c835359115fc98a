// The output WAV: byte for byte libsndfile's own below the RIFF limit, RF64 past it. A test
// cannot write 4 GiB, so the limit is lowered here; the header fields are read as any reader would.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "io/sound_output.hpp"
#include "lying_sounds.hpp"
#include "platform/file_writes.hpp"
#include "scratch_dir.hpp"
#include "system_calls.hpp"

namespace {

constexpr std::uint64_t kHeaderBytes = 80;  // libsndfile's float WAV header, and the RF64 one
constexpr std::size_t kPeakTimeAt = 60;     // the PEAK chunk's write time: libsndfile's own writer stamps it

std::vector<float> ramp(std::size_t count) {
  std::vector<float> samples(count);
  for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<float>(i % 1000) / 1000.0f - 0.5f;
  return samples;
}

std::uint64_t little(const lying::Bytes& bytes, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
  return value;
}

std::string text(const lying::Bytes& bytes, std::size_t at) { return std::string(bytes.begin() + at, bytes.begin() + at + 4); }

// Writes `samples` through the writer with `limit` as its largest RIFF size; false with why.
bool writeThrough(const std::string& path, const std::vector<float>& samples, std::uint64_t limit, std::string& reason) {
  FloatWavWriter writer(limit);
  const int fd = createOrEmpty(path, reason);
  if (fd < 0 || !writer.open(fd, path, reason)) return false;
  if (!writer.write(samples.data(), static_cast<int>(samples.size()))) return false;
  return writer.close(reason);
}

// The RIFF size is the file's length less 8: up to the limit the file is libsndfile's own WAV byte
// for byte, one sample more makes it RF64, which reads back whole.
TEST(SoundOutput, PastTheLimitTheHeaderIsRf64WithTheTrueLength) {
  ScratchDir dir("sound-output");
  const std::uint64_t limit = kHeaderBytes - 8 + 4 * 3000;
  const struct {
    std::size_t samples;
    bool rf64;
  } cases[] = {{2999, false}, {3000, false}, {3001, true}, {20000, true}};
  for (const auto& c : cases) {
    const std::vector<float> samples = ramp(c.samples);
    std::string reason;
    ASSERT_TRUE(writeThrough("out.wav", samples, limit, reason)) << reason;
    lying::Bytes bytes = lying::readBytes("out.wav");
    ASSERT_EQ(bytes.size(), kHeaderBytes + 4 * c.samples) << c.samples;
    EXPECT_EQ(text(bytes, 0), c.rf64 ? "RF64" : "RIFF") << c.samples;
    if (!c.rf64) {
      ASSERT_TRUE(lying::writeTrue("plain.wav", samples, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
      lying::Bytes plain = lying::readBytes("plain.wav");
      for (std::size_t i = kPeakTimeAt; i < kPeakTimeAt + 4; ++i) plain[i] = 0;
      EXPECT_EQ(bytes, plain) << c.samples << ": the same samples give the same bytes, the time left at 0";
    }
    SF_INFO info{};
    SNDFILE* file = sf_open("out.wav", SFM_READ, &info);
    ASSERT_NE(file, nullptr) << c.samples << ": " << sf_strerror(nullptr);
    std::vector<float> back(c.samples + 10);
    const sf_count_t got = sf_readf_float(file, back.data(), static_cast<sf_count_t>(back.size()));
    sf_close(file);
    EXPECT_EQ(info.format, (c.rf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | SF_FORMAT_FLOAT) << c.samples;
    EXPECT_EQ(info.frames, static_cast<sf_count_t>(c.samples));
    back.resize(static_cast<std::size_t>(got));
    EXPECT_EQ(back, samples) << c.samples;
    if (!c.rf64) continue;
    // What a reader that knows RF64 takes from it: the sizes "in ds64", and ds64's 64-bit counts.
    EXPECT_EQ(little(bytes, 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(text(bytes, 8), "WAVE");
    EXPECT_EQ(text(bytes, 12), "ds64");
    EXPECT_EQ(little(bytes, 16, 4), 28u);
    EXPECT_EQ(little(bytes, 20, 8), bytes.size() - 8);
    EXPECT_EQ(little(bytes, 28, 8), 4 * c.samples);
    EXPECT_EQ(little(bytes, 36, 8), c.samples);
    EXPECT_EQ(text(bytes, 48), "fmt ");
    EXPECT_EQ(little(bytes, 56, 2), 3u) << "IEEE float";
    EXPECT_EQ(text(bytes, 72), "data");
    EXPECT_EQ(little(bytes, 76, 4), 0xFFFFFFFFu);
  }
}

// The recording's header is rewritten while it runs: past the limit, a kill at any moment leaves RF64.
TEST(SoundOutput, AHeaderUpdatedPastTheLimitIsRf64AtOnce) {
  ScratchDir dir("sound-output");
  FloatWavWriter writer(kHeaderBytes - 8 + 4 * 1000);
  std::string reason;
  const int fd = createOrEmpty("rec.wav", reason);
  ASSERT_TRUE(writer.open(fd, "rec.wav", reason)) << reason;
  const std::vector<float> samples = ramp(1500);
  ASSERT_TRUE(writer.write(samples.data(), 800));
  ASSERT_TRUE(writer.updateHeader());
  EXPECT_EQ(text(lying::readBytes("rec.wav"), 0), "RIFF");
  ASSERT_TRUE(writer.write(samples.data() + 800, 700));
  ASSERT_TRUE(writer.updateHeader());
  const lying::Bytes bytes = lying::readBytes("rec.wav");
  EXPECT_EQ(text(bytes, 0), "RF64");
  EXPECT_EQ(little(bytes, 36, 8), 1500u);
  ASSERT_TRUE(writer.close(reason)) << reason;
  EXPECT_EQ(lying::decodeAll("rec.wav"), samples);
}

// A device keeps no header to rewrite: past the limit it takes the samples as before.
TEST(SoundOutput, ADevicePastTheLimitIsStillWritten) {
#ifdef _WIN32
  GTEST_SKIP() << "libsndfile takes Windows' devices for pipes and writes no WAV to them";
#endif
  std::string reason;
  EXPECT_TRUE(writeThrough(test_system::kNullDevice, ramp(2000), kHeaderBytes, reason)) << reason;
}

}  // namespace
