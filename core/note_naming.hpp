#pragma once
// How the notes are named for the player: the naming system and how black keys are spelled.

enum class NameSystem { English, German, Solfege };

struct NoteNaming {
  NameSystem system = NameSystem::English;  // English: A, B, C; German: H for B and B for B flat; fixed Do
  bool flats = false;                       // black keys as the flat of the key above (Bb), not sharps (A#)

  bool operator==(const NoteNaming&) const = default;
};
