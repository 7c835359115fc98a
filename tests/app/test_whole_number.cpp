// Plain whole numbers, as --steps and every number in the events file are read.

#include <gtest/gtest.h>

#include <climits>

#include "core/whole_number.hpp"

namespace {

TEST(WholeNumber, DigitsOnlyWithinTheBoundsAndNothingElse) {
  struct Case {
    const char* text;
    long long low, high;
    bool read;
    long long value;
  };
  const Case cases[] = {
      {"0", 0, 10, true, 0},
      {"000", 0, 10, true, 0},
      {"10", 0, 10, true, 10},
      {"11", 0, 10, false, 0},
      {"4", 5, 10, false, 0},  // below the low bound
      {"5", 5, 10, true, 5},
      {"2147483647", 0, kLastStep, true, kLastStep},
      {"2147483648", 0, kLastStep, false, 0},
      {"0000000000002147483647", 0, kLastStep, true, kLastStep},  // leading zeros do not count as digits
      {"9999999999", 0, LLONG_MAX, true, 9999999999},
      {"10000000000", 0, LLONG_MAX, false, 0},  // eleven digits: refused before it could overflow
      {"", 0, 10, false, 0},
      {"-1", -5, 10, false, 0},
      {"+1", 0, 10, false, 0},
      {" 1", 0, 10, false, 0},
      {"1 ", 0, 10, false, 0},
      {"1e1", 0, 100, false, 0},
      {"0x1", 0, 100, false, 0},
      {"1.0", 0, 100, false, 0},
  };
  for (const Case& c : cases) {
    long long value = -7;
    EXPECT_EQ(parseWhole(c.text, c.low, c.high, value), c.read) << '"' << c.text << '"';
    EXPECT_EQ(value, c.read ? c.value : -7) << '"' << c.text << "\": a refusal leaves the value alone";
  }
}

}  // namespace
