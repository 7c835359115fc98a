// Headless replay: the events file, the sound files, and runs of the whole program step by step.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/replay.hpp"
#include "analysis/note_table.hpp"
#include "io/sound_input.hpp"
#include "app/shell.hpp"
#include "core/tuner_state.hpp"
#include "font_image.hpp"
#include "system_calls.hpp"
#include "whole_sound.hpp"
#include "test_record.hpp"

namespace fs = std::filesystem;

namespace {

TEST(ReplayNames, RowNamesRunFromA1ToGSharp7) {
  EXPECT_EQ(noteRowName(0), "A1");
  EXPECT_EQ(noteRowName(1), "A#1");
  EXPECT_EQ(noteRowName(2), "B1");
  EXPECT_EQ(noteRowName(3), "C2");
  EXPECT_EQ(noteRowName(36), "A4");
  EXPECT_EQ(noteRowName(71), "G#7");
}

TEST(ReplayNames, DefaultStepsScoreTheLastCompleteBlock) {
  EXPECT_EQ(defaultReplaySteps(0), 1);
  EXPECT_EQ(defaultReplaySteps(1), 2);
  EXPECT_EQ(defaultReplaySteps(512), 2);
  EXPECT_EQ(defaultReplaySteps(513), 3);
  EXPECT_EQ(defaultReplaySteps(2048), 5);  // four buffers fill the block, the fifth step's frame scores it
}

// A scratch directory per test, with sound files written through libsndfile.
class ReplayFiles : public WithRecord {
 protected:
  fs::path dir;
  fs::path oldDir;

  void SetUp() override {
    dir = fs::temp_directory_path() / ("sonavel-replay-" + std::to_string(test_system::processId()));
    fs::create_directories(dir);
    oldDir = fs::current_path();
    fs::current_path(dir);
    writeFontImage(kFontPath);  // as beside the program: a run without one says so on its error stream
  }
  void TearDown() override {
    fs::current_path(oldDir);
    fs::remove_all(dir);
  }

  std::string path(const char* name) const { return (dir / name).string(); }

  std::string writeSound(const char* name, const std::vector<float>& interleaved, int channels = 1,
                         int rate = 44100, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path(name).c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr);
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(file);
    return path(name);
  }

  std::string writeText(const char* name, const std::string& text) {
    std::ofstream(path(name)) << text;
    return path(name);
  }

  static std::vector<float> readSound(const std::string& file, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    if (sound) {
      sf_readf_float(sound, samples.data(), info.frames);
      sf_close(sound);
    }
    return samples;
  }

