#include "audio/stream.hpp"

#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "core/tuner_state.hpp"
#include "audio/audio_callback.hpp"
#include "audio/callback_clock.hpp"
#include "audio/device_choice.hpp"
#include "audio/exclusive_mode.hpp"
#include "audio/file_feed.hpp"
#include "audio/host_apis.hpp"
#include "audio/output_relay.hpp"
#include "audio/rate_bridge.hpp"

namespace {

constexpr double kMillisecondsPerSecond = 1000.0;
constexpr int kChannels = 1;
constexpr std::size_t kReportLength = 256;  // room for a report line, host API name included

// What start-up opened, main thread only: the settings it was given, whether it holds one
// Pa_Initialize that stopAudio must undo, and the playback stream when capture and playback
// run as two streams (the capture stream, which runs the callback, is `tuner.audioStream`).
struct OpenAudio {
  AudioSettings settings;
  bool libraryHeld = false;
  PaStream* playback = nullptr;
  std::string passedOver;  // preferred host APIs whose default devices did not take the stream
  BridgeRates rates;       // the devices' rates; where either is not 44100 Hz, the rate bridge converts
  bool exclusive = false;  // the devices are held alone (WASAPI's exclusive mode)
};
OpenAudio opened;

PaStream* openStream() { return static_cast<PaStream*>(tuner.audioStream); }

// How punctually each side's callback comes, for the audio report: the capture
// stream's (or the duplex stream's) and the playback stream's.
CallbackClock captureClock, playbackClock;

// Callback threads: steady_clock reads the vDSO clock, no system call.
void clockCall(CallbackClock& clock, unsigned long frameCount, PaStreamCallbackFlags flags) {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  clockCall(clock, std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), frameCount,
            (flags & paInputOverflow) != 0, (flags & paOutputUnderflow) != 0);
}

int forwardToCallback(const void* input, void* output, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                      PaStreamCallbackFlags flags, void*) {
  clockCall(captureClock, frameCount, flags);
  return audioCallback(static_cast<const float*>(input), static_cast<float*>(output), frameCount);
}

int captureToRelay(const void* input, void*, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags flags, void*) {
  clockCall(captureClock, frameCount, flags);
  relayCapture(static_cast<const float*>(input), frameCount);
  return paContinue;
}

int playFromRelay(const void*, void* output, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags flags, void*) {
  clockCall(playbackClock, frameCount, flags);
  relayPlayback(static_cast<float*>(output), frameCount);
  return paContinue;
}

int captureToBridge(const void* input, void*, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                    PaStreamCallbackFlags flags, void*) {
  clockCall(captureClock, frameCount, flags);
  bridgeCapture(static_cast<const float*>(input), frameCount);
  return paContinue;
}

int playFromBridge(const void*, void* output, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags flags, void*) {
  clockCall(playbackClock, frameCount, flags);
  bridgePlayback(static_cast<float*>(output), frameCount);
  return paContinue;
}

int playFile(const void*, void* output, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
             PaStreamCallbackFlags, void*) {
  feedFromFile(static_cast<float*>(output), frameCount);
  return paContinue;
}

// PortAudio's own text, with the host's message when the host API is what failed.
std::string errorText(PaError error) {
  std::string text = Pa_GetErrorText(error);
  if (error == paUnanticipatedHostError) {
    const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
    if (host != nullptr && host->errorText != nullptr && host->errorText[0] != '\0')
      text += std::string(" (") + host->errorText + ")";
  }
  return text;
}

// Pa_Initialize and Pa_Terminate in one scope, for the calls that only look at devices.
class LibraryScope {
 public:
  LibraryScope() : error_((silenceHostApis(), Pa_Initialize())) {}
  ~LibraryScope() {
    if (error_ == paNoError) Pa_Terminate();
  }
  LibraryScope(const LibraryScope&) = delete;
  LibraryScope& operator=(const LibraryScope&) = delete;
  // False, with the reason, when PortAudio did not start.
  bool started(std::string& reason) const {
    if (error_ != paNoError) reason = "cannot start PortAudio: " + errorText(error_);
    return error_ == paNoError;
  }

