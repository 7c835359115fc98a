#pragma once
// A framebuffer with guard zones on both sides, and a record as start-up leaves it.

#include <cstdint>
#include <vector>

#include "analysis/note_table.hpp"
#include "app/record_view.hpp"
#include "app/shell.hpp"
#include "core/framebuffer.hpp"
#include "core/tuner_state.hpp"
#include "test_record.hpp"
#include "view/draw.hpp"
#include "view/font.hpp"
#include "view/glyphs.hpp"
#include "view/view.hpp"

inline constexpr std::uint32_t kGuard = 0xDEADBEEF;
inline constexpr int kGuardPixels = 4096;
inline constexpr int kPicturePixels = kPictureWidth * kPictureHeight;

// Points the global framebuffer into the middle of a guarded buffer.
struct GuardedPicture {
  std::vector<std::uint32_t> memory = std::vector<std::uint32_t>(kPicturePixels + 2 * kGuardPixels, kGuard);

  GuardedPicture() {
    framebuffer = Framebuffer{};
    framebuffer.pixels = memory.data() + kGuardPixels;
    for (int i = 0; i < kPicturePixels; ++i) framebuffer.pixels[i] = 0;
  }
  ~GuardedPicture() { framebuffer.pixels = nullptr; }

  bool guardsIntact() const {
    for (int i = 0; i < kGuardPixels; ++i)
      if (memory[i] != kGuard || memory[kGuardPixels + kPicturePixels + i] != kGuard) return false;
    return true;
  }
  int countPixels(std::uint32_t colour) const {
    int count = 0;
    for (int i = 0; i < kPicturePixels; ++i) count += framebuffer.pixels[i] == colour;
    return count;
  }
};

inline std::uint32_t at(int x, int y) { return framebuffer.pixels[y * framebuffer.pitch + x]; }

// The state the first frame finds: start values, the note table, the built-in font, the one-time clear.
inline void startLikeTheProgram(TunerState& tuner) {
  buildNoteTable(tuner.notes);
  if (font.pixels == nullptr) buildBuiltinFont(font);
  clearScreen(framebuffer, kDesignPalette.background);
}

// Frozen with both markers set, as Home and End leave them.
inline void freezeWithMarkers(TunerState& tuner, int markA, int markB) {
  tuner.playback.frozen.store(true);
  tuner.playback.markersShown = true;
  tuner.playback.markA = markA;
  tuner.playback.markB = markB;
}

inline void setScore(TunerState& tuner, int historyColumn, int row, float score) {
  tuner.history.scores[historyColumn * kNoteRows + row] = score;
}
