// Handing a changed picture to the window: compared against a kept copy first,
// or sent straight from the caller's rows, against one clear of the picture.
// SDL's dummy driver, where the picture goes to the window surface as it does
// without a GPU; the window system's own copy is left out.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/framebuffer.hpp"
#include "platform/window.hpp"
#include "ratio.hpp"

namespace {

// The picture scrolls under the toolbar: it differs from row 40 on.
constexpr int kFirstChangedRow = 40;

class DummyWindow {
 public:
  DummyWindow() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    createFramebuffer();
    std::string reason;
    open_ = openWindow("sonavel", reason);
  }
  ~DummyWindow() { destroyWindow(); }
  bool open() const { return open_; }

 private:
  bool open_ = false;
};

void change(std::uint32_t& pixel) { pixel ^= 1; }

template <void (*Present)(const Framebuffer&)>
void BM_changedPicture(benchmark::State& state) {
  DummyWindow window;
  if (!window.open()) {
    state.SkipWithError("no window");
    return;
  }
  std::uint32_t& pixel = framebuffer.pixels[kFirstChangedRow * framebuffer.pitch];
  for (auto _ : state) {
    change(pixel);
    Present(framebuffer);
  }
}

void BM_clearPicture(benchmark::State& state) {
  createFramebuffer();
  for (auto _ : state) {
    std::fill_n(framebuffer.pixels, static_cast<std::size_t>(framebuffer.pitch) * framebuffer.height, 0u);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_clearPicture);
BENCHMARK_TEMPLATE(BM_changedPicture, presentFramebuffer)->Name("BM_comparedPresent");
BENCHMARK_TEMPLATE(BM_changedPicture, sendFramebuffer)->Name("BM_directSend");
SONAVEL_RATIO("comparedPresent/clear", "BM_comparedPresent", "BM_clearPicture");
SONAVEL_RATIO("directSend/clear", "BM_directSend", "BM_clearPicture");
