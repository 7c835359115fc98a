#include "core/whole_number.hpp"

namespace {

constexpr std::size_t kMostDigits = 10;  // past leading zeros: enough for kLastStep, and no overflow

}  // namespace

bool parseWhole(std::string_view text, long long low, long long high, long long& value) {
  const std::size_t first = text.find_first_not_of('0');
  const std::string_view digits = first == std::string_view::npos ? std::string_view("0") : text.substr(first);
  if (text.empty() || digits.size() > kMostDigits) return false;
  long long result = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
  }
  if (result < low || result > high) return false;
  value = result;
  return true;
}
