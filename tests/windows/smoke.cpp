// Build check for the Windows libraries: links SDL2, PortAudio, libsndfile, libpng and zlib
// from the cross-built cache, prints their versions and PortAudio's host APIs, round-trips a
// WAV and a FLAC through libsndfile and a PNG through libpng, and exits 0 when all of it works.
// Usage: sonavel_windows_smoke [FOLDER]   (the files are written there; default: the current one)
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <png.h>
#include <portaudio.h>
#include <sndfile.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kSampleRate = 44100;
constexpr int kOpusRate = 48000;  // Opus takes no 44100 Hz
constexpr int kFrames = 4410;  // 100 ms
constexpr double kToneHz = 440.0;
constexpr double kPi = 3.14159265358979323846;
constexpr int kPictureWidth = 64;
constexpr int kPictureHeight = 48;

struct Check {
  int failures = 0;
  void operator()(bool ok, const std::string& what) {
    std::printf("sonavel: smoke: %s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) ++failures;
  }
};

std::vector<float> tone(int rate) {
  std::vector<float> samples(kFrames);
  for (int i = 0; i < kFrames; ++i)
    samples[i] = static_cast<float>(0.5 * std::sin(2.0 * kPi * kToneHz * i / rate));
  return samples;
}

double rms(const float* samples, sf_count_t count) {
  double sum = 0.0;
  for (sf_count_t i = 0; i < count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

// Writes the tone in the given format and reads it back. Float WAV must come back exact,
// 16-bit within one step of rounding; lossy codecs keep the length and, near enough, the level.
enum class Fidelity { exact, sixteenBit, lossy };
bool soundRoundTrip(const std::string& path, int format, int rate, Fidelity fidelity) {
  const std::vector<float> written = tone(rate);
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = format;
  SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!out) return false;
  const bool wrote = sf_write_float(out, written.data(), kFrames) == kFrames;
  sf_close(out);
  if (!wrote) return false;

  SF_INFO readInfo{};
  SNDFILE* in = sf_open(path.c_str(), SFM_READ, &readInfo);
  if (!in) return false;
  std::vector<float> read(kFrames * 2);
  const sf_count_t count = sf_read_float(in, read.data(), static_cast<sf_count_t>(read.size()));
  sf_close(in);
  if (readInfo.samplerate != rate) return false;
  switch (fidelity) {
    case Fidelity::exact:
      return count == kFrames && std::equal(written.begin(), written.end(), read.begin());
    case Fidelity::sixteenBit:
      for (int i = 0; i < kFrames; ++i)
        if (std::fabs(read[i] - written[i]) > 1.0f / 32767.0f) return false;
      return count == kFrames;
    case Fidelity::lossy:
      return count >= kFrames * 9 / 10 && std::fabs(rms(read.data(), count) / rms(written.data(), kFrames) - 1.0) < 0.1;
  }
  return false;
}

bool pictureRoundTrip(const std::string& path) {
  std::vector<png_byte> pixels(kPictureWidth * kPictureHeight * 3);
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) {
      png_byte* p = &pixels[(y * kPictureWidth + x) * 3];
      p[0] = static_cast<png_byte>(x * 4);
      p[1] = static_cast<png_byte>(y * 5);
      p[2] = static_cast<png_byte>((x ^ y) * 3);
    }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = kPictureWidth;
  image.height = kPictureHeight;
  image.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr)) return false;

  png_image back{};
  back.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&back, path.c_str())) return false;
  back.format = PNG_FORMAT_RGB;
  std::vector<png_byte> read(PNG_IMAGE_SIZE(back));
  const bool ok = png_image_finish_read(&back, nullptr, read.data(), 0, nullptr) != 0;
  return ok && back.width == kPictureWidth && back.height == kPictureHeight && read == pixels;
}

void listHostApis(Check& check) {
  const PaError err = Pa_Initialize();
  check(err == paNoError, std::string("PortAudio initialises: ") + Pa_GetErrorText(err));
  if (err != paNoError) return;
  const int count = Pa_GetHostApiCount();
  for (int i = 0; i < count; ++i) {
    const PaHostApiInfo* api = Pa_GetHostApiInfo(i);
    std::printf("sonavel: smoke: host API %d: %s, %d devices\n", i, api->name, api->deviceCount);
  }
  const bool wasapi = Pa_HostApiTypeIdToHostApiIndex(paWASAPI) >= 0;
  const bool mme = Pa_HostApiTypeIdToHostApiIndex(paMME) >= 0;
  const bool directSound = Pa_HostApiTypeIdToHostApiIndex(paDirectSound) >= 0;
  check(wasapi && mme && directSound, "PortAudio has WASAPI, MME and DirectSound");
  Pa_Terminate();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? std::string(argv[1]) + "/" : "";
  Check check;

  SDL_version sdl;
  SDL_GetVersion(&sdl);
  std::printf("sonavel: smoke: SDL2 %d.%d.%d\n", sdl.major, sdl.minor, sdl.patch);
  std::printf("sonavel: smoke: %s\n", Pa_GetVersionText());
  std::printf("sonavel: smoke: %s\n", sf_version_string());
  std::printf("sonavel: smoke: libpng %s, zlib %s\n", png_get_libpng_ver(nullptr), zlibVersion());

  SDL_SetMainReady();
  check(SDL_Init(SDL_INIT_TIMER) == 0, std::string("SDL timer starts: ") + SDL_GetError());
  SDL_Quit();

  listHostApis(check);

  // The posix thread model: std::thread through libwinpthread.
  int fromThread = 0;
  std::thread([&] { fromThread = 1; }).join();
  check(fromThread == 1, "std::thread runs");

  const struct {
    const char* file;
    int format;
    int rate;
    Fidelity fidelity;
  } sounds[] = {
      {"smoke.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, kSampleRate, Fidelity::exact},
      {"smoke16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kSampleRate, Fidelity::sixteenBit},
      {"smoke.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kSampleRate, Fidelity::sixteenBit},
      {"smoke.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, kSampleRate, Fidelity::lossy},
      {"smoke.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, kOpusRate, Fidelity::lossy},
      {"smoke.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, kSampleRate, Fidelity::lossy},
  };
  for (const auto& sound : sounds)
    check(soundRoundTrip(folder + sound.file, sound.format, sound.rate, sound.fidelity),
          std::string(sound.file) + " round trip");
  check(pictureRoundTrip(folder + "smoke.png"), "PNG round trip");

  std::printf("sonavel: smoke: %d failed\n", check.failures);
  return check.failures == 0 ? 0 : 1;
}
