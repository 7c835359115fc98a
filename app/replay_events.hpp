#pragma once
// The events file of a headless replay: keys, pointer and close, each at a step.
//
//   <step> key <NAME|CODE> down|up
//   <step> move <x> <y>
//   <step> button left|right down|up
//   <step> close
//
// '#' starts a comment, blank lines are ignored, steps never decrease.

#include <istream>
#include <string>
#include <vector>

#include "core/host.hpp"

struct ReplayEvent {
  enum Kind { KeyDown, KeyUp, Window };
  long long step = 0;
  Kind kind = Window;
  int keyCode = 0;      // KeyDown, KeyUp: a DirectInput key code
  WindowEvent window;   // Window: what the window would have reported
};

// Reads every event in file order; false with "NAME:LINE: what is wrong" in `reason`.
bool parseReplayEvents(std::istream& in, const std::string& name, std::vector<ReplayEvent>& events,
                       std::string& reason);
// The key codes the file may name; -1 for an unknown name.
int keyCodeForName(const std::string& name);
