#pragma once
// The one fake keyboard of the tests: keys held down by hand, a snapshot that can be refused
// (no focus), and acquire/release noted in a call list when one is given.

#include <string>
#include <vector>

#include "core/keyboard.hpp"

class ScriptedKeys : public KeySource {
 public:
  KeyStates down = {};
  bool available = true;
  std::vector<std::string>* calls = nullptr;

  void press(int code) { down[code] = kKeyDownBit; }
  void lift(int code) { down[code] = 0; }
  void liftAll() {
    for (auto& state : down) state = 0;
  }
  void acquire() override { note("acquireKeys"); }
  void unacquire() override { note("releaseKeys"); }
  bool readState(KeyStates& keys) override {
    if (!available) return false;
    for (int i = 0; i < kKeyCount; ++i) keys[i] = down[i];
    return true;
  }

 private:
  void note(const char* what) {
    if (calls) calls->push_back(what);
  }
};
