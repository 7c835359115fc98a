// The headless program against files that lie or fail: headers that claim more than the
// file holds or nothing at all, outputs that cannot be written, links, and signals.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "headless_fixture.hpp"
#include "lying_sounds.hpp"

namespace {

constexpr auto kLyingRunLimit = std::chrono::milliseconds(2000);  // the bound; such a run takes 0.2 s

// A tone under noise, never the same twice: enough for an Ogg file of several pages.
std::vector<float> noisyTone(double seconds) {
  std::vector<float> samples(static_cast<std::size_t>(seconds * probe::kSampleRate));
  unsigned state = 2024;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    state = state * 1103515245u + 12345u;
    samples[i] = static_cast<float>(0.1 * std::sin(2.0 * std::numbers::pi * kA4 * i / probe::kSampleRate) +
                                    0.05 * ((state >> 8) / 16777216.0 - 0.5));
  }
  return samples;
}

int lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// The hidden files a run writes before it renames them; none may stay behind.
int leftovers(const fs::path& folder) {
  int count = 0;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error))
    count += entry.path().filename().string().find(".sonavel-") != std::string::npos;
  return count;
}

class HostileFiles : public Headless {
 protected:
  std::vector<fs::path> mounts;

  void TearDown() override {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
    Headless::TearDown();
  }

  // A small tmpfs of its own at `name`; false where this machine will not mount one.
  bool mountTmpfs(const std::string& name, unsigned long flags, const char* options) {
    fs::create_directories(dir / name);
    if (::mount("tmpfs", file(name).c_str(), "tmpfs", flags, options) != 0) return false;
    mounts.push_back(dir / name);
    return true;
  }

  // Every output of one run over `input`, named with `prefix`.
  std::vector<std::string> everyOutput(const std::string& input, const std::string& prefix) {
    return {"--headless", input, "--scores", prefix + ".csv", "--picture", prefix + ".png",
            "--output", prefix + ".wav", "--roll", prefix + "-roll.png"};
  }
};

// Each lie in a header: the run ends at the real end of the data, at once, and writes what the
// same samples under a truthful header give. Ogg and MP3 decoders trim their codec's padding only
// when they trust the length, so "the same samples" are those the decoder gives, whatever they are.
TEST_F(HostileFiles, InputsWhoseHeadersLieEndWhereTheirDataEnds) {
  const std::vector<float> audio = noisyTone(2.0);
  for (const lying::Case& c : lying::kCases) {
    const std::string liar = file(c.name);
    ASSERT_TRUE(c.make(liar, audio)) << c.what;
    const std::vector<float> decoded = lying::decodeAll(liar);
    ASSERT_GE(decoded.size(), audio.size()) << c.what;
    ASSERT_LE(decoded.size(), audio.size() + 2304) << c.what << ": no more than a codec's padding";
    ASSERT_TRUE(probe::writeSound(file("reference.wav"), decoded, SF_FORMAT_WAV | SF_FORMAT_FLOAT));

    const auto started = std::chrono::steady_clock::now();
    Result lied = finish(start(everyOutput(liar, "lied")), kLyingRunLimit);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(lied.status, 0) << c.what << ": " << lied.err;
    EXPECT_EQ(lied.err, "") << c.what;
    EXPECT_LT(seconds, 2.0) << c.what;
    Result truth = run(everyOutput(file("reference.wav"), "truth"));
    ASSERT_EQ(truth.status, 0) << truth.err;

    EXPECT_EQ(scores(file("lied.csv")).size(), (decoded.size() + 511) / 512 / 4) << c.what;
    EXPECT_EQ(slurp(file("lied.csv")), slurp(file("truth.csv"))) << c.what;
    EXPECT_EQ(slurp(file("lied.png")), slurp(file("truth.png"))) << c.what;
    EXPECT_EQ(slurp(file("lied.wav")), slurp(file("truth.wav"))) << c.what;
    EXPECT_EQ(slurp(file("lied-roll.png")), slurp(file("truth-roll.png"))) << c.what;
  }
}

