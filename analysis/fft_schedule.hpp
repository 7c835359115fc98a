#pragma once
// The fixed order in which a leaf of 512 or 256 doubles is finished, written once as
// data and walked by the portable and the vector arithmetic alike.
//
// Lengths and offsets count doubles; twiddle blocks are counted back from the end of
// the table, whose length is nw, so a table built for one length serves every shorter one.

#include <cstddef>
#include <utility>

#include "analysis/fft_steps.hpp"

// The twiddle block a split pass over m doubles reads: m/2 entries for even, m for odd.
constexpr int passTwiddlesBack(Kind kind, int m) { return kind == Kind::even ? m / 2 : m; }
// The 16-point odd kernel reads the block of 16 entries; every other kernel the block of 4.
constexpr int kernelTwiddlesBack(Kind kind, int kernelLength) {
  return kernelLength == 32 && kind == Kind::odd ? 32 : 8;
}

namespace leaf {

enum class Op : unsigned char { pass, kernel };
// A step's kind, or the kind of the leaf it belongs to.
enum class Of : unsigned char { even, odd, leaf };

// `at` counts sixteenths of the leaf: a pass covers a quarter, a kernel one sixteenth.
struct Step {
  Op op;
  Of kind;
  int at;
};

// Each quarter in turn: its split pass, then the kernels over its sixteenths, whose kinds
// the pass hands out as even, odd, even and its own kind. The last quarter has the leaf's
// kind and runs its own-kind kernel first.
inline constexpr Step kSteps[] = {
    {Op::pass, Of::even, 0},   {Op::kernel, Of::even, 0},  {Op::kernel, Of::odd, 1},  {Op::kernel, Of::even, 2},
    {Op::kernel, Of::even, 3},  //
    {Op::pass, Of::odd, 4},    {Op::kernel, Of::even, 4},  {Op::kernel, Of::odd, 5},  {Op::kernel, Of::even, 6},
    {Op::kernel, Of::odd, 7},  //
    {Op::pass, Of::even, 8},   {Op::kernel, Of::even, 8},  {Op::kernel, Of::odd, 9},  {Op::kernel, Of::even, 10},
    {Op::kernel, Of::even, 11},  //
    {Op::pass, Of::leaf, 12},  {Op::kernel, Of::leaf, 15}, {Op::kernel, Of::even, 12}, {Op::kernel, Of::odd, 13},
    {Op::kernel, Of::even, 14},
};
inline constexpr std::size_t kStepCount = sizeof kSteps / sizeof kSteps[0];

// Steps 1 to 4, the kernels of an even first quarter, also finish a whole transform of
// 128 or 64 doubles after its first pass.
using FirstQuarterKernels = std::index_sequence<1, 2, 3, 4>;
using AllSteps = std::make_index_sequence<kStepCount>;

// Path supplies `pass<Kind>(m, a, tw)` and `kernel<Kind, length>(a, tw)`.
template <class Path, int Sixteenth, Op O, Kind K>
inline void runAs(double* a, const double* twiddleEnd) {
  if constexpr (O == Op::pass) Path::template pass<K>(4 * Sixteenth, a, twiddleEnd - passTwiddlesBack(K, 4 * Sixteenth));
  else Path::template kernel<K, Sixteenth>(a, twiddleEnd - kernelTwiddlesBack(K, Sixteenth));
}

template <class Path, int Sixteenth, std::size_t I>
inline void runStep(Kind leafKind, double* a, const double* twiddleEnd) {
  constexpr Step s = kSteps[I];
  double* at = a + s.at * Sixteenth;
  if constexpr (s.kind == Of::leaf) {
    if (leafKind == Kind::even) runAs<Path, Sixteenth, s.op, Kind::even>(at, twiddleEnd);
    else runAs<Path, Sixteenth, s.op, Kind::odd>(at, twiddleEnd);
  } else {
    runAs<Path, Sixteenth, s.op, s.kind == Of::even ? Kind::even : Kind::odd>(at, twiddleEnd);
  }
}

// Runs the chosen steps for a leaf of `Length` doubles at a, unrolled at compile time.
template <class Path, int Length, std::size_t... I>
inline void walk(std::index_sequence<I...>, Kind leafKind, double* a, const double* twiddleEnd) {
  static_assert(Length == 512 || Length == 256, "the kernels finish 16 or 8 points");
  (runStep<Path, Length / 16, I>(leafKind, a, twiddleEnd), ...);
}

}  // namespace leaf
