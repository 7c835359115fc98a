#pragma once
// Which temperament the note table is tuned in, and on which key; chosen before start-up.

enum class Temperament { Equal, Just, Pythagorean, Meantone, Werckmeister3, Vallotti };
inline constexpr int kTemperamentCount = 6;

struct TemperamentChoice {
  Temperament temperament = Temperament::Equal;
  int key = 0;  // the tonic, in semitones above C (0 .. 11)
};
