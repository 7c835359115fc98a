#include "audio/quiet_backends.hpp"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

namespace {

void dropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
void dropJackMessage(const char*) {}

}  // namespace

void silenceAudioBackends() {
  snd_lib_error_set_handler(dropAlsaMessage);
  jack_set_error_function(dropJackMessage);
  jack_set_info_function(dropJackMessage);
}
