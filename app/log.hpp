#pragma once
// A diagnostic log in "log.txt". It is off, and nothing in the program turns it on; it stays
// so that setting `tuner.loggingEnabled` while debugging traces start-up and shutdown step by step.

inline constexpr const char* kLogFileName = "log.txt";
inline constexpr int kLogMessageCapacity = 1024;  // bytes, terminator included

void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
void disableLog();