  static std::vector<std::string> readLines(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // Runs the replay in this process; returns the exit status and keeps what it said.
  int run(HeadlessOptions options) {
    std::FILE* errors = std::tmpfile();
    int status = runHeadless(tuner, options, errors);
    std::rewind(errors);
    said.clear();
    for (int c; (c = std::fgetc(errors)) != EOF;) said += static_cast<char>(c);
    std::fclose(errors);
    return status;
  }
  std::string said;
};

TEST_F(ReplayFiles, ChannelsAreAveragedAndIntegersScaledToFullScale) {
  std::string stereo = writeSound("stereo.wav", {0.5f, -0.25f, 1.0f, 1.0f}, 2, 44100,
                                  SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  std::vector<float> samples;
  std::string reason;
  ASSERT_TRUE(readMonoSound(stereo, samples, reason)) << reason;
  EXPECT_EQ(samples, (std::vector<float>{0.125f, 1.0f}));

  std::string pcm = writeSound("pcm24.flac", {0.5f, -0.5f}, 1, 44100, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  ASSERT_TRUE(readMonoSound(pcm, samples, reason)) << reason;
  EXPECT_EQ(samples, (std::vector<float>{0.5f, -0.5f}));
}

TEST_F(ReplayFiles, ReadingABufferAtATimeGivesTheWholeFileThenSilence) {
  std::vector<float> stereo;
  for (int i = 0; i < 1500; ++i) {
    stereo.push_back(static_cast<float>(i) / 2048.0f);
    stereo.push_back(-static_cast<float>(i % 7) / 1024.0f);
  }
  std::string name = writeSound("long.wav", stereo, 2, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  std::vector<float> whole;
  std::string reason;
  ASSERT_TRUE(readMonoSound(name, whole, reason)) << reason;
  ASSERT_EQ(whole.size(), 1500u);
  MonoSoundReader reader;
  ASSERT_TRUE(reader.open(name, reason)) << reason;
  EXPECT_EQ(reader.frames(), 1500);
  std::vector<float> pieces;
  for (int count : {512, 1, 700, 512, 512}) {
    std::vector<float> piece(static_cast<std::size_t>(count), -1.0f);
    ASSERT_TRUE(reader.read(piece.data(), count, reason)) << reason;
    pieces.insert(pieces.end(), piece.begin(), piece.end());
  }
  ASSERT_EQ(pieces.size(), 2237u);
  EXPECT_TRUE(std::equal(whole.begin(), whole.end(), pieces.begin()));
  EXPECT_TRUE(std::all_of(pieces.begin() + 1500, pieces.end(), [](float s) { return s == 0.0f; }));
}

// The reader reads ahead in chunks of some 64 k samples; buffers that straddle a chunk's
// end must still get every frame once, averaged over the channels, then silence.
TEST_F(ReplayFiles, BuffersStraddlingTheReadAheadGetEveryFrameOnce) {
  constexpr int kChannels = 3, kFrames = 50000;
  std::vector<float> interleaved;
  for (int i = 0; i < kFrames; ++i)
    for (int c = 0; c < kChannels; ++c) interleaved.push_back(static_cast<float>((i * (c + 1)) % 1000) / 1024.0f);
  std::string name = writeSound("three.wav", interleaved, kChannels, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  MonoSoundReader reader;
  std::string reason;
  ASSERT_TRUE(reader.open(name, reason)) << reason;
  std::vector<float> got;
  for (int count = 1; got.size() < kFrames + 2000; count = count * 3 + 511) {
    std::vector<float> piece(static_cast<std::size_t>(count), -1.0f);
    ASSERT_TRUE(reader.read(piece.data(), count, reason)) << reason;
    got.insert(got.end(), piece.begin(), piece.end());
  }
  for (int i = 0; i < kFrames; ++i) {
    double sum = 0.0;
    for (int c = 0; c < kChannels; ++c) sum += interleaved[static_cast<std::size_t>(i) * kChannels + c];
    ASSERT_EQ(got[i], static_cast<float>(sum / kChannels)) << "frame " << i;
  }
  EXPECT_TRUE(std::all_of(got.begin() + kFrames, got.end(), [](float s) { return s == 0.0f; }));
}

TEST_F(ReplayFiles, InputThatCannotBeReplayedIsRefused) {
  std::vector<float> samples;
  std::string reason;
  EXPECT_FALSE(readMonoSound(writeSound("400k.wav", {0.0f}, 1, 400000), samples, reason));
  EXPECT_NE(reason.find("sample rate is 400000 Hz; only 8000 to 384000 Hz can be read"), std::string::npos) << reason;
  EXPECT_FALSE(readMonoSound(writeText("notes.txt", "not a sound\n"), samples, reason));
  EXPECT_NE(reason.find("cannot read it as sound"), std::string::npos) << reason;
  EXPECT_FALSE(readMonoSound(path("missing.wav"), samples, reason));
  fs::create_directory(path("folder.wav"));
  EXPECT_FALSE(readMonoSound(path("folder.wav"), samples, reason));
  EXPECT_NE(reason.find("folder.wav: cannot read: is a directory"), std::string::npos) << reason;
  const std::string fifo = test_system::notRegularFile(path("fifo.wav"));
  ASSERT_FALSE(fifo.empty());
  EXPECT_FALSE(readMonoSound(fifo, samples, reason));  // returns at once: nobody writes it
  EXPECT_NE(reason.find("is not a regular file"), std::string::npos) << reason;
}

TEST_F(ReplayFiles, EveryStepFeedsOneBufferAndTheOutputsAreWritten) {
  HeadlessOptions options;
  options.input = writeSound("quiet.wav", std::vector<float>(1000, 0.0f));
  options.scoresPath = path("scores.csv");
  options.picturePath = path("picture.png");
  options.outputPath = path("out.wav");
  ASSERT_EQ(run(options), 0) << said;
  EXPECT_EQ(said, "");

  SF_INFO info;
  std::vector<float> out = readSound(options.outputPath, info);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(out.size(), 3u * 512);  // ceil(1000 / 512) + 1 steps
  for (float sample : out) ASSERT_EQ(sample, 0.0f);

  std::vector<std::string> lines = readLines(options.scoresPath);
  ASSERT_GE(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("step,column,A1,A#1,B1,C2,", 0), 0u);
  EXPECT_EQ(lines[0].substr(lines[0].size() - 7), ",G7,G#7");

  std::ifstream png(options.picturePath, std::ios::binary);
  unsigned char head[24] = {};
  png.read(reinterpret_cast<char*>(head), sizeof head);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(head + 1), 3), "PNG");
  EXPECT_EQ((head[16] << 24 | head[17] << 16 | head[18] << 8 | head[19]), 640);
  EXPECT_EQ((head[20] << 24 | head[21] << 16 | head[22] << 8 | head[23]), 480);
}

TEST_F(ReplayFiles, EscapeAndCloseEndTheRunAtTheirStep) {
  const std::pair<const char*, std::size_t> cases[] = {
      {"2 key ESCAPE down\n", 2 * 512},  // the frame step at 2 ends it: no callback at 2
      {"3 close\n", 3 * 512},            // the close at 3 comes before the frame step
      {"0 close\n", 0},
  };
  for (auto [script, samples] : cases) {
    freshRecord();
    HeadlessOptions options;
    options.input = writeSound("quiet.wav", std::vector<float>(4096, 0.0f));
    options.eventsPath = writeText("ev.txt", script);
    options.steps = 20;
    options.outputPath = path("out.wav");
    ASSERT_EQ(run(options), 0) << said;
    SF_INFO info;
    EXPECT_EQ(readSound(options.outputPath, info).size(), samples) << script;
    EXPECT_TRUE(tuner.shell.quitting);
  }
}

TEST_F(ReplayFiles, PointerEventsGoThroughTheWindowHandler) {
  HeadlessOptions options;
  options.input = writeSound("quiet.wav", std::vector<float>(512, 0.0f));
  options.eventsPath = writeText("ev.txt", "0 move 123 45\n0 button left down\n1 button right down\n");
  options.steps = 2;
  ASSERT_EQ(run(options), 0) << said;
  EXPECT_EQ(tuner.pointer.x, 123);
  EXPECT_EQ(tuner.pointer.y, 45);
  EXPECT_TRUE(tuner.pointer.leftDown);
  EXPECT_FALSE(tuner.pointer.leftClicked);  // cleared after the frame step that saw it
  EXPECT_TRUE(tuner.pointer.rightDown);
}

// Every file in the scratch directory with its bytes: what a run must leave alone.
std::map<std::string, std::string> folderContents(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
  }
  return files;
}

TEST_F(ReplayFiles, OutputsNamingTheSameFileAsAnotherAreRefusedBeforeAnythingIsOpened) {
  HeadlessOptions base;
  base.input = writeSound("in.wav", std::vector<float>(600, 0.25f));
  base.eventsPath = writeText("e.ev", "0 close\n");
  writeText("keep.csv", "kept\n");
  fs::create_directory(path("sub"));
  std::error_code noLinks;  // Windows lets only some users make symbolic links
  fs::create_symlink(dir, path("sub/up"), noLinks);
  fs::create_hard_link(path("in.wav"), path("twin.wav"));
  struct Case {
    const char* what;
    std::string HeadlessOptions::*first;
    std::string firstPath;
    std::string HeadlessOptions::*second;
    std::string secondPath;
    const char* says;
  };
  const Case cases[] = {
      {"scores and picture, same spelling", &HeadlessOptions::scoresPath, "x", &HeadlessOptions::picturePath, "x",
       "--picture x is the same file as --scores x"},
      {"scores and output through a link", &HeadlessOptions::scoresPath, "new.csv", &HeadlessOptions::outputPath,
       "sub/up/./new.csv", "--output sub/up/./new.csv is the same file as --scores new.csv"},
      {"existing scores and picture", &HeadlessOptions::scoresPath, "keep.csv", &HeadlessOptions::picturePath,
       path("keep.csv"), "is the same file as --scores keep.csv"},
      {"output over the input", &HeadlessOptions::outputPath, "in.wav", nullptr, "",
       "--output in.wav is the same file as INPUT"},
      {"output over a hard link of the input", &HeadlessOptions::outputPath, "twin.wav", nullptr, "",
       ": it would be overwritten"},
      {"scores over the events", &HeadlessOptions::scoresPath, "sub/up/e.ev", nullptr, "",
       "--scores sub/up/e.ev is the same file as --events"},
      {"pitch over the font the run loads", &HeadlessOptions::pitchPath, kFontPath, nullptr, "",
       "--pitch font.tga is the same file as the font font.tga: it would be overwritten"},
      {"picture over the font through a link", &HeadlessOptions::picturePath, "sub/up/font.tga", nullptr, "",
       "--picture sub/up/font.tga is the same file as the font"},
      {"midi over the pitch", &HeadlessOptions::pitchPath, "notes", &HeadlessOptions::midiPath, "./notes",
       "--midi ./notes is the same file as --pitch notes"},
  };
  const auto before = folderContents(dir);
  for (const Case& c : cases) {
    if (noLinks && std::string(c.firstPath + c.secondPath).find("sub/up") != std::string::npos) continue;
    HeadlessOptions options = base;
    options.*c.first = c.firstPath;
    if (c.second != nullptr) options.*c.second = c.secondPath;
    EXPECT_EQ(run(options), kExitUsage) << c.what;
    EXPECT_NE(said.find(c.says), std::string::npos) << c.what << ": " << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << c.what << ": " << said;
    EXPECT_EQ(folderContents(dir), before) << c.what;
  }
  HeadlessOptions devices = base;  // a device takes any number of outputs
  devices.scoresPath = devices.picturePath = test_system::kNullDevice;
  EXPECT_EQ(run(devices), 0) << said;
}

TEST_F(ReplayFiles, ARefusedOrFailedRunLeavesExistingFilesAsTheyWereAndNoneBehind) {
  HeadlessOptions options;
  options.input = writeSound("in.wav", std::vector<float>(3000, 0.25f));
  writeText("keep.csv", "kept\n");
  writeText("keep.png", "kept too\n");
  const auto before = folderContents(dir);
  options.scoresPath = "keep.csv";
  options.picturePath = path("no/such/folder/p.png");
  EXPECT_EQ(run(options), kExitWriteFailed);  // an output that cannot be created
  EXPECT_NE(said.find("p.png: cannot write"), std::string::npos) << said;
  EXPECT_EQ(folderContents(dir), before);

  if (fs::exists("/dev/full")) {  // the disk fills up while the scores are written
    options.picturePath = "keep.png";
    options.outputPath = path("out.wav");
    options.scoresPath = "/dev/full";
    EXPECT_EQ(run(options), kExitWriteFailed);
    EXPECT_EQ(said, "sonavel: /dev/full: write error: No space left on device\n");
    EXPECT_EQ(folderContents(dir), before);
    options.outputPath.clear();
    options.scoresPath = "keep.csv";
    options.picturePath = "/dev/full";
    EXPECT_EQ(run(options), kExitWriteFailed);
    EXPECT_EQ(said, "sonavel: /dev/full: write error: No space left on device\n");
    EXPECT_EQ(folderContents(dir), before);
  }
  options.picturePath = "keep.png";
  ASSERT_EQ(run(options), 0) << said;
  auto after = folderContents(dir);
  EXPECT_EQ(after.size(), before.size());
  EXPECT_EQ(after["keep.png"].substr(1, 3), "PNG");
}

// The replay prints what start-up went without on its own error stream, and the run goes on.
TEST_F(ReplayFiles, AMissingFontIsSaidOnTheReplaysErrorStream) {
  fs::remove(kFontPath);
  HeadlessOptions options;
  options.input = writeSound("quiet.wav", std::vector<float>(2048, 0.0f));
  options.scoresPath = path("scores.csv");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run(options), kExitSuccess) << said;
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(said.rfind("sonavel: font font.tga: ", 0), 0u) << said;
  EXPECT_NE(said.find("; using the built-in glyphs\n"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_EQ(readLines(path("scores.csv")).size(), 2u);  // the header and the one block scored
}

TEST_F(ReplayFiles, BadRequestsSayWhyOnOneLineAndWriteNothing) {
  std::string quiet = writeSound("quiet.wav", std::vector<float>(512, 0.0f));
  struct Case {
    const char* what;
    HeadlessOptions options;
    const char* message;
    int status = kExitUsage;
  };
  auto request = [](const std::string& input, const std::string& events = "") {
    HeadlessOptions options;
    options.input = input;
    options.eventsPath = events;
    return options;
  };
  std::vector<Case> cases;
  cases.push_back({"missing input", request(path("nothing.wav")), "sonavel: "});
  cases.push_back({"text input", request(writeText("t.txt", "hello\n")), "cannot read it as sound"});
  cases.push_back({"400 kHz input", request(writeSound("400k.wav", {0.0f}, 1, 400000)), "only 8000 to 384000 Hz"});
  cases.push_back({"missing events", request(quiet, path("none.txt")), "none.txt: cannot read"});
  cases.push_back(
      {"bad events", request(quiet, writeText("bad.txt", "0 close\n1 sing\n")), "bad.txt:2: unknown event"});
  HeadlessOptions unwritable = request(quiet);
  unwritable.scoresPath = path("no/such/dir/s.csv");
  cases.push_back({"unwritable scores", unwritable, "s.csv: cannot write", kExitWriteFailed});
  for (Case& c : cases) {
    c.options.picturePath = c.options.scoresPath.empty() ? path("picture.png") : "";
    EXPECT_EQ(run(c.options), c.status) << c.what;
    EXPECT_EQ(said.rfind("sonavel: ", 0), 0u) << c.what << ": " << said;
    EXPECT_NE(said.find(c.message), std::string::npos) << c.what << ": " << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << c.what << ": " << said;
    EXPECT_FALSE(fs::exists(path("picture.png"))) << c.what;
  }
}

}  // namespace

namespace {

// Half a second of A4, then silence: blocks with a reading, then blocks with none.
std::vector<float> toneThenSilence() {
  std::vector<float> samples(44100, 0.0f);
  for (int i = 0; i < 22050; ++i) samples[i] = static_cast<float>(0.3 * std::sin(2 * 3.14159265358979 * 440.0 * i / 44100));
  return samples;
}

TEST_F(ReplayFiles, PitchGivesTheReadingOfEveryScoredBlockAndEmptyFieldsInSilence) {
  for (const bool precise : {true, false}) {  // the design's detector leaves the reading to the precise one
    freshRecord();
    tuner.controls.detector = precise ? Detector::Precise : Detector::Design;
    HeadlessOptions options;
    options.input = writeSound("tone.wav", toneThenSilence(), 1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    options.scoresPath = path("scores.csv");
    options.pitchPath = path("pitch.csv");
    ASSERT_EQ(run(options), 0) << said;
    const std::vector<std::string> scores = readLines(options.scoresPath);
    const std::vector<std::string> pitch = readLines(options.pitchPath);
    ASSERT_EQ(pitch.size(), scores.size());
    EXPECT_EQ(pitch[0], "step,column,note,hz,cents,confidence");
    int toned = 0, silent = 0;
    for (std::size_t i = 1; i < pitch.size(); ++i) {
      EXPECT_EQ(pitch[i].substr(0, pitch[i].find(',', pitch[i].find(',') + 1)),
                scores[i].substr(0, scores[i].find(',', scores[i].find(',') + 1)));  // the same step and column
      if (pitch[i].find(",A4,440.00,") != std::string::npos) ++toned;
      if (pitch[i].size() > 4 && pitch[i].substr(pitch[i].size() - 4) == ",,,,") ++silent;
    }
    EXPECT_GE(toned, 8) << precise;
    EXPECT_GE(silent, 8) << precise;
  }
}

TEST_F(ReplayFiles, PitchIsRefusedWhereTheOtherOutputsAreAndAskingForItChangesNoScore) {
  HeadlessOptions base;
  base.input = writeSound("in.wav", toneThenSilence(), 1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  base.eventsPath = writeText("e.ev", "# nothing\n");
  writeText("keep.csv", "kept\n");
  struct Case {
    const char* what;
    std::string HeadlessOptions::*other;
    std::string pitch;
    const char* says;
    int status;
  };
  const Case cases[] = {
      {"over the scores", &HeadlessOptions::scoresPath, "keep.csv", "--pitch keep.csv is the same file as --scores", kExitUsage},
      {"over the input", nullptr, "in.wav", "--pitch in.wav is the same file as INPUT", kExitUsage},
      {"over the events", nullptr, "e.ev", "--pitch e.ev is the same file as --events", kExitUsage},
      {"a directory", nullptr, ".", ".: cannot write: Is a directory", kExitWriteFailed},
  };
  const auto before = folderContents(dir);
  for (const Case& c : cases) {
    HeadlessOptions options = base;
    options.pitchPath = c.pitch;
    if (c.other != nullptr) options.*c.other = "keep.csv";
    EXPECT_EQ(run(options), c.status) << c.what;
    EXPECT_NE(said.find(c.says), std::string::npos) << c.what << ": " << said;
    EXPECT_EQ(folderContents(dir), before) << c.what;
  }
  if (fs::exists("/dev/full")) {
    HeadlessOptions options = base;
    options.pitchPath = "/dev/full";
    options.scoresPath = path("new.csv");
    EXPECT_EQ(run(options), kExitWriteFailed);
    EXPECT_EQ(said, "sonavel: /dev/full: write error: No space left on device\n");
    EXPECT_EQ(folderContents(dir), before);  // the scores were not put in place either
  }
  // The design's scores are the same with and without the reading beside them.
  freshRecord();
  HeadlessOptions plain = base;
  plain.scoresPath = path("plain.csv");
  ASSERT_EQ(run(plain), 0) << said;
  freshRecord();
  HeadlessOptions read = base;
  read.scoresPath = path("read.csv");
  read.pitchPath = path("pitch.csv");
  ASSERT_EQ(run(read), 0) << said;
  EXPECT_EQ(readLines(path("plain.csv")), readLines(path("read.csv")));
}

// A melody with a chord and a rest: something for every detector and key to act on.
std::vector<float> shortMelody() {
  const struct {
    double seconds;
    std::vector<double> notes;  // Hz
  } parts[] = {{0.5, {440.0}}, {0.6, {261.63, 329.63, 392.0}}, {0.2, {}}, {0.5, {261.63}}, {0.3, {110.0, 220.0}}};
  std::vector<float> samples;
  for (const auto& part : parts) {
    const std::size_t from = samples.size();
    samples.resize(from + static_cast<std::size_t>(part.seconds * 44100));
    for (std::size_t i = from; i < samples.size(); ++i)
      for (const double hz : part.notes)
        for (int h = 1; h <= 3; ++h)
          samples[i] += static_cast<float>(0.05 / h * std::sin(2 * 3.14159265358979 * hz * h * static_cast<double>(i) / 44100));
  }
  return samples;
}

// Presses of D, A, Return and Space at random steps, one key down for one step each.
std::string randomPresses(std::uint32_t seed, long long steps) {
  std::mt19937 random(seed);
  const char* keys[] = {"32", "30", "RETURN", "SPACE"};  // D, A
  std::vector<std::pair<long long, std::string>> lines;
  const int presses = 1 + static_cast<int>(random() % 8);
  for (int n = 0; n < presses; ++n) {
    const long long step = static_cast<long long>(random() % static_cast<std::uint32_t>(steps));
    const std::string key = keys[random() % std::size(keys)];
    lines.emplace_back(step, std::to_string(step) + " key " + key + " down");
    lines.emplace_back(step + 1, std::to_string(step + 1) + " key " + key + " up");
  }
  std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string text;
  for (const auto& line : lines) text += line.second + "\n";
  return text;
}

// Whatever the keys do, the scores, the picture and the roll are the same bytes whether or not the
// pitch reading, the notes and the sound are written beside them: an output never changes another.
TEST_F(ReplayFiles, AnOutputNeverChangesAnotherWhateverTheKeysDo) {
  const std::string input = writeSound("melody.wav", shortMelody(), 1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  constexpr int kEventFiles = 200;
  constexpr long long kSteps = 190;
  for (std::uint32_t seed = 1; seed <= kEventFiles; ++seed) {
    const std::string events = randomPresses(seed, kSteps);
    std::vector<std::string> bytes[2];
    for (const bool more : {false, true}) {
      freshRecord();
      HeadlessOptions options;
      options.input = input;
      options.eventsPath = writeText("keys.ev", events);
      options.scoresPath = path("scores.csv");
      options.picturePath = path("picture.png");
      options.rollPath = path("roll.png");
      if (more) {
        options.pitchPath = path("pitch.csv");
        options.midiPath = path("notes.mid");
        options.outputPath = path("out.wav");
      }
      ASSERT_EQ(run(options), 0) << said;
      for (const char* output : {"scores.csv", "picture.png", "roll.png"}) {
        std::ifstream in(path(output), std::ios::binary);
        bytes[more].emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      }
    }
    ASSERT_EQ(bytes[0], bytes[1]) << "events:\n" << events;
  }
}

// A freeze passes blocks by: the first block after it is read afresh, as at the start of a file,
// not mixed with the last one before it.
TEST_F(ReplayFiles, TheFirstBlockAfterAFreezeIsReadWithoutTheOneBeforeIt) {
  std::vector<float> samples(6 * 44100);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double hz = i < 66150 ? 440.0 : 261.63;  // A4 for 1.5 s, then C4
    samples[i] = static_cast<float>(0.05 * std::sin(2 * 3.14159265358979 * hz * static_cast<double>(i) / 44100));
  }
  freshRecord();
  tuner.controls.detector = Detector::Precise;
  HeadlessOptions options;
  options.input = writeSound("a-then-c.wav", samples, 1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  options.eventsPath = writeText("freeze.ev", "100 key RETURN down\n101 key RETURN up\n300 key RETURN down\n301 key RETURN up\n");
  options.scoresPath = path("scores.csv");
  options.pitchPath = path("pitch.csv");
  ASSERT_EQ(run(options), 0) << said;
  const std::vector<std::string> scores = readLines(options.scoresPath), pitch = readLines(options.pitchPath);
  ASSERT_EQ(scores.size(), pitch.size());
  std::size_t after = 1;
  while (after < pitch.size() && std::stoll(pitch[after]) <= 100) ++after;  // frozen from step 100 to 300
  ASSERT_LT(after, pitch.size());
  EXPECT_NE(pitch[after].find(",C4,"), std::string::npos) << pitch[after];
  std::vector<std::string> fields;
  std::stringstream row(scores[after]);
  for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
  ASSERT_EQ(fields.size(), 2u + 72u);
  EXPECT_GE(std::stof(fields[2 + 27]), 0.5f) << "C4 lit in the picture too";
  EXPECT_LT(std::stof(fields[2 + 36]), 0.5f) << "and A4, from before the freeze, is not";
}

std::string fileBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The note names of --pitch, by step, for steps in [from, to].
std::vector<std::string> namesBetween(const std::vector<std::string>& pitch, long long from, long long to) {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < pitch.size(); ++i) {
    const long long step = std::stoll(pitch[i]);
    const std::size_t start = pitch[i].find(',', pitch[i].find(',') + 1) + 1;
    const std::string name = pitch[i].substr(start, pitch[i].find(',', start) - start);
    if (from <= step && step <= to && !name.empty()) names.push_back(name);
  }
  return names;
}

// A concert C5 reads D5 for a B-flat instrument and A5 for an E-flat one, whether from --transpose or
// the key T in an events file; the scores, the notes and the roll's rows stay concert.
TEST_F(ReplayFiles, TheKeyTAndTransposeRenameThePitchNotesAndNothingElse) {
  std::vector<float> samples(3 * 44100);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<float>(0.3 * std::sin(2 * 3.14159265358979 * 523.25 * static_cast<double>(i) / 44100));
  const std::string input = writeSound("c5.wav", samples, 1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  struct Run {
    int transposition;
    const char* events;
    std::string scores, midi, roll;
    std::vector<std::string> pitch;
  };
  Run runs[] = {{0, "# no keys\n", {}, {}, {}, {}},
                {0, "100 key T down\n101 key T up\n200 key 20 down\n201 key 20 up\n", {}, {}, {}, {}},
                {2, "# no keys\n", {}, {}, {}, {}}};
  for (Run& r : runs) {
    freshRecord();
    tuner.controls.detector = Detector::Precise;
    tuner.controls.transposition = r.transposition;
    HeadlessOptions options;
    options.input = input;
    options.eventsPath = writeText("keys.ev", r.events);
    options.scoresPath = path("scores.csv");
    options.pitchPath = path("pitch.csv");
    options.midiPath = path("notes.mid");
    options.rollPath = path("roll.png");
    ASSERT_EQ(run(options), 0) << said;
    r.scores = fileBytes(options.scoresPath);
    r.midi = fileBytes(options.midiPath);
    r.roll = fileBytes(options.rollPath);
    r.pitch = readLines(options.pitchPath);
  }
  const auto all = [](const std::vector<std::string>& names, const char* name) {
    return !names.empty() && std::count(names.begin(), names.end(), name) == static_cast<long>(names.size());
  };
  EXPECT_TRUE(all(namesBetween(runs[0].pitch, 0, 1000), "C5"));
  EXPECT_TRUE(all(namesBetween(runs[1].pitch, 0, 96), "C5"));
  EXPECT_TRUE(all(namesBetween(runs[1].pitch, 104, 196), "D5"));  // Bb after the first press
  EXPECT_TRUE(all(namesBetween(runs[1].pitch, 204, 1000), "A5"));  // Eb after the second
  EXPECT_TRUE(all(namesBetween(runs[2].pitch, 0, 1000), "D5"));
  for (const Run& r : {runs[1], runs[2]}) {
    EXPECT_EQ(r.scores, runs[0].scores);  // the header keeps the concert names, every score its bits
    EXPECT_EQ(r.midi, runs[0].midi);      // keys stay concert, to sound right on a synthesiser
    EXPECT_FALSE(r.midi.empty());
    EXPECT_NE(r.roll, runs[0].roll);      // the rows' labels are written names
  }
}

}  // namespace

namespace {

// --names and --flats rename the --pitch notes (a concert A#4 reads Bb4, B4 in German, Sib4 in
// solfege) and leave the scores, header included, and the MIDI notes byte for byte as they were.
TEST_F(ReplayFiles, NamingSystemsRenameThePitchNotesAndNothingElse) {
  std::vector<float> samples(2 * 44100);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<float>(0.3 * std::sin(2 * 3.14159265358979 * 466.16 * static_cast<double>(i) / 44100));
  const std::string input = writeSound("asharp4.wav", samples, 1, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  struct Run {
    NoteNaming naming;
    const char* name;
    std::string scores, midi;
    std::vector<std::string> pitch;
  };
  Run runs[] = {{{}, "A#4", {}, {}, {}},
                {{NameSystem::English, true}, "Bb4", {}, {}, {}},
                {{NameSystem::German, false}, "B4", {}, {}, {}},
                {{NameSystem::Solfege, true}, "Sib4", {}, {}, {}}};
  for (Run& r : runs) {
    freshRecord();
    tuner.controls.detector = Detector::Precise;
    tuner.controls.naming = r.naming;
    HeadlessOptions options;
    options.input = input;
    options.scoresPath = path("scores.csv");
    options.pitchPath = path("pitch.csv");
    options.midiPath = path("notes.mid");
    ASSERT_EQ(run(options), 0) << said;
    r.scores = fileBytes(options.scoresPath);
    r.midi = fileBytes(options.midiPath);
    r.pitch = readLines(options.pitchPath);
  }
  for (const Run& r : runs) {
    const std::vector<std::string> names = namesBetween(r.pitch, 0, 1000);
    ASSERT_FALSE(names.empty()) << r.name;
    EXPECT_EQ(std::count(names.begin(), names.end(), r.name), static_cast<long>(names.size())) << r.name;
    EXPECT_EQ(r.pitch.front(), runs[0].pitch.front());  // the same columns: no column comes or goes
    EXPECT_EQ(r.scores, runs[0].scores) << r.name;
    EXPECT_EQ(r.midi, runs[0].midi) << r.name;
  }
}

}  // namespace