 private:
  PaError error_;
};

std::vector<AudioDeviceSummary> deviceSummaries() {
  std::vector<AudioDeviceSummary> devices;
  int count = Pa_GetDeviceCount();
  for (int i = 0; i < count; ++i) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
    AudioDeviceSummary summary;
    if (info != nullptr) {
      const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
      summary.name = info->name != nullptr ? info->name : "";
      summary.hostApi = api != nullptr && api->name != nullptr ? api->name : "?";
      summary.inputChannels = info->maxInputChannels;
      summary.outputChannels = info->maxOutputChannels;
    }
    devices.push_back(summary);
  }
  return devices;
}

struct DevicePair {
  int input = kNoAudioDevice;
  int output = kNoAudioDevice;
};

PaStreamParameters monoFloat(int device, bool input) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
  double deviceLatency = input ? info->defaultLowInputLatency : info->defaultLowOutputLatency;
  PaStreamParameters parameters{};
  parameters.device = device;
  parameters.channelCount = kChannels;
  parameters.sampleFormat = paFloat32;
  parameters.suggestedLatency = std::max(opened.settings.minLatencyMs / kMillisecondsPerSecond, deviceLatency);
  parameters.hostApiSpecificStreamInfo = nullptr;
  return parameters;
}

bool takesAt(const PaStreamParameters& parameters, bool input, double rate) {
  return Pa_IsFormatSupported(input ? &parameters : nullptr, input ? nullptr : &parameters, rate) == paFormatIsSupported;
}

// Whether `device` takes what the program opens on it: 44100 Hz mono float at the latency asked for.
bool takesTheStream(int device, bool input) {
  return device != paNoDevice && takesAt(monoFloat(device, input), input, kSampleRate);
}

PaHostApiTypeId hostApiType(int device) {
  const PaDeviceInfo* info = device != paNoDevice ? Pa_GetDeviceInfo(device) : nullptr;
  const PaHostApiInfo* api = info != nullptr ? Pa_GetHostApiInfo(info->hostApi) : nullptr;
  return api != nullptr ? api->type : paInDevelopment;
}

// The rate the live streams open `device` at: its own where the host API lets the program convert
// (the system would convert any other rate itself, where it opened it at all), else 44100 Hz; 0
// where it takes neither.
double openingRate(int device, bool input) {
  if (device != paNoDevice && convertsAtDeviceRate(hostApiType(device))) {
    const double own = Pa_GetDeviceInfo(device)->defaultSampleRate;
    if (takesAt(monoFloat(device, input), input, own)) return own;
  }
  return takesTheStream(device, input) ? kSampleRate : 0;
}

// The devices opened when none is named: the defaults of the first preferred host API whose
// defaults take the stream (the output's alone for a file, which is not converted), else
// PortAudio's own. The host APIs passed over go to `passedOver`, named. Needs the library initialised.
DevicePair defaultDevices(bool withInput, std::string* passedOver = nullptr) {
  auto opens = [withInput](int device, bool input) {
    return withInput ? openingRate(device, input) > 0 : takesTheStream(device, input);
  };
  for (PaHostApiTypeId type : preferredHostApis()) {
    const PaHostApiIndex index = Pa_HostApiTypeIdToHostApiIndex(type);
    const PaHostApiInfo* api = index >= 0 ? Pa_GetHostApiInfo(index) : nullptr;
    if (api == nullptr) continue;
    if ((!withInput || opens(api->defaultInputDevice, true)) && opens(api->defaultOutputDevice, false))
      return {withInput ? api->defaultInputDevice : kNoAudioDevice, api->defaultOutputDevice};
    if (passedOver != nullptr) *passedOver += std::string(passedOver->empty() ? "" : ", ") + api->name;
  }
  return {withInput ? Pa_GetDefaultInputDevice() : kNoAudioDevice, Pa_GetDefaultOutputDevice()};
}

