// The C library math the program and its sample-rate converter call, compared between two builds:
//   math_identity write FILE   inputs from each function's range in the program, with this build's results
//   math_identity check FILE   this build's results for the same inputs, each function's differences counted
// The Linux build writes, the Windows build checks under Wine: glibc-math.dll must give glibc's
// bits for every input. Exit 0 when all agree, 1 when any differ, 2 on a bad call.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

enum Function : std::uint8_t { Sin, Cos, SinCos, Cbrt, Exp, Log, Log10, Pow, Asin, Nearbyint, Strtod };
constexpr const char* kNames[] = {"sin", "cos", "sincos", "cbrt", "exp", "log", "log10", "pow", "asin", "nearbyint",
                                  "strtod"};

struct Record {
  Function function;
  double x = 0.0, y = 0.0;        // the arguments (y: pow's exponent)
  double result = 0.0, second = 0.0;  // sincos: the cosine second
};

// Computed from a volatile, so that no value is folded at compile time.
Record compute(Function function, double x, double y) {
  volatile double in = x, exponent = y;
  Record r{function, x, y};
  switch (function) {
    case Sin: r.result = std::sin(in); break;
    case Cos: r.result = std::cos(in); break;
    case SinCos: {
      const double v = in;
      r.result = std::sin(v);  // sin and cos of one value: the compiler makes it one sincos call
      r.second = std::cos(v);
      break;
    }
    case Cbrt: r.result = std::cbrt(in); break;
    case Exp: r.result = std::exp(in); break;
    case Log: r.result = std::log(in); break;
    case Log10: r.result = std::log10(in); break;
    case Pow: r.result = std::pow(in, exponent); break;
    case Asin: r.result = std::asin(in); break;
    case Nearbyint: r.result = std::nearbyint(in); break;
    case Strtod: {
      // The decimal the program would be given (--gain, --a4), printed from x, read back.
      char text[40];
      std::snprintf(text, sizeof text, "%.*f", static_cast<int>(y), static_cast<double>(in));
      r.result = std::strtod(text, nullptr);
      break;
    }
  }
  return r;
}

// Each function over the values the program gives it: spectrum reads (cos of [0, pi]), the
// reference tone (sin of a phase that grows while it is held), the FFT tables (sincos), the gain
// slider (cbrt of 0 to 125), soxr's filter design (exp, log, log10, pow, asin), the window's
// pointer (nearbyint) and the command line's numbers (strtod).
std::vector<Record> inputs() {
  std::mt19937_64 random(20261208);
  auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  std::vector<Record> all;
  auto add = [&](Function f, int count, double low, double high, double y = 0.0) {
    for (int i = 0; i < count; ++i) all.push_back(Record{f, uniform(low, high), y});
  };
  add(Cos, 300000, 0.0, 3.14159265);
  add(Sin, 300000, 0.0, 2e4);
  add(Sin, 30000, 2e4, 1e9);
  add(SinCos, 100000, 0.0, 3.1416);
  add(Cbrt, 100000, 0.0, 130.0);
  add(Exp, 100000, -60.0, 10.0);
  add(Log, 100000, 1e-12, 1e6);
  add(Log10, 50000, 1e-9, 1e9);
  for (int i = 0; i < 100000; ++i) all.push_back(Record{Pow, uniform(0.0, 4.0), uniform(-3.0, 4.0)});
  add(Asin, 50000, -1.0, 1.0);
  add(Nearbyint, 50000, -1e4, 1e4);
  for (int i = 0; i < 50000; ++i) all.push_back(Record{Strtod, uniform(0.0, 500.0), static_cast<double>(i % 12)});
  return all;
}

bool write(const char* path) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  for (const Record& in : inputs()) {
    const Record r = compute(in.function, in.x, in.y);
    std::fwrite(&r, sizeof r, 1, file);
  }
  return std::fclose(file) == 0;
}

int check(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "math_identity: cannot read %s\n", path);
    return 2;
  }
  std::map<int, std::pair<long, long>> tally;  // function: (compared, different)
  Record expected;
  while (std::fread(&expected, sizeof expected, 1, file) == 1) {
    const Record got = compute(expected.function, expected.x, expected.y);
    auto& [compared, different] = tally[expected.function];
    ++compared;
    if (std::memcmp(&got.result, &expected.result, sizeof(double)) != 0 ||
        std::memcmp(&got.second, &expected.second, sizeof(double)) != 0) {
      if (different++ < 3)
        std::printf("math_identity: %s(%a, %a) is %a here, %a there\n", kNames[expected.function], expected.x,
                    expected.y, got.result, expected.result);
    }
  }
  std::fclose(file);
  long differences = 0;
  for (const auto& [function, counts] : tally) {
    std::printf("math_identity: %-9s %7ld values, %ld different\n", kNames[function], counts.first, counts.second);
    differences += counts.second;
  }
  return tally.empty() ? 2 : differences == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "write") == 0) return write(argv[2]) ? 0 : 2;
  if (argc == 3 && std::strcmp(argv[1], "check") == 0) return check(argv[2]);
  std::fprintf(stderr, "usage: math_identity write|check FILE\n");
  return 2;
}
