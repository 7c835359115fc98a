// Writes a short known piece for trying the roll: the opening two phrases of
// "Ode to Joy" in C major with three harmonics per note, then a C major chord.
// usage: sonavel_make_melody OUT.wav|.flac|.ogg|.opus|.mp3 (the format from the name's end)

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "app/exit_status.hpp"

namespace {

constexpr double kSampleRate = 44100.0;
constexpr double kOpusRate = 48000.0;      // Opus takes no 44100 Hz
constexpr double kNoteSeconds = 0.4;
constexpr double kChordSeconds = 1.6;
constexpr double kLevel = 0.03;           // the fundamental's peak, about -30 dBFS
constexpr double kHarmonicLevels[] = {1.0, 0.5, 0.25};
constexpr double kAttackSeconds = 0.01;
constexpr double kDecayPerSecond = 1.5;   // the level falls to e^-1.5 after a second
constexpr int kA4Midi = 69;

// MIDI note numbers: E E F G G F E D C C D E E D D, then E E F G G F E D C C D E D C C.
constexpr int kTune[] = {64, 64, 65, 67, 67, 65, 64, 62, 60, 60, 62, 64, 64, 62, 62,
                         64, 64, 65, 67, 67, 65, 64, 62, 60, 60, 62, 64, 62, 60, 60};
constexpr int kChord[] = {60, 64, 67};

double frequencyOf(int midi) { return 440.0 * std::pow(2.0, (midi - kA4Midi) / 12.0); }

// Adds one struck note with its harmonics from sample `start` for `seconds`.
void addNote(std::vector<float>& out, double rate, std::size_t start, double seconds, int midi) {
  const std::size_t count = static_cast<std::size_t>(seconds * rate);
  if (out.size() < start + count) out.resize(start + count);
  for (std::size_t i = 0; i < count; ++i) {
    const double t = i / rate;
    const double envelope = std::min(1.0, t / kAttackSeconds) * std::exp(-kDecayPerSecond * t);
    double sample = 0.0;
    int harmonic = 1;
    for (double level : kHarmonicLevels)
      sample += level * std::sin(2.0 * std::numbers::pi * frequencyOf(midi) * harmonic++ * t);
    out[start + i] += static_cast<float>(kLevel * envelope * sample);
  }
}

struct Format {
  const char* ending;
  int format;
  double rate;
};
constexpr Format kFormats[] = {
    {".wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, kSampleRate},   {".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kSampleRate},
    {".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, kSampleRate},  {".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, kOpusRate},
    {".mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, kSampleRate},
};

// The format the file's name ends in; a name with none of them is a float WAV.
Format formatFor(const std::string& name) {
  for (const Format& format : kFormats) {
    const std::string ending = format.ending;
    if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0) return format;
  }
  return kFormats[0];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sonavel_make_melody OUT.wav|.flac|.ogg|.opus|.mp3\n");
    return kExitUsage;
  }
  const Format format = formatFor(argv[1]);
  std::vector<float> samples;
  std::size_t at = 0;
  for (int midi : kTune) {
    addNote(samples, format.rate, at, kNoteSeconds, midi);
    at += static_cast<std::size_t>(kNoteSeconds * format.rate);
  }
  for (int midi : kChord) addNote(samples, format.rate, at, kChordSeconds, midi);
  SF_INFO info{};
  info.samplerate = static_cast<int>(format.rate);
  info.channels = 1;
  info.format = format.format;
  SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
  if (file == nullptr) {
    std::fprintf(stderr, "sonavel_make_melody: %s: %s\n", argv[1], sf_strerror(nullptr));
    return kExitWriteFailed;
  }
  const sf_count_t written = sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  const bool ok = written == static_cast<sf_count_t>(samples.size()) && sf_close(file) == 0;
  if (!ok) std::fprintf(stderr, "sonavel_make_melody: %s: write error\n", argv[1]);
  return ok ? kExitSuccess : kExitWriteFailed;
}
