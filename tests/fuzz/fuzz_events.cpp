// Any bytes as an events file: parsed or refused with a reason, nothing else.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "io/replay_events.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<ReplayEvent> events;
  std::string reason;
  if (!parseReplayEvents(in, "fuzz.events", events, reason) && (reason.empty() || reason.find('\n') != std::string::npos))
    __builtin_trap();  // a refusal is one line, never empty
  return 0;
}
