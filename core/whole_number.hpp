#pragma once
// Whole numbers as the command line and the events file write them.

#include <string_view>

// The last step a replay can reach: one int's worth of steps, about 290 days of audio.
inline constexpr long long kLastStep = 2147483647;

// A plain decimal number from `low` to `high`: digits only, leading zeros allowed; no sign,
// spaces or exponent. False, leaving `value` alone, for anything else.
bool parseWhole(std::string_view text, long long low, long long high, long long& value);
