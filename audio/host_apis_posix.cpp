#include "audio/host_apis.hpp"

#include <pthread.h>
#include <sched.h>

#include <cstdlib>
#include <string>

#ifdef SONAVEL_HOST_API_ALSA
#include <alsa/asoundlib.h>
#include <pa_linux_alsa.h>
#endif
#ifdef SONAVEL_HOST_API_JACK
#include <jack/jack.h>
#endif

namespace {

#ifdef SONAVEL_HOST_API_ALSA
void dropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
#endif
#ifdef SONAVEL_HOST_API_JACK
void dropJackMessage(const char*) {}
#endif

}  // namespace

void silenceHostApis() {
#ifdef SONAVEL_HOST_API_ALSA
  snd_lib_error_set_handler(dropAlsaMessage);
#endif
#ifdef SONAVEL_HOST_API_JACK
  jack_set_error_function(dropJackMessage);
  jack_set_info_function(dropJackMessage);
#endif
}

void askLeastLatency(int milliseconds) { setenv("PA_MIN_LATENCY_MSEC", std::to_string(milliseconds).c_str(), 1); }

void periodsForDuplex([[maybe_unused]] int periods) {
#ifdef SONAVEL_HOST_API_ALSA
  PaAlsa_SetNumPeriods(periods);  // read only by the ALSA host API
#endif
}

void askRealtime([[maybe_unused]] PaStream* stream) {
#ifdef SONAVEL_HOST_API_ALSA
  PaAlsa_EnableRealtimeScheduling(stream, 1);
#endif
}

// As a desktop's sound server's own threads are raised (PulseAudio's default), and no higher.
constexpr int kInheritedPriority = 5;

InheritedRealtime::InheritedRealtime(bool wanted) {
  sched_param own{};
  if (!wanted || pthread_getschedparam(pthread_self(), &policy, &own) != 0) return;
  priority = own.sched_priority;
  const sched_param raisedTo{kInheritedPriority};
  raised = pthread_setschedparam(pthread_self(), SCHED_RR, &raisedTo) == 0;
}

InheritedRealtime::~InheritedRealtime() {
  if (!raised) return;
  const sched_param own{priority};
  pthread_setschedparam(pthread_self(), policy, &own);
}

// One host API is the system's own (ALSA; Core Audio), reaching the sound servers through it.
std::vector<PaHostApiTypeId> preferredHostApis() { return {}; }

// ALSA, JACK and the sound servers take 44100 Hz and convert for themselves, if they must.
bool convertsAtDeviceRate(PaHostApiTypeId) { return false; }
void* exclusiveStreamInfo(PaHostApiTypeId) { return nullptr; }
const char* sharingWord(PaHostApiTypeId, bool) { return ""; }
void raiseHelperThread() {}
