// Files at other rates brought to 44100 Hz as they are read: where a sound lands in
// time, how long the converted stream is, what is kept and what is filtered out, and
// which rates the reader refuses.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "io/resampler.hpp"
#include "io/sound_input.hpp"
#include "lying_sounds.hpp"
#include "scratch_dir.hpp"

namespace {

// A source over samples held in memory, handing out at most `most` per call.
RateSource sourceOf(const std::vector<float>& samples, int most = INT_MAX) {
  auto next = std::make_shared<std::size_t>(0);
  return [&samples, next, most](float* out, int count, std::string&) {
    const std::size_t take = std::min<std::size_t>({static_cast<std::size_t>(count), static_cast<std::size_t>(most),
                                                    samples.size() - *next});
    std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(*next), take, out);
    *next += take;
    return static_cast<int>(take);
  };
}

// Everything a converter makes of `input`, read `piece` samples at a time, up to `total` samples;
// converted on the reading thread or ahead of it.
std::vector<float> convert(const std::vector<float>& input, int rate, std::size_t total, int piece = 512,
                           int most = INT_MAX, bool ahead = false) {
  Resampler resampler;
  std::string reason;
  EXPECT_TRUE(resampler.open(rate, "in.wav", sourceOf(input, most), reason)) << reason;
  if (ahead) resampler.convertAhead();
  std::vector<float> out(total + static_cast<std::size_t>(piece));
  for (std::size_t done = 0; done < total; done += static_cast<std::size_t>(piece))
    EXPECT_TRUE(resampler.read(out.data() + done, piece, reason)) << reason;
  out.resize(total);
  return out;
}

