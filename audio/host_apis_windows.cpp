#include "audio/host_apis.hpp"

#include <cstdlib>
#include <string>

// WASAPI, DirectSound and MME print nothing of their own.
void silenceHostApis() {}

// Read by DirectSound; _putenv_s sets the process's environment, not only the runtime's copy.
void askLeastLatency(int milliseconds) { _putenv_s("PA_MIN_LATENCY_MSEC", std::to_string(milliseconds).c_str()); }

void periodsForDuplex(int) {}

// WASAPI and DirectSound raise their own threads' priority.
void askRealtime(PaStream*) {}

// WASAPI in shared mode is the system's own sound interface, but PortAudio 19.6 opens it only at
// the rate the device is set to mix at (48000 Hz on most machines): then DirectSound, which takes
// 44100 Hz and converts, and MME, the oldest, last.
std::vector<PaHostApiTypeId> preferredHostApis() { return {paWASAPI, paDirectSound, paMME}; }