// Needs the library initialised.
bool resolveDevices(const AudioDeviceChoice& choice, DevicePair& pair, std::string& reason,
                    std::string* passedOver = nullptr) {
  std::vector<AudioDeviceSummary> devices = deviceSummaries();
  const DevicePair defaults = defaultDevices(true, passedOver);
  AudioDevicePick wanted{choice.input, choice.output, defaults.input, defaults.output};
  return chooseAudioDevices(devices, wanted, pair.input, pair.output, reason);
}

// ALSA periods that make one period hold one callback buffer. PortAudio sizes an
// ALSA buffer as one callback buffer plus the latency, splits it into its period
// count (4 unless told) and rounds periods up to whole callback buffers: 1024
// frames at 75 ms. Over PulseAudio's ALSA plugin (no mmap, capture and playback
// not linked) capture that runs ahead of playback makes PortAudio's wait spin:
// the capture poll descriptor stays readable with nothing to read, and without
// mmap its input drop reads nothing. One buffer per period narrows that window;
// it does not close it while the output sink runs at a long latency. The
// latency stays what was asked for.
int periodsOfOneBuffer(const PaStreamParameters& input, const PaStreamParameters& output) {
  double latencyFrames = std::max(input.suggestedLatency, output.suggestedLatency) * kSampleRate;
  return static_cast<int>(std::ceil((latencyFrames + kFramesPerBuffer) / kFramesPerBuffer));
}

// Whether the stream runs on ALSA, the only host API whose threads can be asked for real-time scheduling.
bool onAlsa(const PaStreamParameters& parameters) {
  const PaDeviceInfo* device = Pa_GetDeviceInfo(parameters.device);
  const PaHostApiInfo* api = device != nullptr ? Pa_GetHostApiInfo(device->hostApi) : nullptr;
  return api != nullptr && api->type == paALSA;
}

bool startStream(PaStream* stream, std::string& reason) {
  const PaError error = Pa_StartStream(stream);
  if (error == paNoError) return true;
  reason = "cannot start the audio stream: " + errorText(error);
  return false;
}

// Opens and starts one stream that runs `callback`, as `tuner.audioStream`.
bool openOneStream(const PaStreamParameters* input, const PaStreamParameters* output, PaStreamCallback* callback,
                   std::string& reason) {
  PaStream* stream = nullptr;
  PaError error = Pa_OpenStream(&stream, input, output, kSampleRate, kFramesPerBuffer, paNoFlag, callback, nullptr);
  if (error != paNoError) {
    reason = "cannot open the audio stream: " + errorText(error);
    return false;
  }
  if (opened.settings.realtime && onAlsa(input != nullptr ? *input : *output)) askRealtime(stream);
  if (!startStream(stream, reason)) {
    Pa_CloseStream(stream);
    return false;
  }
  tuner.audioStream = stream;
  return true;
}

// One duplex stream: the callback gets each input buffer with its output buffer.
bool openDuplex(PaStreamParameters& input, PaStreamParameters& output, std::string& reason) {
  periodsForDuplex(periodsOfOneBuffer(input, output));
  return openOneStream(&input, &output, forwardToCallback, reason);
}

bool converting() { return opened.rates.input != kSampleRate || opened.rates.output != kSampleRate; }

// Capture and playback as two streams joined by the output relay. Each waits on
// its own device, so neither can spin on the other's readiness. A device at its own rate is
// served through the rate bridge, whose helper thread then runs the relay's two ends.
bool openSplit(PaStreamParameters& input, PaStreamParameters& output, std::string& reason) {
  PaStream* capture = nullptr;
  PaStream* playback = nullptr;
  resetOutputRelay();
  const bool bridged = converting();
  if (bridged && !openRateBridge(opened.rates, {relayCapture, relayPlayback}, reason)) return false;
  PaError error = Pa_OpenStream(&capture, &input, nullptr, opened.rates.input, kFramesPerBuffer, paNoFlag,
                                bridged ? captureToBridge : captureToRelay, nullptr);
  if (error == paNoError)
    error = Pa_OpenStream(&playback, nullptr, &output, opened.rates.output, kFramesPerBuffer, paNoFlag,
                          bridged ? playFromBridge : playFromRelay, nullptr);
  if (error != paNoError) {
    reason = "cannot open the audio stream: " + errorText(error);
    if (capture != nullptr) Pa_CloseStream(capture);
    closeRateBridge();
    return false;
  }
  if (bridged) startRateBridge(raiseHelperThread);
  if (opened.settings.realtime && onAlsa(input)) askRealtime(capture);
  if (opened.settings.realtime && onAlsa(output)) askRealtime(playback);
  if (!startStream(playback, reason) || !startStream(capture, reason)) {
    Pa_CloseStream(capture);  // closing stops a started stream first
    Pa_CloseStream(playback);
    closeRateBridge();
    return false;
  }
  tuner.audioStream = capture;
  opened.playback = playback;
  return true;
}

