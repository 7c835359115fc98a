#pragma once
// One frame's view: what the pointer rules decided and every value of the shared
// state the picture shows, apart from the score history and the key colours.
// Two equal records over the same score history give the same picture.

#include <cstdint>

#include "core/note_naming.hpp"
#include "view/bitmap_font.hpp"
#include "view/palette.hpp"

inline constexpr int kNoKey = -1;

struct ViewFrame {
  int oldestColumn = 0;  // history column shown at display column 0
  bool frozen = false;
  int stripColumn = 0;   // history column of both keyboard strips, taken before scrubbing
  int litKey = kNoKey;   // note lit on both strips: the previous frame's pick
  int hoverKey = kNoKey; // note whose row carries the hover band
  // Frozen only (left at their defaults while live): cursor and markers.
  int cursorColumn = 0;  // display column
  std::uint32_t cursorColour = 0;
  bool markersShown = false;
  int markA = 0;
  int markB = 0;
  // Toolbar (sameToolbar in view.cpp compares these: a new one goes there too).
  float gainSlider = 0.0f;
  bool autoGain = false;  // the gain label reads AUTO: instead of GAIN:
  float outputVolume = 0.0f;
  int softDisplay = 0;
  // The detector's read-out, shown while one that reads a pitch is on (row kNoKey: nothing sounds).
  bool showsReading = false;
  int pitchRow = kNoKey;
  int pitchCents = 0;       // rounded to whole cents
  int pitchTenthsHz = 0;    // the frequency rounded to tenths of a hertz
  int transposition = 0;    // semitones from concert to the written name read out; 0 shows concert names
  NoteNaming naming;        // the read-out's note names
  const Palette* palette = &kDesignPalette;  // every colour drawn
  const BitmapFont* font = &kNoGlyphs;       // every label and read-out drawn

  bool operator==(const ViewFrame&) const = default;
};
