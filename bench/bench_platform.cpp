// Handing a frame's picture to the window, against one clear of the picture: a
// scrolling picture, whose rows all changed below the toolbar, and a still one,
// whose rows the drawing all wrote but left as they were. SDL's dummy driver,
// where the picture goes to the window surface as it does without a GPU; the
// window system's own copy is left out.

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

// Drawing of one frame: every row from `firstChanged` on gets a new last pixel, and every row is marked.
void drawFrame(int firstChanged) {
  for (int y = 0; y < framebuffer.height; ++y) {
    if (y >= firstChanged) framebuffer.pixels[y * framebuffer.pitch + framebuffer.width - 1] ^= 1;
    markRowChanged(framebuffer, y);
  }
}

template <int kFirstChanged>
void BM_sendFrame(benchmark::State& state) {
  DummyWindow window;
  if (!window.open()) {
    state.SkipWithError("no window");
    return;
  }
  sendFramebuffer(framebuffer);
  for (auto _ : state) {
    drawFrame(kFirstChanged);
    sendFramebuffer(framebuffer);
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
BENCHMARK_TEMPLATE(BM_sendFrame, kFirstChangedRow)->Name("BM_scrollingSend");
BENCHMARK_TEMPLATE(BM_sendFrame, kPictureHeight)->Name("BM_stillSend");
SONAVEL_RATIO("scrollingSend/clear", "BM_scrollingSend", "BM_clearPicture");
SONAVEL_RATIO("stillSend/clear", "BM_stillSend", "BM_clearPicture");
