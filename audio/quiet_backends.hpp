#pragma once
// The sound systems under PortAudio print their own diagnostics on stderr while it
// probes for devices; sonavel reports an audio failure in one line of its own instead.

void silenceAudioBackends();
