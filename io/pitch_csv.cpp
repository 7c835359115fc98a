#include "io/pitch_csv.hpp"

#include <cmath>

#include "analysis/note_table.hpp"

void writePitchHeader(std::FILE* file) { std::fputs("step,column,note,hz,cents,confidence\n", file); }

void writePitchRow(std::FILE* file, long long step, int column, const PitchReading& reading, int transposition,
                   NoteNaming naming) {
  if (reading.row < 0) {
    std::fprintf(file, "%lld,%d,,,,\n", step, column);
    return;
  }
  // Rounded first, so that a hair below zero reads +0.0 rather than -0.0.
  const double cents = std::round(reading.cents * 10.0) / 10.0;
  char name[kNoteNameSize];
  noteRowNameInto(reading.row + transposition, name, naming);  // the written name; the row stays concert
  std::fprintf(file, "%lld,%d,%s,%.2f,%+.1f,%.3f\n", step, column, name, reading.frequency, cents == 0.0 ? 0.0 : cents,
               reading.confidence);
}
