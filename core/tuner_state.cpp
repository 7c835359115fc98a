#include "core/tuner_state.hpp"

#include <memory>

TunerState tuner;

void resetTunerState() {
  std::destroy_at(&tuner);
  std::construct_at(&tuner);
}
