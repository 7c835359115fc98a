#pragma once
// A whole sound file as mono floats, read the way the replay reads it.

#include <string>
#include <vector>

#include "io/sound_input.hpp"

inline bool readMonoSound(const std::string& path, std::vector<float>& samples, std::string& reason) {
  samples.clear();
  MonoSoundReader reader;
  if (!reader.open(path, reason)) return false;
  samples.resize(static_cast<std::size_t>(reader.frames()));
  return reader.read(samples.data(), static_cast<int>(samples.size()), reason);
}