// For the report, where the host API holds devices either way: " shared at 48000 Hz" and the like.
std::string sharingText(int inputDevice) {
  const std::string word = sharingWord(hostApiType(inputDevice), opened.exclusive);
  if (word.empty()) return "";
  char text[kReportLength];
  if (opened.rates.input == opened.rates.output)
    std::snprintf(text, sizeof text, " %s at %.0f Hz", word.c_str(), opened.rates.input);
  else
    std::snprintf(text, sizeof text, " %s at %.0f Hz in, %.0f Hz out", word.c_str(), opened.rates.input,
                  opened.rates.output);
  return text + std::string(converting() ? " (converted to and from 44100 Hz)" : "");
}

// The line SONAVEL_AUDIO_REPORT asks for: the streams' host API and the latencies PortAudio reports.
std::string streamReport(int inputDevice) {
  auto milliseconds = [](PaStream* stream, bool input) {
    const PaStreamInfo* info = stream != nullptr ? Pa_GetStreamInfo(stream) : nullptr;
    if (info == nullptr) return -1.0;
    return 1000.0 * (input ? info->inputLatency : info->outputLatency);
  };
  PaStream* capture = openStream();
  PaStream* playback = opened.playback != nullptr ? opened.playback : capture;
  const PaDeviceInfo* device = Pa_GetDeviceInfo(inputDevice);
  const PaHostApiInfo* api = device != nullptr ? Pa_GetHostApiInfo(device->hostApi) : nullptr;
  char line[kReportLength];
  std::snprintf(line, sizeof line, "audio: %s on %s%s, input latency %.1f ms, output latency %.1f ms",
                opened.playback != nullptr ? "two streams" : "one duplex stream",
                api != nullptr && api->name != nullptr ? api->name : "?", sharingText(inputDevice).c_str(),
                milliseconds(capture, true), milliseconds(playback, false));
  if (opened.passedOver.empty()) return line;
  return line + ("; passed over (their default devices take no stream this program can open): " + opened.passedOver);
}

// The line SONAVEL_AUDIO_REPORT asks for at the end: how well the playback side kept up.
std::string relayReport() {
  const RelayCounts counts = outputRelayCounts();
  auto ms = [](unsigned long long frames) { return 1000.0 * static_cast<double>(frames) / kSampleRate; };
  char line[kReportLength];
  std::snprintf(line, sizeof line,
                "audio: captured %.1f s, played %.1f s, %.1f ms of it silence in %llu gaps, %.1f ms "
                "composed but dropped, %.1f ms of the tone carried on where the relay ran dry %llu times",
                ms(counts.captured) / 1000.0, ms(counts.played) / 1000.0, ms(counts.silent), counts.gaps,
                ms(counts.dropped), ms(counts.carried), counts.carries);
  return line;
}

// The line SONAVEL_AUDIO_REPORT asks for at the end: the least output the playback side found
// waiting, over all and per stretch of playback.
std::string fillReport() {
  const RelayCounts counts = outputRelayCounts();
  auto ms = [](unsigned long long frames) { return 1000.0 * static_cast<double>(frames) / kSampleRate; };
  std::string stretches;
  unsigned long long least = kNoFill;
  for (unsigned long long fill : counts.leastFill) {
    if (fill == kNoFill) continue;
    least = std::min(least, fill);
    char each[16];
    std::snprintf(each, sizeof each, " %.0f", ms(fill));
    stretches += each;
  }
  if (least == kNoFill) return "audio: relay fill: the playback side never played from the relay";
  char line[kReportLength];
  std::snprintf(line, sizeof line, "audio: relay fill: least %.1f ms (%llu frames); least per %.0f s, in ms:",
                ms(least), least, static_cast<double>(kFillWindowFrames) / kSampleRate);
  return line + stretches;
}