std::vector<float> sine(double frequency, int rate, double seconds, double level = 0.5) {
  std::vector<float> samples(static_cast<std::size_t>(seconds * rate));
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<float>(level * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
  return samples;
}

double rms(const std::vector<float>& samples, std::size_t first, std::size_t count) {
  double sum = 0.0;
  for (std::size_t i = first; i < first + count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

constexpr int kRates[] = {8000, 11025, 22050, 32000, 48000, 88200, 96000, 192000, 384000};

TEST(Resampler, AClickLandsAtTheSameTimeAtAnyRate) {
  for (int rate : kRates) {
    std::vector<float> input(static_cast<std::size_t>(rate), 0.0f);
    const std::size_t click = static_cast<std::size_t>(rate / 2);  // half a second in, or a sample short of it
    input[click] = 1.0f;
    const std::vector<float> out = convert(input, rate, 44100);
    const auto peak = std::max_element(out.begin(), out.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
    EXPECT_EQ(peak - out.begin(), static_cast<std::ptrdiff_t>(click * 44100 / static_cast<std::size_t>(rate))) << rate;
    // Linear phase: the ringing is the same on both sides of the click, no delay left in it.
    EXPECT_NEAR(peak[-1], peak[1], 1e-6) << rate << " Hz";
  }
}

TEST(Resampler, TheTailIsFlushedAndTheStreamHasTheConvertedLength) {
  for (int rate : kRates) {
    for (std::size_t frames : {std::size_t{1}, std::size_t{7}, std::size_t{1001}, std::size_t{48001}}) {
      const std::vector<float> input(frames, 0.5f);
      const long long length = convertedFrames(static_cast<long long>(frames), rate);
      const std::vector<float> out = convert(input, rate, static_cast<std::size_t>(length) + 600);
      if (length > 0) {
        EXPECT_NE(out[static_cast<std::size_t>(length) - 1], 0.0f) << rate << " Hz, " << frames;
      }
      EXPECT_TRUE(std::all_of(out.begin() + length, out.end(), [](float s) { return s == 0.0f; }))
          << rate << " Hz, " << frames << " frames: more than " << length << " samples";
      // A held level comes through at that level until shortly before its end.
      if (length > 2000) {
        EXPECT_NEAR(out[static_cast<std::size_t>(length) - 300], 0.5f, 1e-4) << rate << " Hz, " << frames;
      }
    }
  }
}

TEST(Resampler, HowItIsReadOrOnWhichThreadDoesNotChangeASample) {
  const std::vector<float> input = sine(997.0, 48000, 1.5);
  const std::vector<float> whole = convert(input, 48000, 70000);
  for (bool ahead : {false, true}) {
    for (int piece : {1, 7, 511, 4096, 70000}) {
      for (int most : {INT_MAX, 100, 1}) {
        const std::vector<float> out = convert(input, 48000, 70000, piece, most, ahead);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), whole.begin()))
            << piece << " at a time, source gives " << most << (ahead ? ", converted ahead" : "");
      }
    }
  }
}

TEST(Resampler, EndsWhenTheLastConvertedSampleIsOut) {
  const std::vector<float> input = sine(440.0, 48000, 0.5);  // 22,050 samples at 44.1 kHz
  for (bool ahead : {false, true}) {
    Resampler resampler;
    std::string reason;
    ASSERT_TRUE(resampler.open(48000, "in.wav", sourceOf(input), reason)) << reason;
    if (ahead) resampler.convertAhead();
    float out[512];
    long long read = 0;
    while (!resampler.ended()) {
      ASSERT_LT(read, 30000) << ahead;
      ASSERT_TRUE(resampler.read(out, 512, reason)) << reason;
      read += 512;
    }
    EXPECT_EQ(resampler.samplesOut(), 22050) << ahead;
    EXPECT_EQ(read, 22528) << ahead << ": ended in the read that took the last sample";
  }
}

TEST(Resampler, ConvertingAheadStopsWhenTheReaderDoes) {
  const std::vector<float> input(480000, 0.25f);  // 10 s: far more than the worker may run ahead
  for (int reads : {0, 1, 100}) {
    Resampler resampler;
    std::string reason;
    ASSERT_TRUE(resampler.open(48000, "in.wav", sourceOf(input), reason)) << reason;
    resampler.convertAhead();
    float out[512];
    for (int i = 0; i < reads; ++i) ASSERT_TRUE(resampler.read(out, 512, reason)) << reason;
  }  // each destructor returns: the worker waiting for room or converting, stopped
}

TEST(Resampler, KeepsWhatFitsAndFiltersOutWhatWouldFoldBack) {
  struct Case {
    int rate;
    double frequency;
    bool kept;
  };
  const Case cases[] = {
      {48000, 440.0, true},    {96000, 3322.0, true},   {22050, 10000.0, true},
      {8000, 3000.0, true},    {48000, 19000.0, true},  {48000, 23000.0, false}, {96000, 30000.0, false},
      {96000, 40000.0, false}, {384000, 150000.0, false},
  };
  for (const Case& c : cases) {
    const std::vector<float> out = convert(sine(c.frequency, c.rate, 1.0), c.rate, 44100);
    const double level = rms(out, 4410, 35280);
    if (c.kept) {
      EXPECT_NEAR(level, 0.5 / std::numbers::sqrt2, 0.005) << c.frequency << " Hz at " << c.rate;
      const std::vector<float> expected = sine(c.frequency, 44100, 1.0);
      double worst = 0.0;
      for (std::size_t i = 4410; i < 39690; ++i) worst = std::max(worst, std::fabs(double{out[i]} - expected[i]));
      // Clear of the filter's edge the sine is what it would be at 44.1 kHz, to float precision.
      if (c.frequency < 0.3 * c.rate) {
        EXPECT_LT(worst, 1e-6) << c.frequency << " Hz at " << c.rate;
      }
    } else {
      EXPECT_LT(level, 1e-4) << c.frequency << " Hz at " << c.rate << " folds back";
    }
  }
}

TEST(Resampler, AFailedReadIsPassedOnAfterWhatCameBefore) {
  for (bool ahead : {false, true}) {
    int calls = 0;
    auto failing = [&calls](float* out, int count, std::string& why) {
      if (++calls > 3) {
        why = "in.wav: read error";
        return -1;
      }
      std::fill(out, out + count, 0.25f);
      return count;
    };
    Resampler resampler;
    std::string reason;
    ASSERT_TRUE(resampler.open(48000, "in.wav", failing, reason)) << reason;
    if (ahead) resampler.convertAhead();
    float out[512];
    int good = 0;
    while (resampler.read(out, 512, reason)) ++good;
    EXPECT_EQ(reason, "in.wav: read error") << ahead;
    EXPECT_GE(good, 16) << ahead;  // the 11,290 samples made of what was read, less the block ahead it failed in
  }
}

TEST(Resampler, ConvertedFramesRoundAsTheConverterDoes) {
  struct Case {
    long long frames;
    int rate;
    long long converted;
  };
  const Case cases[] = {
      {0, 48000, 0},        {-5, 48000, 0},          {1, 48000, 1},           {7, 48000, 6},
      {1000, 48000, 919},   {7, 96000, 3},           {1000, 8000, 5513},      {1001, 8000, 5518},
      {1, 384000, 0},       {7, 384000, 1},          {96000 * 3600LL * 2, 96000, 44100 * 3600LL * 2},
      {LLONG_MAX, 8000, LLONG_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(convertedFrames(c.frames, c.rate), c.converted) << c.frames << " at " << c.rate;
}

// The reader: rates it takes and converts, rates and files it refuses.
class RateFiles : public ::testing::Test {
 protected:
  ScratchDir dir{"rate-files"};

  std::string write(const std::string& name, const std::vector<float>& interleaved, int channels, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(name.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << name;
    if (file == nullptr) return name;
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size()) / channels);
    sf_close(file);
    return name;
  }
};

TEST_F(RateFiles, RatesFrom8To384KilohertzAreReadOthersRefused) {
  struct Case {
    int rate;
    bool read;
  };
  for (const Case& c : {Case{1, false}, Case{7999, false}, Case{8000, true}, Case{44100, true}, Case{384000, true},
                        Case{384001, false}, Case{2000000000, false}}) {
    const std::string name = write(std::to_string(c.rate) + "hz.wav", std::vector<float>(64, 0.25f), 1, c.rate);
    MonoSoundReader reader;
    std::string reason;
    EXPECT_EQ(reader.open(name, reason), c.read) << c.rate << ": " << reason;
    if (c.read) {
      EXPECT_EQ(reader.fileRate(), c.rate);
      EXPECT_EQ(reader.frames(), convertedFrames(64, c.rate));
    } else {
      EXPECT_EQ(reason, name + ": sample rate is " + std::to_string(c.rate) + " Hz; only 8000 to 384000 Hz can be read");
    }
  }
}

TEST_F(RateFiles, AFileWithoutChannelsIsRefusedInOneLine) {
  // A WAV header written by hand: 48000 Hz, 16 bits, 0 channels, four bytes of data.
  const unsigned char header[] = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                  1,   0,   0,   0,   0x80, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0,
                                  'd', 'a', 't', 'a', 4, 0, 0, 0, 0, 0, 0, 0};
  std::ofstream("none.wav", std::ios::binary).write(reinterpret_cast<const char*>(header), sizeof header);
  MonoSoundReader reader;
  std::string reason;
  EXPECT_FALSE(reader.open("none.wav", reason));
  EXPECT_EQ(reason.rfind("none.wav: ", 0), 0u) << reason;
  EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
}

// A header that claims more than the file holds, or nothing: the converted file ends where its data does.
TEST_F(RateFiles, ALyingHeaderAtAnotherRateEndsWhereTheDataDoes) {
  const std::vector<float> tone = sine(440.0, 48000, 0.7, 0.25);
  ASSERT_TRUE(lying::writeTrue("true.wav", tone, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000));
  ASSERT_TRUE(lying::wavClaimingMoreAt("more.wav", tone, 48000));
  ASSERT_TRUE(lying::flacOfUnknownLengthAt("unknown.flac", tone, 48000));
  auto readAll = [](const std::string& name, bool ahead, long long& samples) {
    MonoSoundReader reader;
    std::string reason;
    std::vector<float> got;
    EXPECT_TRUE(reader.open(name, reason)) << reason;
    if (ahead) reader.convertAhead();
    float buffer[512];
    while (!reader.ended() && got.size() < 200000 && reader.read(buffer, 512, reason)) got.insert(got.end(), buffer, buffer + 512);
    samples = reader.samplesRead();
    return got;
  };
  long long truthful = 0;
  const std::vector<float> expected = readAll("true.wav", false, truthful);
  EXPECT_EQ(truthful, convertedFrames(static_cast<long long>(tone.size()), 48000));
  for (const char* name : {"true.wav", "more.wav", "unknown.flac"}) {
    for (bool ahead : {false, true}) {
      long long samples = 0;
      const std::vector<float> got = readAll(name, ahead, samples);
      EXPECT_EQ(samples, truthful) << name << (ahead ? ", converted ahead" : "");
      ASSERT_EQ(got.size(), expected.size()) << name;
      for (std::size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], expected[i], 1e-4) << name << " sample " << i;
    }
  }
}

