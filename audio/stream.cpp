#include "audio/stream.hpp"

#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/constants.hpp"
#include "audio/audio_callback.hpp"
#include "audio/audio_shared.hpp"
#include "audio/callback_clock.hpp"
#include "audio/device_choice.hpp"
#include "audio/exclusive_mode.hpp"
#include "audio/host_apis.hpp"
#include "audio/output_relay.hpp"
#include "audio/rate_bridge.hpp"

namespace {

constexpr double kMillisecondsPerSecond = 1000.0;
constexpr int kChannels = 1;
constexpr std::size_t kReportLength = 256;  // room for a report line, host API name included

PaStream* openStream(const OpenStreams& opened) { return static_cast<PaStream*>(opened.capture); }

AudioShared& shared(void* userData) { return *static_cast<AudioShared*>(userData); }

// Callback threads: steady_clock reads the vDSO clock, no system call.
void clockCall(CallbackClock& clock, unsigned long frameCount, PaStreamCallbackFlags flags) {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  clockCall(clock, std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(), frameCount,
            (flags & paInputOverflow) != 0, (flags & paOutputUnderflow) != 0);
}

int forwardToCallback(const void* input, void* output, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                      PaStreamCallbackFlags flags, void* userData) {
  AudioShared& audio = shared(userData);
  clockCall(audio.captureClock, frameCount, flags);
  return audioCallback(audio, static_cast<const float*>(input), static_cast<float*>(output), frameCount);
}

int captureToRelay(const void* input, void*, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags flags, void* userData) {
  AudioShared& audio = shared(userData);
  clockCall(audio.captureClock, frameCount, flags);
  relayCapture(audio, static_cast<const float*>(input), frameCount);
  return paContinue;
}

int playFromRelay(const void*, void* output, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags flags, void* userData) {
  AudioShared& audio = shared(userData);
  clockCall(audio.playbackClock, frameCount, flags);
  relayPlayback(audio.relay, audio.record, static_cast<float*>(output), frameCount);
  return paContinue;
}

int captureToBridge(const void* input, void*, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                    PaStreamCallbackFlags flags, void* userData) {
  AudioShared& audio = shared(userData);
  clockCall(audio.captureClock, frameCount, flags);
  bridgeCapture(audio.bridge, static_cast<const float*>(input), frameCount);
  return paContinue;
}

int playFromBridge(const void*, void* output, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
                   PaStreamCallbackFlags flags, void* userData) {
  AudioShared& audio = shared(userData);
  clockCall(audio.playbackClock, frameCount, flags);
  bridgePlayback(audio.bridge, static_cast<float*>(output), frameCount);
  return paContinue;
}

// The rate bridge's helper thread: the relay's two ends at 44100 Hz.
void relayCaptureEnd(void* userData, const float* input, unsigned long frameCount) {
  relayCapture(shared(userData), input, frameCount);
}

void relayPlaybackEnd(void* userData, float* output, unsigned long frameCount) {
  AudioShared& audio = shared(userData);
  relayPlayback(audio.relay, audio.record, output, frameCount);
}

// The rate bridge's helper thread, for a file: its samples at 44100 Hz, and no input to take.
void fileEnd(void* userData, float* output, unsigned long frameCount) {
  feedFromFile(shared(userData), output, frameCount);
}

void noInputEnd(void*, const float*, unsigned long) {}

int playFile(const void*, void* output, unsigned long frameCount, const PaStreamCallbackTimeInfo*,
             PaStreamCallbackFlags, void* userData) {
  feedFromFile(shared(userData), static_cast<float*>(output), frameCount);
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

PaStreamParameters monoFloat(int device, bool input, int minLatencyMs) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
  double deviceLatency = input ? info->defaultLowInputLatency : info->defaultLowOutputLatency;
  PaStreamParameters parameters{};
  parameters.device = device;
  parameters.channelCount = kChannels;
  parameters.sampleFormat = paFloat32;
  parameters.suggestedLatency = std::max(minLatencyMs / kMillisecondsPerSecond, deviceLatency);
  parameters.hostApiSpecificStreamInfo = nullptr;
  return parameters;
}

bool takesAt(const PaStreamParameters& parameters, bool input, double rate) {
  return Pa_IsFormatSupported(input ? &parameters : nullptr, input ? nullptr : &parameters, rate) == paFormatIsSupported;
}

// Whether `device` takes what the program opens on it: 44100 Hz mono float at the latency asked for.
bool takesTheStream(int device, bool input, int minLatencyMs) {
  return device != paNoDevice && takesAt(monoFloat(device, input, minLatencyMs), input, kSampleRate);
}

PaHostApiTypeId hostApiType(int device) {
  const PaDeviceInfo* info = device != paNoDevice ? Pa_GetDeviceInfo(device) : nullptr;
  const PaHostApiInfo* api = info != nullptr ? Pa_GetHostApiInfo(info->hostApi) : nullptr;
  return api != nullptr ? api->type : paInDevelopment;
}

// The rate the live streams open `device` at: its own where the host API lets the program convert
// (the system would convert any other rate itself, where it opened it at all), else 44100 Hz; 0
// where it takes neither.
double openingRate(int device, bool input, int minLatencyMs) {
  if (device != paNoDevice && convertsAtDeviceRate(hostApiType(device))) {
    const double own = Pa_GetDeviceInfo(device)->defaultSampleRate;
    if (takesAt(monoFloat(device, input, minLatencyMs), input, own)) return own;
  }
  return takesTheStream(device, input, minLatencyMs) ? kSampleRate : 0;
}

// The devices opened when none is named: the defaults of the first preferred host API whose
// defaults take the stream (the output's alone for a file), else PortAudio's own. The host APIs
// passed over go to `passedOver`, named. Needs the library initialised.
DevicePair defaultDevices(bool withInput, int minLatencyMs, std::string* passedOver = nullptr) {
  auto opens = [minLatencyMs](int device, bool input) { return openingRate(device, input, minLatencyMs) > 0; };
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
bool resolveDevices(const AudioDeviceChoice& choice, int minLatencyMs, DevicePair& pair, std::string& reason,
                    std::string* passedOver = nullptr) {
  std::vector<AudioDeviceSummary> devices = deviceSummaries();
  const DevicePair defaults = defaultDevices(true, minLatencyMs, passedOver);
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

// Opens and starts one stream that runs `callback`, as `audio.streams.capture`.
bool openOneStream(AudioShared& audio, const PaStreamParameters* input, const PaStreamParameters* output, PaStreamCallback* callback,
                   std::string& reason) {
  OpenStreams& opened = audio.streams;
  const InheritedRealtime raised(opened.settings.realtime);
  PaStream* stream = nullptr;
  PaError error = Pa_OpenStream(&stream, input, output, kSampleRate, kFramesPerBuffer, paNoFlag, callback, &audio);
  if (error != paNoError) {
    reason = "cannot open the audio stream: " + errorText(error);
    return false;
  }
  if (opened.settings.realtime && onAlsa(input != nullptr ? *input : *output)) askRealtime(stream);
  if (!startStream(stream, reason)) {
    Pa_CloseStream(stream);
    return false;
  }
  opened.capture = stream;
  return true;
}

// One duplex stream: the callback gets each input buffer with its output buffer.
bool openDuplex(AudioShared& audio, PaStreamParameters& input, PaStreamParameters& output, std::string& reason) {
  periodsForDuplex(periodsOfOneBuffer(input, output));
  return openOneStream(audio, &input, &output, forwardToCallback, reason);
}

bool converting(const OpenStreams& opened) {
  return opened.rates.input != kSampleRate || opened.rates.output != kSampleRate;
}

// The bridge's helper started for the playback stream opened on it, keeping that stream's host
// buffer waiting.
void startBridgeFor(AudioShared& audio, PaStream* playback) {
  const PaStreamInfo* info = Pa_GetStreamInfo(playback);
  if (info != nullptr)
    setBridgeDeviceBuffer(audio.bridge, static_cast<unsigned long>(info->outputLatency * audio.streams.rates.output));
  startRateBridge(audio.bridge, raiseHelperThread);
}

// Capture and playback as two streams joined by the output relay. Each waits on
// its own device, so neither can spin on the other's readiness. A device at its own rate is
// served through the rate bridge, whose helper thread then runs the relay's two ends.
bool openSplit(AudioShared& audio, PaStreamParameters& input, PaStreamParameters& output, std::string& reason) {
  OpenStreams& opened = audio.streams;
  PaStream* capture = nullptr;
  PaStream* playback = nullptr;
  resetOutputRelay(audio.relay);
  const InheritedRealtime raised(opened.settings.realtime);
  const bool bridged = converting(opened);
  if (bridged && !openRateBridge(audio.bridge, opened.rates, {&audio, relayCaptureEnd, relayPlaybackEnd}, reason))
    return false;
  PaError error = Pa_OpenStream(&capture, &input, nullptr, opened.rates.input, kFramesPerBuffer, paNoFlag,
                                bridged ? captureToBridge : captureToRelay, &audio);
  if (error == paNoError)
    error = Pa_OpenStream(&playback, nullptr, &output, opened.rates.output, kFramesPerBuffer, paNoFlag,
                          bridged ? playFromBridge : playFromRelay, &audio);
  if (error != paNoError) {
    reason = "cannot open the audio stream: " + errorText(error);
    if (capture != nullptr) Pa_CloseStream(capture);
    closeRateBridge(audio.bridge);
    return false;
  }
  if (bridged) startBridgeFor(audio, playback);
  if (opened.settings.realtime && onAlsa(input)) askRealtime(capture);
  if (opened.settings.realtime && onAlsa(output)) askRealtime(playback);
  if (!startStream(playback, reason) || !startStream(capture, reason)) {
    Pa_CloseStream(capture);  // closing stops a started stream first
    Pa_CloseStream(playback);
    closeRateBridge(audio.bridge);
    return false;
  }
  opened.capture = capture;
  opened.playback = playback;
  return true;
}

// For the report, where the host API holds devices either way: " shared at 48000 Hz" and the like.
std::string sharingText(const OpenStreams& opened, int inputDevice) {
  const std::string word = sharingWord(hostApiType(inputDevice), opened.exclusive);
  if (word.empty()) return "";
  char text[kReportLength];
  if (opened.rates.input == opened.rates.output)
    std::snprintf(text, sizeof text, " %s at %.0f Hz", word.c_str(), opened.rates.input);
  else
    std::snprintf(text, sizeof text, " %s at %.0f Hz in, %.0f Hz out", word.c_str(), opened.rates.input,
                  opened.rates.output);
  return text + std::string(converting(opened) ? " (converted to and from 44100 Hz)" : "");
}

// The line SONAVEL_AUDIO_REPORT asks for: the streams' host API and the latencies PortAudio reports.
std::string streamReport(const OpenStreams& opened, int inputDevice) {
  auto milliseconds = [](PaStream* stream, bool input) {
    const PaStreamInfo* info = stream != nullptr ? Pa_GetStreamInfo(stream) : nullptr;
    if (info == nullptr) return -1.0;
    return 1000.0 * (input ? info->inputLatency : info->outputLatency);
  };
  PaStream* capture = openStream(opened);
  PaStream* playback = opened.playback != nullptr ? opened.playback : capture;
  const PaDeviceInfo* device = Pa_GetDeviceInfo(inputDevice);
  const PaHostApiInfo* api = device != nullptr ? Pa_GetHostApiInfo(device->hostApi) : nullptr;
  char line[kReportLength];
  std::snprintf(line, sizeof line, "audio: %s on %s%s, input latency %.1f ms, output latency %.1f ms",
                opened.playback != nullptr ? "two streams" : "one duplex stream",
                api != nullptr && api->name != nullptr ? api->name : "?", sharingText(opened, inputDevice).c_str(),
                milliseconds(capture, true), milliseconds(playback, false));
  if (opened.passedOver.empty()) return line;
  return line + ("; passed over (their default devices take no stream this program can open): " + opened.passedOver);
}

// The same for a file's one output stream.
std::string fileStreamReport(const OpenStreams& opened, int outputDevice) {
  const PaDeviceInfo* device = Pa_GetDeviceInfo(outputDevice);
  const PaHostApiInfo* api = device != nullptr ? Pa_GetHostApiInfo(device->hostApi) : nullptr;
  const PaStreamInfo* info = Pa_GetStreamInfo(openStream(opened));
  const std::string word = sharingWord(hostApiType(outputDevice), false);
  char line[kReportLength];
  std::snprintf(line, sizeof line, "audio: the file's output on %s%s%s at %.0f Hz%s, output latency %.1f ms",
                api != nullptr && api->name != nullptr ? api->name : "?", word.empty() ? "" : " ", word.c_str(),
                opened.rates.output, converting(opened) ? " (converted from 44100 Hz)" : "",
                info != nullptr ? 1000.0 * info->outputLatency : -1.0);
  return line;
}

// The line SONAVEL_AUDIO_REPORT asks for at the end: how well the playback side kept up.
std::string relayReport(const OutputRelay& relay) {
  const RelayCounts counts = outputRelayCounts(relay);
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
std::string fillReport(const OutputRelay& relay) {
  const RelayCounts counts = outputRelayCounts(relay);
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
std::string bridgeReport(const RateBridge& bridge) {
  const BridgeCounts counts = rateBridgeCounts(bridge);
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
bool openAt(AudioShared& audio, PaStreamParameters& input, PaStreamParameters& output, const BridgeRates& rates,
            std::string& reason) {
  OpenStreams& opened = audio.streams;
  opened.rates = rates;
  const bool duplex = opened.settings.layout == StreamLayout::Duplex && !converting(opened);
  return duplex ? openDuplex(audio, input, output, reason) : openSplit(audio, input, output, reason);
}

// The devices held alone (exclusive_mode.hpp), at their least latency; false with a note of why not.
bool openExclusive(AudioShared& audio, const DevicePair& pair, std::vector<std::string>& notes) {
  OpenStreams& opened = audio.streams;
  const int latency = opened.settings.minLatencyMs;
  void* inputInfo = exclusiveStreamInfo(hostApiType(pair.input));
  void* outputInfo = exclusiveStreamInfo(hostApiType(pair.output));
  auto tryRate = [&](double rate, std::string& why) {
    PaStreamParameters input = monoFloat(pair.input, true, latency), output = monoFloat(pair.output, false, latency);
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
    opened.exclusive = openAt(audio, input, output, {rate, rate}, why);
    return opened.exclusive;
  };
  const ExclusiveOutcome outcome = holdExclusive(inputInfo != nullptr && outputInfo != nullptr, tryRate);
  if (!outcome.held) notes.push_back(outcome.note);
  return outcome.held;
}

// With the library initialised: opens and starts the stream or streams, or says why not.
bool openAndStart(AudioShared& audio, std::string& reason, std::vector<std::string>& notes) {
  OpenStreams& opened = audio.streams;
  const int latency = opened.settings.minLatencyMs;
  DevicePair pair;
  opened.passedOver.clear();
  opened.exclusive = false;
  if (!resolveDevices(opened.settings.devices, latency, pair, reason, &opened.passedOver)) return false;
  resetClock(audio.captureClock);
  resetClock(audio.playbackClock);
  if (!opened.settings.exclusive || !openExclusive(audio, pair, notes)) {
    PaStreamParameters input = monoFloat(pair.input, true, latency);
    PaStreamParameters output = monoFloat(pair.output, false, latency);
    // A device that takes neither rate gets 44100 Hz, and PortAudio's refusal says why.
    auto rateOf = [](double rate) { return rate > 0 ? rate : kSampleRate; };
    const BridgeRates rates{rateOf(openingRate(pair.input, true, latency)), rateOf(openingRate(pair.output, false, latency))};
    if (!openAt(audio, input, output, rates, reason)) return false;
  }
  if (opened.settings.report) notes.push_back(streamReport(opened, pair.input));
  return true;
}

}  // namespace

namespace {

// Starts the library with `settings`, runs `open` and keeps the library only when it opened a stream.
template <typename Open>
bool startWith(OpenStreams& opened, const AudioSettings& settings, std::string& reason, Open open) {
  if (openStream(opened) != nullptr) return true;
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

bool startAudio(AudioShared& audio, const AudioSettings& settings, std::string& reason, std::vector<std::string>& notes) {
  return startWith(audio.streams, settings, reason, [&] { return openAndStart(audio, reason, notes); });
}

void stopAudio(AudioShared& audio, std::vector<std::string>& report) {
  OpenStreams& opened = audio.streams;
  const bool split = opened.playback != nullptr;
  const bool hadStream = openStream(opened) != nullptr;
  if (PaStream* stream = openStream(opened)) {
    Pa_StopStream(stream);  // lets the queued output play out; no callback runs after it
    Pa_CloseStream(stream);
    opened.capture = nullptr;
  }
  if (split) {  // after the capture side, so it plays what that composed last
    Pa_StopStream(opened.playback);
    Pa_CloseStream(opened.playback);
    opened.playback = nullptr;
    if (opened.settings.report) report = {relayReport(audio.relay), fillReport(audio.relay)};
    if (opened.settings.report && converting(opened)) report.push_back(bridgeReport(audio.bridge));
    closeRateBridge(audio.bridge);
  } else if (audio.bridge.parts != nullptr) {  // a file's output through the bridge
    if (opened.settings.report) report = {bridgeReport(audio.bridge), paceReport("playback", audio.playbackClock)};
    closeRateBridge(audio.bridge);
  }
  if (hadStream && opened.settings.report && audio.captureClock.calls.load(std::memory_order_relaxed) > 0) {
    report.push_back(paceReport(split ? "capture" : "duplex", audio.captureClock));
    if (split) report.push_back(paceReport("playback", audio.playbackClock));
  }
  if (opened.libraryHeld) {
    Pa_Terminate();
    opened.libraryHeld = false;
  }
}

namespace {

// A file on a device at its own rate: the rate bridge's helper plays the file at 44100 Hz and
// the device's callback only takes what it converted.
bool openBridgedFileOutput(AudioShared& audio, PaStreamParameters& output, std::string& reason) {
  OpenStreams& opened = audio.streams;
  if (!openRateBridge(audio.bridge, opened.rates, {&audio, noInputEnd, fileEnd}, reason)) return false;
  PaStream* stream = nullptr;
  const PaError error =
      Pa_OpenStream(&stream, nullptr, &output, opened.rates.output, kFramesPerBuffer, paNoFlag, playFromBridge, &audio);
  if (error != paNoError) {
    reason = "cannot open the audio stream: " + errorText(error);
    closeRateBridge(audio.bridge);
    return false;
  }
  startBridgeFor(audio, stream);
  if (!startStream(stream, reason)) {
    Pa_CloseStream(stream);
    closeRateBridge(audio.bridge);
    return false;
  }
  opened.capture = stream;
  return true;
}

// With the library initialised: the output stream that plays the file, or why not.
bool openFileOutput(AudioShared& audio, const std::string& outputDevice, std::string& reason,
                    std::vector<std::string>& notes) {
  OpenStreams& opened = audio.streams;
  const int latency = opened.settings.minLatencyMs;
  const int device = chooseAudioDevice(deviceSummaries(), outputDevice, AudioDirection::Output,
                                       defaultDevices(false, latency).output, reason);
  if (device == kNoAudioDevice) return false;
  PaStreamParameters output = monoFloat(device, false, latency);
  const double rate = openingRate(device, false, latency);
  opened.rates = {kSampleRate, rate > 0 ? rate : kSampleRate};
  opened.passedOver.clear();
  opened.exclusive = false;
  resetClock(audio.playbackClock);
  const bool started = converting(opened) ? openBridgedFileOutput(audio, output, reason)
                                          : openOneStream(audio, nullptr, &output, playFile, reason);
  if (started && opened.settings.report) notes.push_back(fileStreamReport(opened, device));
  return started;
}

}  // namespace

bool startFileAudio(AudioShared& audio, const AudioSettings& settings, std::string& reason,
                    std::vector<std::string>& notes) {
  return startWith(audio.streams, settings, reason,
                   [&] { return openFileOutput(audio, settings.devices.output, reason, notes); });
}

bool checkOutputDevice(const std::string& outputDevice, std::string& reason) {
  LibraryScope library;
  if (!library.started(reason)) return false;
  return chooseAudioDevice(deviceSummaries(), outputDevice, AudioDirection::Output,
                           defaultDevices(false, kMinLatencyMs).output, reason) != kNoAudioDevice;
}

bool listAudioDevices(std::vector<std::string>& lines, std::string& reason) {
  LibraryScope library;
  if (!library.started(reason)) return false;
  std::vector<AudioDeviceSummary> devices = deviceSummaries();
  const DevicePair defaults = defaultDevices(true, kMinLatencyMs);
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
  return resolveDevices(choice, kMinLatencyMs, pair, reason);
}
