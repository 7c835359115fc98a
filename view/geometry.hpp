#pragma once
// Where everything lies on the 640 x 480 picture, in picture pixels: what the
// view draws and where the pointer rules take their input from. Positions follow from the
// grid's origin, its cell size and the strips' depth; only those are numbers.

#include "core/constants.hpp"

// Grid: 200 display columns of 3 pixels from x 10, 72 rows of 6 pixels with row 0 at y 450.
inline constexpr int kGridLeft = 10;
inline constexpr int kGridTop = 24;
inline constexpr int kColumnWidth = 3;
inline constexpr int kRowHeight = 6;
inline constexpr int kGridWidth = kHistoryColumns * kColumnWidth;
inline constexpr int kGridHeight = kNoteRows * kRowHeight;
inline constexpr int kBottomRowY = kGridTop + kGridHeight - kRowHeight;
inline constexpr int kLineX = kGridLeft + kColumnWidth / 2;  // the middle pixel of display column 0

// Keyboard strips: keys to the right of the grid, and below it from x 101.
inline constexpr int kRightStripX = kGridLeft + kGridWidth;
inline constexpr int kStripDepth = 24;
inline constexpr int kBottomStripY = kGridTop + kGridHeight;
inline constexpr int kBottomStripKeyX = 101;
inline constexpr int kBottomStripRightEdge = kBottomStripKeyX + kNoteRows * kRowHeight - 1;
inline constexpr int kWhiteKeyLength = 22;
inline constexpr int kBlackKeyLength = 18;
inline constexpr int kKeyWidth = 5;

// Hover band: five pixel rows of the picked row, y = 523 - 6 x note (note 12 is row 0).
inline constexpr int kHoverBandBaseY = kBottomRowY + 1 + kRowHeight * 12;
inline constexpr int kHoverBandHeight = 5;

// Toolbar: labels, and the GAIN (0..3 over 100 pixels) and VOL (0..1 over 50) sliders.
inline constexpr int kToolbarHeight = 20;
inline constexpr int kLabelY = 7;
inline constexpr int kSliderY = 4;
inline constexpr int kSliderHeight = 12;
inline constexpr int kGainTroughX = 50;
inline constexpr int kGainTroughWidth = 100;
inline constexpr int kVolumeTroughX = 202;
inline constexpr int kVolumeTroughWidth = 50;
inline constexpr int kGainLabelX = 10;
inline constexpr int kVolumeLabelX = 170;
inline constexpr int kSwitchLabelX = 272;
inline constexpr int kReadoutLabelX = 416;  // the precise detector's label, then its read-out
inline constexpr int kReadoutX = 488;

// Pointer: the scrub area is the grid's columns from just below the frame's top line down
// (the bottom strip included).
inline constexpr int kScrubLeft = kGridLeft;
inline constexpr int kScrubRight = kRightStripX - 2;
inline constexpr int kScrubTop = kGridTop + 2;

// Pointer: the tone pick takes rows by height from y 25 to 478 (y 451 to 456 is row 0),
// and keys by width on the bottom strip from y 455.
inline constexpr int kPickTop = kGridTop + 1;
inline constexpr int kPickBottom = kBottomStripY + kStripDepth - 2;
inline constexpr int kPickBaseY = kBottomStripY;
inline constexpr int kBottomStripPickY = kBottomStripY - 1;
inline constexpr int kBottomStripLeft = kBottomStripKeyX;
inline constexpr int kBottomStripRight = kBottomStripRightEdge;

// Pointer: the toolbar's input band, the sliders' live ranges and the switch label.
inline constexpr int kToolbarInputBottom = 17;
inline constexpr int kGainLeft = kGainTroughX + 1;
inline constexpr int kGainRight = kGainTroughX + kGainTroughWidth - 1;
inline constexpr int kVolumeLeft = kVolumeTroughX + 1;
inline constexpr int kVolumeRight = kVolumeTroughX + kVolumeTroughWidth - 1;
inline constexpr int kSwitchLeft = kSwitchLabelX + 1;
inline constexpr int kSwitchRight = 407;
