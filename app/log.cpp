#include "app/log.hpp"

#include <cstdarg>
#include <cstdio>

#include "core/tuner_state.hpp"

void logMessage(const char* format, ...) {
  if (!tuner.loggingEnabled) return;
  char message[kLogMessageCapacity];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  std::FILE* file = std::fopen(kLogFileName, "ab");  // the same bytes on every system
  if (file == nullptr) return;  // a log that cannot be written is not worth stopping for
  std::fprintf(file, "\n%s", message);
  std::fclose(file);
}

void disableLog() {
  logMessage("Log disabled");
  tuner.loggingEnabled = false;
}
