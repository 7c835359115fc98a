// The live program's file input and its session recording: what is refused
// before the window opens, the reader and writer threads against a callback,
// and a recording that stays readable when its program is killed.

#include <gtest/gtest.h>
#include <sndfile.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "analysis/note_table.hpp"
#include "io/live_input.hpp"
#include "io/session_record.hpp"
#include "io/sound_input.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/audio_shared.hpp"
#include "audio/file_feed.hpp"
#include "audio/input_tap.hpp"
#include "audio/recording.hpp"
#include "lying_sounds.hpp"
#include "scratch_dir.hpp"
#include "test_record.hpp"
#include "whole_sound.hpp"

namespace {

std::vector<float> ramp(std::size_t count) {
  std::vector<float> samples(count);
  for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<float>(i % 65536) / 131072.0f;
  return samples;
}

void writeWav(const std::string& path, const std::vector<float>& samples, int rate = 44100) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
}

class LiveInput : public WithRecord {
 protected:
  ScratchDir dir{"live-input"};
  std::unique_ptr<AudioShared> shared = std::make_unique<AudioShared>(tuner);  // large: kept off the stack
  AudioShared& audio = *shared;

  void SetUp() override {
    buildNoteTable(tuner.notes);
    ASSERT_TRUE(allocateRecording(tuner.history));
  }
  void TearDown() override {
    stopInputTap(audio.tap);
    freeRecording(tuner.history);
  }
};

TEST_F(LiveInput, RefusesWhatCannotBeAnalysedOrHoldARecording) {
  writeWav("in.wav", ramp(100));
  writeWav("4k.wav", ramp(100), 4000);
  std::filesystem::create_directory("folder");
  const std::string pipe = test_system::notRegularFile("pipe");
  ASSERT_FALSE(pipe.empty());
  std::ofstream("text.wav") << "not a sound";

  struct Case {
    std::string file;
    std::string starts;
  };
  for (const Case& c : {Case{"4k.wav", "4k.wav: sample rate is 4000 Hz"}, Case{"none.wav", "none.wav: cannot read"},
                        Case{"folder", "folder: cannot read"}, Case{pipe, pipe + ": cannot read"},
                        Case{"text.wav", "text.wav: cannot read it as sound"}}) {
    FileInput input;
    std::string reason;
    EXPECT_FALSE(input.open(c.file, reason)) << c.file;
    EXPECT_EQ(reason.rfind(c.starts, 0), 0u) << reason;
  }

  struct RecordCase {
    std::string path;
    std::string input;
    std::string starts;
  };
  for (const RecordCase& c : {RecordCase{"folder", "", "folder: cannot record into it: Is a directory"},
                              RecordCase{pipe, "", pipe + ": cannot record into it: not a regular file"},
                              RecordCase{"./in.wav", "in.wav", "--record ./in.wav is the same file as FILE in.wav"},
                              RecordCase{"missing/out.wav", "", "missing/out.wav: cannot write: No such file"}}) {
    SessionRecorder recorder;
    std::string reason;
    EXPECT_FALSE(recorder.open(c.path, c.input, reason)) << c.path;
    EXPECT_EQ(reason.rfind(c.starts, 0), 0u) << reason;
  }
  std::vector<float> kept;
  std::string reason;
  ASSERT_TRUE(readMonoSound("in.wav", kept, reason)) << reason;
  EXPECT_EQ(kept, ramp(100));  // the refused recording left the input alone
}

// Runs the callback's side of the feed as fast as the reader keeps up, until the file is done.
std::vector<float> hearToTheEnd(AudioShared& audio) {
  std::vector<float> heard;
  std::vector<float> out(kFramesPerBuffer);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fileFeedDone(audio.feed) && std::chrono::steady_clock::now() < deadline) {
    // A short ring waits for the reader, however late a loaded machine makes it, until the file's end.
    if (kFeedRingFrames - fileFeedRoom(audio.feed) < static_cast<std::size_t>(kFramesPerBuffer) && !fileFeedEnded(audio.feed)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    feedFromFile(audio, out.data(), kFramesPerBuffer);
    heard.insert(heard.end(), out.begin(), out.end());
  }
  return heard;
}

// The reader thread keeps ahead of a callback run as fast as it can go: every
// sample arrives once and in order, then silence; nothing is counted as underrun
// once the ring was filled before the start.
TEST_F(LiveInput, TheReaderFeedsTheWholeFileInOrderThenSilence) {
  const std::vector<float> file = ramp(5 * kFeedRingFrames + 123);
  writeWav("in.wav", file);
  FileInput input;
  std::string reason;
  ASSERT_TRUE(input.open("in.wav", reason)) << reason;
  input.startReading(audio);
  std::vector<float> heard = hearToTheEnd(audio);
  input.stop();
  EXPECT_TRUE(input.readFailure().empty()) << input.readFailure();
  ASSERT_TRUE(fileFeedDone(audio.feed));
  ASSERT_GE(heard.size(), file.size());
  EXPECT_TRUE(std::equal(file.begin(), file.end(), heard.begin()));
  for (std::size_t i = file.size(); i < heard.size(); ++i) ASSERT_EQ(heard[i], 0.0f) << i;
  EXPECT_EQ(fileFeedCounts(audio.feed).fed, file.size());
  EXPECT_EQ(fileFeedCounts(audio.feed).underrun, 0u);
}

