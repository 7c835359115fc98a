#pragma once
// What differs between the sound systems beneath PortAudio, one file per system chosen by the
// build: host_apis_posix.cpp (ALSA and JACK on Linux, behind their own #ifdef) and
// host_apis_windows.cpp (WASAPI, DirectSound, MME).

#include <portaudio.h>

#include <vector>

// Before Pa_Initialize: the sound systems print their own diagnostics on stderr while PortAudio
// probes for devices; sonavel reports an audio failure in one line of its own instead.
void silenceHostApis();
// Before Pa_Initialize: the least latency, in ms, host APIs that take it from the environment give.
void askLeastLatency(int milliseconds);
// Before one duplex stream is opened: the periods ALSA splits its buffer into.
void periodsForDuplex(int periods);
// Before a stream of the system's own host API (ALSA) starts: its callback thread asks for
// real-time (FIFO) scheduling. Where the system refuses, PortAudio says nothing and the thread
// runs as it would have.
void askRealtime(PaStream* stream);
// While it lives, on Linux: the calling thread runs with round-robin real-time scheduling, so that
// the threads the sound systems start as a stream opens and starts (the ALSA plugins' own, which
// carry every sample to and from the server, and PortAudio's) inherit it; the caller's own
// scheduling comes back when it ends. Where the system refuses, nothing changes.
struct InheritedRealtime {
  explicit InheritedRealtime(bool wanted);
  ~InheritedRealtime();
  InheritedRealtime(const InheritedRealtime&) = delete;
  InheritedRealtime& operator=(const InheritedRealtime&) = delete;
  bool raised = false;
  int policy = 0;    // the caller's own, while raised
  int priority = 0;
};
// The host APIs whose default devices are tried in turn when none is named, best first (the
// first whose defaults take the stream is used); empty: PortAudio's own default devices.
std::vector<PaHostApiTypeId> preferredHostApis();
// Whether a device of this host API is opened at its own rate, the program converting to and from
// 44100 Hz (WASAPI's shared mode mixes at the device's rate, and PortAudio opens it only there).
bool convertsAtDeviceRate(PaHostApiTypeId type);
// The host-specific stream information that asks for the device alone (WASAPI's exclusive mode);
// null where the host API has no such mode.
void* exclusiveStreamInfo(PaHostApiTypeId type);
// How the audio report names the way a device of this host API is held: "shared", "exclusive",
// or empty where the host API has one way only.
const char* sharingWord(PaHostApiTypeId type, bool exclusive);
// On the thread that converts between rates: raised above normal, as the callbacks' own are.
void raiseHelperThread();
