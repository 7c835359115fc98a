#include "analysis/transposition.hpp"

#include <iterator>

namespace {

struct Instrument {
  std::string_view name;
  int semitones;  // written above concert
};

// Concert first: the label of a shift of 0.
constexpr Instrument kInstruments[] = {
    {"C", 0},   // concert pitch: flute, oboe, violin, piano
    {"Bb", 2},  // clarinet, trumpet, cornet, flugelhorn, soprano saxophone: a major second
    {"A", 3},   // A clarinet: a minor third
    {"G", 5},   // alto flute: a perfect fourth
    {"F", 7},   // horn, cor anglais, basset horn: a perfect fifth
    {"Eb", 9},  // alto saxophone, alto clarinet, alto horn: a major sixth
};

// The live key's cycle, in semitones.
constexpr int kCommonCycle[] = {0, 2, 9, 7};

constexpr int kMostDigits = 2;  // 36 has two

bool signedWholeIn(std::string_view text, int& out) {
  int sign = 1;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    sign = text[0] == '-' ? -1 : 1;
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > kMostDigits) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > kMostTransposition) return false;
  out = sign * value;
  return true;
}

}  // namespace

bool transpositionNamed(std::string_view text, int& semitones) {
  for (const Instrument& instrument : kInstruments)
    if (text == instrument.name) {
      semitones = instrument.semitones;
      return true;
    }
  return signedWholeIn(text, semitones);
}

int nextCommonTransposition(int semitones) {
  for (std::size_t i = 0; i < std::size(kCommonCycle); ++i)
    if (kCommonCycle[i] == semitones) return kCommonCycle[(i + 1) % std::size(kCommonCycle)];
  return kCommonCycle[0];
}

void transpositionLabelInto(int semitones, char (&label)[kTranspositionLabelSize]) {
  for (const Instrument& instrument : kInstruments)
    if (instrument.semitones == semitones) {
      std::size_t i = 0;
      for (; i < instrument.name.size(); ++i) label[i] = instrument.name[i];
      label[i] = '\0';
      return;
    }
  const int size = static_cast<int>(std::size(label));
  const int magnitude = semitones < 0 ? -semitones : semitones;
  int i = 0;
  label[i++] = semitones < 0 ? '-' : '+';
  if (magnitude >= 10 && i < size - 2) label[i++] = static_cast<char>('0' + magnitude / 10 % 10);
  label[i++] = static_cast<char>('0' + magnitude % 10);
  label[i] = '\0';
}