// The line SONAVEL_AUDIO_REPORT asks for at the end: what converting between rates lost.
std::string bridgeReport() {
  const BridgeCounts counts = rateBridgeCounts();
  char line[kReportLength];
  std::snprintf(line, sizeof line,
                "audio: rate conversion: %llu input frames lost, %llu output frames played as silence in %llu calls",
                counts.inputLost, counts.outputShort, counts.shortCalls);
  return line;
}

// The line SONAVEL_AUDIO_REPORT asks for at the end: how punctually one side's callback came.
std::string paceReport(const char* side, const CallbackClock& clock) {
  const CallbackPace pace = callbackPace(clock);
  char line[kReportLength];
  std::snprintf(line, sizeof line,
                "audio: %s callback: %llu calls, period %.1f ms, interval max %.1f ms, p99 %.2f ms, "
                "most late %.1f ms; input overflows %llu, output underflows %llu",
                side, pace.calls, pace.periodMs, pace.longestMs, pace.p99Ms, pace.mostLateMs, pace.inputOverflows,
                pace.outputUnderflows);
  return line;
}

// Opens and starts the streams at `rates`: one duplex stream where asked for and nothing is
// converted, else two.
bool openAt(PaStreamParameters& input, PaStreamParameters& output, const BridgeRates& rates, std::string& reason) {
  opened.rates = rates;
  const bool duplex = opened.settings.layout == StreamLayout::Duplex && !converting();
  return duplex ? openDuplex(input, output, reason) : openSplit(input, output, reason);
}

// The devices held alone (exclusive_mode.hpp), at their least latency; false with a note of why not.
bool openExclusive(const DevicePair& pair, std::vector<std::string>& notes) {
  void* inputInfo = exclusiveStreamInfo(hostApiType(pair.input));
  void* outputInfo = exclusiveStreamInfo(hostApiType(pair.output));
  auto tryRate = [&](double rate, std::string& why) {
    PaStreamParameters input = monoFloat(pair.input, true), output = monoFloat(pair.output, false);
    input.suggestedLatency = Pa_GetDeviceInfo(pair.input)->defaultLowInputLatency;
    output.suggestedLatency = Pa_GetDeviceInfo(pair.output)->defaultLowOutputLatency;
    input.hostApiSpecificStreamInfo = inputInfo;
    output.hostApiSpecificStreamInfo = outputInfo;
    PaError error = Pa_IsFormatSupported(&input, nullptr, rate);
    if (error == paFormatIsSupported) error = Pa_IsFormatSupported(nullptr, &output, rate);
    if (error != paFormatIsSupported) {
      why = errorText(error);
      return false;
    }
    opened.exclusive = openAt(input, output, {rate, rate}, why);
    return opened.exclusive;
  };
  const ExclusiveOutcome outcome = holdExclusive(inputInfo != nullptr && outputInfo != nullptr, tryRate);
  if (!outcome.held) notes.push_back(outcome.note);
  return outcome.held;
}

// With the library initialised: opens and starts the stream or streams, or says why not.
bool openAndStart(std::string& reason, std::vector<std::string>& notes) {
  DevicePair pair;
  opened.passedOver.clear();
  opened.exclusive = false;
  if (!resolveDevices(opened.settings.devices, pair, reason, &opened.passedOver)) return false;
  resetClock(captureClock);
  resetClock(playbackClock);
  if (!opened.settings.exclusive || !openExclusive(pair, notes)) {
    PaStreamParameters input = monoFloat(pair.input, true);
    PaStreamParameters output = monoFloat(pair.output, false);
    // A device that takes neither rate gets 44100 Hz, and PortAudio's refusal says why.
    auto rateOf = [](double rate) { return rate > 0 ? rate : kSampleRate; };
    if (!openAt(input, output, {rateOf(openingRate(pair.input, true)), rateOf(openingRate(pair.output, false))},
                reason))
      return false;
  }
  if (opened.settings.report) notes.push_back(streamReport(pair.input));
  return true;
}

}  // namespace

