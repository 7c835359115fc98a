#pragma once
// The MIDI output the notes go to, the only code that talks to a MIDI system: RtMidi on
// Linux (the ALSA sequencer, else JACK), WinMM on Windows. Errors come back as false or
// null with why; nothing here prints.

#include <memory>
#include <string>
#include <vector>

#include "midi/midi_messages.hpp"

inline constexpr const char* kMidiPortName = "sonavel";
inline constexpr int kMidiDefaultPort = -1;  // Linux: a port of our own named sonavel; Windows: the first device

struct MidiPort;
struct MidiPortClose {
  void operator()(MidiPort* port) const;
};
using MidiPortPtr = std::unique_ptr<MidiPort, MidiPortClose>;

// Which MIDI system to use where there is a choice: "alsa" or "jack" for that one alone, anything
// else for the first that answers (SONAVEL_MIDI_SYSTEM; Windows has only one).
struct MidiSystemChoice {
  std::string only;
};

// The outputs another program or a device offers, as --midi-device numbers them; false with why
// when no MIDI system answers.
bool listMidiOutputs(const MidiSystemChoice& choice, std::vector<std::string>& names, std::string& reason);
// Port `device` from the list, or kMidiDefaultPort; null with why.
MidiPortPtr openMidiPort(const MidiSystemChoice& choice, int device, std::string& reason);
// One message, sent now; false with why.
bool sendMidi(MidiPort& port, const MidiMessage& message, std::string& reason);
// What kMidiDefaultPort opens, for the device list.
const char* midiDefaultPort();
// Which MIDI system the port went through ("ALSA sequencer", "JACK", "Windows MIDI").
std::string midiPortSystem(const MidiPort& port);