// The roll's width is checked before the run only against a header the file bears out: one that
// really holds too many blocks is refused at once; one that only claims them runs to its end.
TEST_F(HostileFiles, TheRollIsRefusedBeforeTheRunOnlyForAFileThatHoldsTooMuch) {
  constexpr std::uint32_t kBlocks = 62500;  // at 16 pixels a block, 5 more than a roll may show
  ASSERT_TRUE(lying::sparseSilence(file("long.wav"), kBlocks * 2048));
  std::ofstream(file("old.png")) << "old";
  Result refused = finish(start({"--headless", "long.wav", "--roll", "old.png", "--roll-scale", "16"}), kLyingRunLimit);
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err.rfind("sonavel: --roll: up to 62501 blocks would make a picture", 0), 0u) << refused.err;
  EXPECT_EQ(lines(refused.err), 1) << refused.err;
  EXPECT_EQ(slurp(file("old.png")), "old");

  ASSERT_TRUE(lying::mp3ClaimingMore(file("huge.mp3"), noisyTone(0.5)));
  const long long blocks = static_cast<long long>((lying::decodeAll(file("huge.mp3")).size() + 511) / 512 / 4);
  Result claimed = finish(start({"--headless", "huge.mp3", "--roll", "old.png", "--roll-scale", "16"}), kLyingRunLimit);
  EXPECT_EQ(claimed.status, 0) << claimed.err;
  probe::Picture roll;
  ASSERT_TRUE(probe::readPng(file("old.png"), roll));
  EXPECT_EQ(roll.width, 47 + 16 * blocks + 1 + 32) << "the blocks the file holds";
}

// A file with no length in its header that holds more than a roll may show: the run itself
// stops at the last block that fits, with one line and nothing written.
TEST_F(HostileFiles, TheRollStopsARunWhoseInputTurnsOutTooLong) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 1;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* flac = sf_open(file("long.flac").c_str(), SFM_WRITE, &info);
  ASSERT_NE(flac, nullptr);
  double fastest = 0.0;
  sf_command(flac, SFC_SET_COMPRESSION_LEVEL, &fastest, sizeof fastest);
  const std::vector<short> silence(1 << 16, 0);
  for (long long written = 0; written < 62500LL * 2048; written += static_cast<long long>(silence.size()))
    sf_writef_short(flac, silence.data(), static_cast<sf_count_t>(silence.size()));
  sf_close(flac);
  ASSERT_TRUE(lying::forgetFlacLength(file("long.flac")));

  Result r = run({"--headless", "long.flac", "--roll", "r.png", "--roll-scale", "16", "--scores", "s.csv"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "sonavel: --roll: long.flac scores more than the 62495 blocks a roll may show at 16 pixels per "
                   "block; use fewer --steps or a smaller --roll-scale; no output written\n");
  EXPECT_FALSE(fs::exists(file("r.png")));
  EXPECT_FALSE(fs::exists(file("s.csv")));
  EXPECT_EQ(leftovers(dir), 0);
}