TEST_F(RateFiles, ChannelsAreAveragedThenConverted) {
  // Left and right in opposite phase but for a 440 Hz tone they share: only the tone survives the average.
  const std::vector<float> shared = sine(440.0, 48000, 1.0, 0.25), apart = sine(1000.0, 48000, 1.0, 0.25);
  std::vector<float> interleaved;
  for (std::size_t i = 0; i < shared.size(); ++i) {
    interleaved.push_back(shared[i] + apart[i]);
    interleaved.push_back(shared[i] - apart[i]);
  }
  MonoSoundReader reader;
  std::string reason;
  ASSERT_TRUE(reader.open(write("stereo.wav", interleaved, 2, 48000), reason)) << reason;
  EXPECT_EQ(reader.frames(), 44100);
  std::vector<float> got(44100);
  for (std::size_t done = 0; done < got.size(); done += 441)
    ASSERT_TRUE(reader.read(got.data() + done, 441, reason)) << reason;
  const std::vector<float> expected = sine(440.0, 44100, 1.0, 0.25);
  for (std::size_t i = 4410; i < 39690; ++i) ASSERT_NEAR(got[i], expected[i], 1e-6) << "sample " << i;
  float after[512];
  ASSERT_TRUE(reader.read(after, 512, reason)) << reason;
  EXPECT_TRUE(std::all_of(after, after + 512, [](float s) { return s == 0.0f; }));
}

}  // namespace
