#pragma once
// The piano-roll view, redrawn whole from the shared state every frame step.

#include <cstdint>

inline constexpr std::uint32_t kBackgroundColour = 0xC0C0D0;

// Grid geometry: 200 display columns of 3 pixels from x 10, 72 rows of 6 pixels with row 0 at y 450.
inline constexpr int kGridLeft = 10;
inline constexpr int kGridTop = 24;
inline constexpr int kColumnWidth = 3;
inline constexpr int kRowHeight = 6;
inline constexpr int kBottomRowY = 450;
inline constexpr int kGridWidth = 600;
inline constexpr int kGridHeight = 432;
inline constexpr int kLineX = 11;  // the middle pixel of display column 0

inline constexpr std::uint32_t kToolbarColour = 0xC0C0D0;
inline constexpr std::uint32_t kLineColour = 0xA0A0A0;
inline constexpr std::uint32_t kFrameColour = 0x000000;
inline constexpr std::uint32_t kPickedKeyColour = 0x44CCFF;
inline constexpr std::uint32_t kHoverBandColour = 0x66EEFF;
inline constexpr std::uint32_t kRulerColour = 0xD0D0D0;
inline constexpr std::uint32_t kMarkerColour = 0xD07070;
inline constexpr std::uint32_t kCursorColour = 0xFFE000;
inline constexpr std::uint32_t kScrubCursorColour = 0xFFFFFF;
inline constexpr std::uint32_t kSliderFillColour = 0xE07020;
inline constexpr std::uint32_t kSliderKnobColour = 0x603000;

// Draws the grid, both keyboard strips, the frame, the cursor and markers and
// the toolbar, applying the pointer rules where they fall. Does not present.
void drawView();

// Nearest integer, ties to even, for the picture's small non-negative values (exact below 2^51).
inline double roundHalfEven(double value) {
  constexpr double kShift = 6755399441055744.0;  // 1.5 x 2^52: adding it leaves no fraction bits
  return (value + kShift) - kShift;
}

// Display column of a history column (0 is the oldest shown).
int displayColumnOf(int historyColumnIndex);