// One rule: an output that cannot be created or written gives status 1 and one line, whatever
// stands in its way, for every kind of output; the folder keeps no half-written file.
TEST_F(HostileFiles, EveryOutputThatCannotBeWrittenExitsOneWithOneLine) {
  sineFile("in.wav", 1.0);
  fs::create_directory(dir / "folder.out");
  fs::create_symlink("loop.b", dir / "loop.a");
  fs::create_symlink("loop.a", dir / "loop.b");
  fs::create_symlink("missing/target", dir / "dangling");
  struct Place {
    const char* what;
    std::string path;
  };
  std::vector<Place> places = {
      {"a missing folder", "none/out"},        {"a trailing slash", "out/"},
      {"a symlink loop", "loop.a"},            {"a link into a missing folder", "dangling"},
      {"a folder in its place", "folder.out"}, {"a device with no room", "/dev/full"},
  };
  // A read-only folder: a read-only tmpfs where this machine mounts one, else a folder without
  // write permission, which only binds a user other than root.
  if (mountTmpfs("ro", MS_RDONLY, "size=64k")) {
    places.push_back({"a read-only folder", "ro/out"});
  } else if (::geteuid() != 0) {
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    places.push_back({"a read-only folder", "ro/out"});
  } else {
    std::printf("no tmpfs can be mounted here: the read-only and full-disk cases are skipped\n");
  }
  if (mountTmpfs("full", 0, "size=200k")) {
    std::ofstream filler(file("full/filler"), std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), block.size())) {
    }
    places.push_back({"a full disk", "full/out"});
  }
  for (const char* option : {"--scores", "--picture", "--output", "--roll"}) {
    for (const Place& place : places) {
      Result r = run({"--headless", "in.wav", option, place.path});
      EXPECT_EQ(r.status, 1) << option << " on " << place.what << ": " << r.err;
      EXPECT_EQ(r.err.rfind("sonavel: " + place.path + ": ", 0), 0u) << option << " on " << place.what << ": " << r.err;
      EXPECT_EQ(lines(r.err), 1) << option << " on " << place.what << ": " << r.err;
    }
  }
  // Two outputs failing: still one line, naming both.
  std::vector<std::pair<std::string, std::string>> pairs = {{"/dev/full", "/dev/full"}};
  if (fs::exists(file("full/filler"))) pairs.emplace_back("full/s.csv", "full/p.png");
  for (const auto& [first, second] : pairs) {
    Result r = run({"--headless", "in.wav", "--scores", first, "--picture", second, "--output", "kept.wav"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.rfind("sonavel: " + first + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("; " + second + " failed too"), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_FALSE(fs::exists(file("kept.wav"))) << "nothing is renamed when one output fails";
  }
  for (const char* folder : {"", "full", "ro"}) EXPECT_EQ(leftovers(dir / folder), 0) << folder;
  EXPECT_TRUE(fs::is_symlink(dir / "loop.a"));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling"));

  // The recording of a live run, refused before any window: the same rule.
  for (const Place& place : places) {
    if (place.path == "/dev/full" || place.path.rfind("full/", 0) == 0) continue;  // refused as a device, or written later
    Result r = run({"--record", place.path});
    EXPECT_EQ(r.status, 1) << "--record on " << place.what << ": " << r.err;
    EXPECT_EQ(r.err.rfind("sonavel: " + place.path + ": ", 0), 0u) << r.err;
    EXPECT_EQ(lines(r.err), 1) << r.err;
  }
}

// What is wrong with the request itself is 2, before any output is touched.
TEST_F(HostileFiles, OutputsThatLandOnTheSameFileThroughLinksAreRefused) {
  sineFile("in.wav", 0.2);
  fs::create_symlink("target.csv", dir / "dangling");
  fs::create_symlink(dir / "in.wav", dir / "input-link");
  struct Case {
    std::vector<std::string> args;
    std::string line;
  };
  const Case cases[] = {
      {{"--scores", "dangling", "--picture", "target.csv"}, "sonavel: --picture target.csv is the same file as --scores dangling"},
      {{"--scores", "dangling", "--output", "./target.csv"}, "sonavel: --output ./target.csv is the same file as --scores dangling"},
      {{"--output", "input-link"}, "sonavel: --output input-link is the same file as INPUT in.wav"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--headless", "in.wav"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Result r = run(args);
    EXPECT_EQ(r.status, 2) << c.line;
    EXPECT_EQ(r.err.rfind(c.line, 0), 0u) << r.err;
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_FALSE(fs::exists(file("target.csv")));
  }
  // Alone, a dangling link is written through: its target is created and the link stays.
  Result r = run({"--headless", "in.wav", "--scores", "dangling"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
  EXPECT_EQ(slurp(file("target.csv")).rfind("step,column,A1", 0), 0u);
}

// SIGHUP stops a run as SIGTERM and SIGINT do, and a signal at any moment from the start ends it
// the same way: its status, at most one line, no temporary file left, every old file as it was.
TEST_F(HostileFiles, ASignalAtAnyMomentEndsTheRunCleanly) {
  sineFile("short.wav", 1.0);
  std::ofstream(file("keep.csv")) << "kept\n";
  const std::pair<int, int> signals[] = {{SIGHUP, 129}, {SIGTERM, 143}, {SIGINT, 130}};
  int spoke = 0, silent = 0;
  for (int i = 0; i < 30; ++i) {
    const auto [signal, status] = signals[i % 3];
    fs::remove(file("stderr.txt"));  // a child killed before it opens its own must not show the last one's
    // Some 40 s of steps: no machine finishes them before the signal.
    pid_t pid = start({"--headless", "short.wav", "--steps", "2000000", "--scores", "keep.csv", "--output", "new.wav"});
    // Through the loading of the program's libraries (some 10 to 80 ms) and on into the run:
    // the last ones once the run has opened its outputs, however long a busy machine takes.
    std::this_thread::sleep_for(std::chrono::milliseconds(i < 27 ? 5 * i : 100));
    for (int wait = 0; i >= 27 && leftovers(dir) == 0 && wait < 1000; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(pid, signal);
    Result r = finish(pid);
    EXPECT_EQ(r.status, status) << i;
    // Killed before the program could set its handler (it was still loading): nothing was written yet.
    if (r.err.empty()) {
      EXPECT_LT(i, 27) << "with its outputs open, the run is under way and answers " << signal;
      ++silent;
    } else {
      ++spoke;
      EXPECT_EQ(r.err, "sonavel: stopped by " + std::string(signal == SIGHUP ? "SIGHUP" : signal == SIGTERM ? "SIGTERM" : "SIGINT") +
                           "; no output written\n") << i;
    }
    EXPECT_EQ(leftovers(dir), 0) << i;
    EXPECT_EQ(slurp(file("keep.csv")), "kept\n") << i;
    EXPECT_FALSE(fs::exists(file("new.wav"))) << i;
  }
  std::printf("signals: %d ended with the line, %d arrived before the handler\n", spoke, silent);
  EXPECT_GT(spoke, 0);

  // Under nohup the hang-up is not the program's to answer: the run goes on to its end.
  pid_t pid = start({"--headless", "short.wav", "--steps", "400", "--scores", "keep.csv"}, true);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ::kill(pid, SIGHUP);
  Result r = finish(pid);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(scores(file("keep.csv")).size(), 99u);
}

}  // namespace
