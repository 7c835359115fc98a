#pragma once
// Where everything lies on the 640 x 480 picture, in picture pixels: what the
// view draws and where the pointer rules take their input from.

// Grid: 200 display columns of 3 pixels from x 10, 72 rows of 6 pixels with row 0 at y 450.
inline constexpr int kGridLeft = 10;
inline constexpr int kGridTop = 24;
inline constexpr int kColumnWidth = 3;
inline constexpr int kRowHeight = 6;
inline constexpr int kBottomRowY = 450;
inline constexpr int kGridWidth = 600;
inline constexpr int kGridHeight = 432;
inline constexpr int kLineX = 11;  // the middle pixel of display column 0

// Keyboard strips: keys to the right of the grid, and below it from x 101.
inline constexpr int kRightStripX = 610;
inline constexpr int kStripDepth = 24;
inline constexpr int kBottomStripY = 456;
inline constexpr int kBottomStripKeyX = 101;
inline constexpr int kBottomStripRightEdge = 532;
inline constexpr int kWhiteKeyLength = 22;
inline constexpr int kBlackKeyLength = 18;
inline constexpr int kKeyWidth = 5;

// Hover band: five pixel rows of the picked row, y = 523 - 6 x note (523 = 451 + 6 x 12).
inline constexpr int kHoverBandBaseY = 523;
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
inline constexpr int kScrubRight = 608;
inline constexpr int kScrubTop = 26;

// Pointer: the tone pick takes rows by height from y 25 to 478 (y 451 to 456 is row 0),
// and keys by width on the bottom strip from y 455.
inline constexpr int kPickTop = 25;
inline constexpr int kPickBottom = 478;
inline constexpr int kPickBaseY = 456;
inline constexpr int kBottomStripPickY = 455;
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