// A header that claims more than the file holds, or nothing: the file plays to the end of its
// data, then the feed ends, as for a truthful file.
TEST_F(LiveInput, AFileWhoseHeaderLiesIsFedToTheEndOfItsData) {
  std::vector<float> sound(3 * kFeedRingFrames);
  for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<float>(0.2 * std::sin(i * 0.05));
  for (const lying::Case& c : lying::kCases) {
    ASSERT_TRUE(c.make(c.name, sound)) << c.what;
    const std::vector<float> decoded = lying::decodeAll(c.name);
    FileInput input;
    std::string reason;
    ASSERT_TRUE(input.open(c.name, reason)) << reason;
    input.startReading(audio);
    const std::vector<float> heard = hearToTheEnd(audio);
    input.stop();
    EXPECT_TRUE(input.readFailure().empty()) << c.what << ": " << input.readFailure();
    ASSERT_TRUE(fileFeedDone(audio.feed)) << c.what;
    EXPECT_EQ(fileFeedCounts(audio.feed).fed, decoded.size()) << c.what;
    ASSERT_GE(heard.size(), decoded.size()) << c.what;
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), heard.begin())) << c.what;
  }
}

// Without an output device the clock runs the callback at the file's pace, not as fast as it can.
TEST_F(LiveInput, TheClockFeedsAtRealTime) {
  writeWav("in.wav", ramp(10 * 44100));
  FileInput input;
  std::string reason;
  ASSERT_TRUE(input.open("in.wav", reason)) << reason;
  input.startReading(audio);
  input.startClock();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const unsigned long long fed = fileFeedCounts(audio.feed).fed;
  input.stop();
  EXPECT_GT(fed, 0u);
  EXPECT_LT(fed, 44100u * 2);  // half a second of clock, well under two of sound
}

// Drives the tap as the callback would and finishes: the file holds every sample.
TEST_F(LiveInput, TheRecordingHoldsEveryCapturedSampleRaw) {
  SessionRecorder recorder;
  std::string reason;
  ASSERT_TRUE(recorder.open("out.wav", "", reason)) << reason;
  recorder.start(audio.tap);
  const std::vector<float> input = ramp(3 * kTapRingFrames);  // more than the ring: the writer must keep up
  std::vector<float> out(kFramesPerBuffer);
  tuner.controls.inputGain.store(5.0f);
  // About 45 times real time, paced by the clock: a short sleep may not sleep at all (Windows).
  constexpr auto kCallbackPeriod = std::chrono::microseconds(250);
  auto next = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < input.size(); i += kFramesPerBuffer) {
    audioCallback(audio, input.data() + i, out.data(), kFramesPerBuffer);
    next += kCallbackPeriod;
    while (std::chrono::steady_clock::now() < next) std::this_thread::sleep_for(kCallbackPeriod / 4);
  }
  RecordSummary summary;
  ASSERT_TRUE(recorder.finish(summary, reason)) << reason;
  EXPECT_EQ(summary.dropped, 0u);
  EXPECT_EQ(summary.written, input.size());
  EXPECT_EQ(droppedSamplesLine("out.wav", summary), "");
  std::vector<float> kept;
  ASSERT_TRUE(readMonoSound("out.wav", kept, reason)) << reason;
  EXPECT_EQ(kept, input);
}

TEST_F(LiveInput, ARecordingThatNeverStartedIsAnEmptyWholeFile) {
  {
    SessionRecorder recorder;
    std::string reason;
    ASSERT_TRUE(recorder.open("out.wav", "", reason)) << reason;
  }
  std::vector<float> kept{1.0f};
  std::string reason;
  ASSERT_TRUE(readMonoSound("out.wav", kept, reason)) << reason;
  EXPECT_TRUE(kept.empty());
}

TEST_F(LiveInput, TheLinesForLostSamplesSayHowManyAndOnlyWhenAnyWereLost) {
  RecordSummary summary;
  EXPECT_EQ(droppedSamplesLine("out.wav", summary), "");
  summary.dropped = 22050;
  const std::string line = droppedSamplesLine("out.wav", summary);
  EXPECT_NE(line.find("out.wav: the recording lost 22050 samples (0.50 s)"), std::string::npos) << line;
  EXPECT_EQ(line.find('\n'), std::string::npos);

  FeedCounts counts;
  counts.fed = 1000;
  counts.paused = 1000;
  EXPECT_EQ(underrunLine("in.wav", counts), "");
  counts.underrun = 4410;
  EXPECT_EQ(underrunLine("in.wav", counts), "in.wav: not read in time: 0.10 s of it played as silence");
  EXPECT_EQ(underrunLine("", counts), "");  // the microphone: no file to blame
}

#ifndef _WIN32
// The byte count the WAV header gives its data chunk; libsndfile itself would
// forgive a stale header, other readers take it at its word.
std::uint32_t dataChunkBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i) size = size << 8 | static_cast<unsigned char>(bytes[at + 4 + i]);
    if (std::string(&bytes[at], 4) == "data") return size;
    at += 8 + size + (size & 1);
  }
  return 0;
}

// A child records, waits past one header update, and is killed: the file reads
// back with at least everything captured before that update. (POSIX only: no fork on Windows.)
TEST_F(LiveInput, ARecordingKilledMidwayIsStillAWholeFile) {
  const std::vector<float> input = ramp(44100);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SessionRecorder recorder;
    std::string reason;
    if (!recorder.open("killed.wav", "", reason)) ::_exit(3);
    recorder.start(audio.tap);
    tapInput(audio.tap, input.data(), input.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    tapInput(audio.tap, input.data(), 1000);  // after the last header update it may be lost, nothing more
    ::kill(::getpid(), SIGKILL);
    ::_exit(4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  std::vector<float> kept;
  std::string reason;
  ASSERT_TRUE(readMonoSound("killed.wav", kept, reason)) << reason;
  ASSERT_GE(kept.size(), input.size());
  EXPECT_TRUE(std::equal(input.begin(), input.end(), kept.begin()));
  EXPECT_GE(dataChunkBytes("killed.wav"), input.size() * sizeof(float));
}
#endif

}  // namespace