namespace {

// Starts the library with `settings`, runs `open` and keeps the library only when it opened a stream.
template <typename Open>
bool startWith(const AudioSettings& settings, std::string& reason, Open open) {
  if (openStream() != nullptr) return true;
  opened.settings = settings;
  askLeastLatency(settings.minLatencyMs);
  silenceHostApis();
  PaError error = Pa_Initialize();
  if (error != paNoError) {
    reason = "cannot start PortAudio: " + errorText(error);
    return false;
  }
  if (!open()) {
    Pa_Terminate();
    return false;
  }
  opened.libraryHeld = true;
  return true;
}

}  // namespace

bool startAudio(const AudioSettings& settings, std::string& reason, std::vector<std::string>& notes) {
  return startWith(settings, reason, [&] { return openAndStart(reason, notes); });
}

void stopAudio(std::vector<std::string>& report) {
  const bool split = opened.playback != nullptr;
  const bool hadStream = openStream() != nullptr;
  if (PaStream* stream = openStream()) {
    Pa_StopStream(stream);  // lets the queued output play out; no callback runs after it
    Pa_CloseStream(stream);
    tuner.audioStream = nullptr;
  }
  if (split) {  // after the capture side, so it plays what that composed last
    Pa_StopStream(opened.playback);
    Pa_CloseStream(opened.playback);
    opened.playback = nullptr;
    if (opened.settings.report) report = {relayReport(), fillReport()};
    if (opened.settings.report && converting()) report.push_back(bridgeReport());
    closeRateBridge();
  }
  if (hadStream && opened.settings.report && captureClock.calls.load(std::memory_order_relaxed) > 0) {
    report.push_back(paceReport(split ? "capture" : "duplex", captureClock));
    if (split) report.push_back(paceReport("playback", playbackClock));
  }
  if (opened.libraryHeld) {
    Pa_Terminate();
    opened.libraryHeld = false;
  }
}

namespace {

// With the library initialised: the output stream that plays the file, or why not.
bool openFileOutput(const std::string& outputDevice, std::string& reason) {
  const int device =
      chooseAudioDevice(deviceSummaries(), outputDevice, AudioDirection::Output, defaultDevices(false).output, reason);
  if (device == kNoAudioDevice) return false;
  const PaStreamParameters output = monoFloat(device, false);
  return openOneStream(nullptr, &output, playFile, reason);
}

}  // namespace

bool startFileAudio(const AudioSettings& settings, std::string& reason) {
  return startWith(settings, reason, [&] { return openFileOutput(settings.devices.output, reason); });
}

bool checkOutputDevice(const std::string& outputDevice, std::string& reason) {
  LibraryScope library;
  if (!library.started(reason)) return false;
  return chooseAudioDevice(deviceSummaries(), outputDevice, AudioDirection::Output, defaultDevices(false).output,
                           reason) != kNoAudioDevice;
}

bool listAudioDevices(std::vector<std::string>& lines, std::string& reason) {
  LibraryScope library;
  if (!library.started(reason)) return false;
  std::vector<AudioDeviceSummary> devices = deviceSummaries();
  const DevicePair defaults = defaultDevices(true);
  const int defaultInput = defaults.input;
  const int defaultOutput = defaults.output;
  for (int i = 0; i < static_cast<int>(devices.size()); ++i)
    lines.push_back(describeAudioDevice(i, devices[i], i == defaultInput, i == defaultOutput));
  return true;
}

bool checkAudioDevices(const AudioDeviceChoice& choice, std::string& reason) {
  LibraryScope library;
  if (!library.started(reason)) return false;
  DevicePair pair;
  return resolveDevices(choice, pair, reason);
}
