#include "audio/stream.hpp"

bool startAudio(const AudioDeviceChoice&) { return false; }
void stopAudio() {}
bool listAudioDevices(std::FILE*) { return false; }
bool checkAudioDevices(const AudioDeviceChoice&, std::string&) { return true; }
