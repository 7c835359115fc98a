#include "audio/stream.hpp"

bool startAudio() { return false; }
void stopAudio() {}
