#include "audio/audio_callback.hpp"

int audioCallback(const float*, float* output, unsigned long frameCount) {
  for (unsigned long n = 0; n < frameCount; ++n) output[n] = 0.0f;
  return 0;
}
