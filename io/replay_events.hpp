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
#include <utility>
#include <vector>

#include "core/host.hpp"

struct ReplayEvent {
  enum Kind { KeyDown, KeyUp, Window };
  long long step = 0;
  Kind kind = Window;
  int keyCode = 0;      // KeyDown, KeyUp: a DirectInput key code
  WindowEvent window;   // Window: what the window would have reported
};

// Reads an events file one event at a time, in file order: memory stays one line, whatever its length.
class ReplayEventReader {
 public:
  enum class Got { Event, End, Error };

  // `name` names the file in messages; `in` must outlive the reader.
  ReplayEventReader(std::istream& in, std::string name) : in_(in), name_(std::move(name)) {}
  // The next event; Error with "NAME:LINE: what is wrong" in `reason`.
  Got next(ReplayEvent& event, std::string& reason);

 private:
  std::istream& in_;
  std::string name_;
  long long line_ = 0;      // the number of the last line read
  long long lastStep_ = 0;  // steps never decrease
  std::string text_;
};

// Reads every event in file order; false with "NAME:LINE: what is wrong" in `reason`.
bool parseReplayEvents(std::istream& in, const std::string& name, std::vector<ReplayEvent>& events,
                       std::string& reason);
// The key codes the file may name; -1 for an unknown name.
int keyCodeForName(const std::string& name);
