#include "app/shown_picture.hpp"

#include <cassert>
#include <cstring>
#include <vector>

#include "app/shell.hpp"
#include "core/framebuffer.hpp"
#include "app/record_view.hpp"

namespace {

struct ShownPicture {
  bool valid = false;  // `frame` over the current scores is what the host shows
  ViewFrame frame;
  bool owed = false;   // a LastOnly host has not been given `owedFrame` yet
  ViewFrame owedFrame;
  bool holds = false;  // the framebuffer shows `held`, drawn over whatever scores were then
  ViewFrame held;
#ifdef NDEBUG
  bool check = false;
#else
  bool check = true;  // debug builds prove every skip
#endif
  SkipCheck counts;
  std::vector<std::uint32_t> before;
};

ShownPicture shown;

// The frame drawn over the picture the framebuffer holds.
void draw(const TunerState& tuner, const ViewFrame& frame) {
  drawView(tuner, frame, shown.holds ? &shown.held : nullptr);
  shown.holds = true;
  shown.held = frame;
}

void present(const TunerState& tuner, Host& host, const ViewFrame& frame) {
  draw(tuner, frame);
  host.present(framebuffer);
  shown.valid = true;
  shown.frame = frame;
  ++shown.counts.drawn;
}

void copyPicture(std::vector<std::uint32_t>& to) {
  to.resize(static_cast<std::size_t>(kPictureWidth) * kPictureHeight);
  for (int y = 0; y < kPictureHeight; ++y)
    std::memcpy(to.data() + static_cast<std::size_t>(y) * kPictureWidth, framebuffer.pixels + static_cast<std::ptrdiff_t>(y) * framebuffer.pitch,
                kPictureWidth * sizeof(std::uint32_t));
}

// The skipped frame drawn anyway: it must leave the picture on screen as it was.
void checkSkip(const TunerState& tuner, Host& host, const ViewFrame& frame) {
  copyPicture(shown.before);
  draw(tuner, frame);
  std::vector<std::uint32_t> after;
  copyPicture(after);
  if (after == shown.before) return;
  ++shown.counts.differed;
  host.present(framebuffer);  // the screen must not keep a wrong picture
  assert(!"a skipped picture differed from the one shown");
}

}  // namespace

void forgetShownPicture() {
  shown.valid = false;
  shown.owed = false;
  shown.holds = false;
}

void noteScoresChanged() { shown.valid = false; }

bool showFrame(const TunerState& tuner, Host& host, const ViewFrame& frame) {
  switch (host.pictureNeed()) {
    case PictureNeed::EveryFrame: present(tuner, host, frame); return true;
    case PictureNeed::LastOnly:
      shown.owed = true;
      shown.owedFrame = frame;
      return false;
    case PictureNeed::Changes: break;
  }
  if (host.pictureLost() || !shown.valid || !(frame == shown.frame)) {
    present(tuner, host, frame);
    return true;
  }
  ++shown.counts.skipped;
  if (shown.check && framebuffer.pixels != nullptr) checkSkip(tuner, host, frame);
  return false;
}

void showOwedPicture(const TunerState& tuner, Host& host) {
  if (!shown.owed) return;
  shown.owed = false;
  present(tuner, host, shown.owedFrame);
}

void checkSkippedPictures(bool on) {
  shown.check = on;
  shown.counts = SkipCheck{};
}

SkipCheck skipCheckCounts() { return shown.counts; }
