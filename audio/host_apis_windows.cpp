#include "audio/host_apis.hpp"

#include <pa_win_wasapi.h>
#include <windows.h>

#include <cstdlib>
#include <string>

// WASAPI, DirectSound and MME print nothing of their own.
void silenceHostApis() {}

// Read by DirectSound; _putenv_s sets the process's environment, not only the runtime's copy.
void askLeastLatency(int milliseconds) { _putenv_s("PA_MIN_LATENCY_MSEC", std::to_string(milliseconds).c_str()); }

void periodsForDuplex(int) {}

// WASAPI and DirectSound raise their own threads' priority.
void askRealtime(PaStream*) {}
InheritedRealtime::InheritedRealtime(bool) {}
InheritedRealtime::~InheritedRealtime() = default;

// WASAPI is the system's own sound interface; PortAudio 19.6 opens it in shared mode only at the
// rate the device is set to mix at (48000 Hz on most machines), where the program converts. Then
// DirectSound, which takes 44100 Hz and converts, and MME, the oldest, last.
std::vector<PaHostApiTypeId> preferredHostApis() { return {paWASAPI, paDirectSound, paMME}; }

bool convertsAtDeviceRate(PaHostApiTypeId type) { return type == paWASAPI; }

void* exclusiveStreamInfo(PaHostApiTypeId type) {
  static PaWasapiStreamInfo exclusive{sizeof(PaWasapiStreamInfo), paWASAPI, 1, paWinWasapiExclusive, 0, nullptr,
                                      nullptr, eThreadPriorityNone, eAudioCategoryOther, eStreamOptionNone};
  return type == paWASAPI ? &exclusive : nullptr;
}

const char* sharingWord(PaHostApiTypeId type, bool exclusive) {
  if (type != paWASAPI) return "";
  return exclusive ? "exclusive" : "shared";
}

void raiseHelperThread() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL); }
