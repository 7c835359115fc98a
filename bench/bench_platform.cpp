// Handing a scrolling picture to the window, whose rows all changed below the
// toolbar, against one clear of the picture; the same into a window of 3 times
// the picture each way (a 4K screen's), each pixel sent as a 3 x 3 block. SDL's
// dummy driver, where the picture goes to the window surface as it does without
// a GPU; the window system's own copy is left out.

#include <benchmark/benchmark.h>

#include <memory>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/framebuffer.hpp"
#include "platform/window.hpp"
#include "ratio.hpp"

namespace {

// The picture scrolls under the toolbar: it differs from row 40 on.
constexpr int kFirstChangedRow = 40;

class DummyWindow {
 public:
  explicit DummyWindow(int scale = 1) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    framebuffer = pictureOn(*storage);
    std::string reason;
    open_ = openWindow("sonavel", reason, scale);
  }
  ~DummyWindow() { destroyWindow(); }
  bool open() const { return open_; }

  std::unique_ptr<PictureStorage> storage = std::make_unique<PictureStorage>();
  Framebuffer framebuffer;

 private:
  bool open_ = false;
};

// Drawing of one frame: every row from kFirstChangedRow on gets a new last pixel, and is marked.
void drawFrame(Framebuffer& framebuffer) {
  for (int y = kFirstChangedRow; y < framebuffer.height; ++y) {
    framebuffer.pixels[y * framebuffer.pitch + framebuffer.width - 1] ^= 1;
    markRowChanged(framebuffer, y);
  }
}

void BM_scrollingSend(benchmark::State& state) {
  DummyWindow window(static_cast<int>(state.range(0)));
  if (!window.open()) {
    state.SkipWithError("no window");
    return;
  }
  Framebuffer& framebuffer = window.framebuffer;
  sendFramebuffer(framebuffer);
  for (auto _ : state) {
    drawFrame(framebuffer);
    sendFramebuffer(framebuffer);
  }
}

void BM_clearPicture(benchmark::State& state) {
  const auto storage = std::make_unique<PictureStorage>();
  Framebuffer framebuffer = pictureOn(*storage);
  for (auto _ : state) {
    std::fill_n(framebuffer.pixels, static_cast<std::size_t>(framebuffer.pitch) * framebuffer.height, 0u);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_clearPicture);
BENCHMARK(BM_scrollingSend)->Arg(1)->Arg(3);
SONAVEL_RATIO("scrollingSend/clear", "BM_scrollingSend/1", "BM_clearPicture");
SONAVEL_RATIO("scrollingSend_scale3/scale1", "BM_scrollingSend/3", "BM_scrollingSend/1");
