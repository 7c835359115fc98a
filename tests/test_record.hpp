#pragma once
// Each test's own record, fresh for every test, as a run gets its own: on the heap, since
// the record is large.

#include <gtest/gtest.h>

#include <memory>

#include "core/tuner_state.hpp"

class WithRecord : public ::testing::Test {
 protected:
  // Every field back at its start value, for a case that must begin afresh within one test.
  void freshRecord() {
    std::destroy_at(&tuner);
    std::construct_at(&tuner);
  }

  std::unique_ptr<TunerState> record_ = std::make_unique<TunerState>();
  TunerState& tuner = *record_;
};
