#include "midi/midi_port.hpp"

#include <RtMidi.h>

#include <chrono>
#include <thread>

#include "platform/quiet_stderr.hpp"

// The ALSA sequencer first: every Linux synthesiser and DAW reaches it, and PipeWire bridges it to
// JACK. JACK when there is no sequencer (containers, JACK-only studios).
constexpr RtMidi::Api kMidiSystems[] = {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK};
// Longer than a JACK cycle at any usual setting (2048 frames at 44.1 kHz is 46 ms).
constexpr std::chrono::milliseconds kJackDeliveryWait{100};

struct MidiPort {
  std::unique_ptr<RtMidiOut> out;
  std::string error;  // the last complaint RtMidi made since it was cleared
};

namespace {

void keepError(RtMidiError::Type, const std::string& text, void* port) { static_cast<MidiPort*>(port)->error = text; }

std::string systemName(RtMidi::Api api) { return api == RtMidi::LINUX_ALSA ? "ALSA sequencer" : "JACK"; }

bool chosen(const MidiSystemChoice& choice, RtMidi::Api api) {
  if (choice.only == "alsa") return api == RtMidi::LINUX_ALSA;
  if (choice.only == "jack") return api == RtMidi::UNIX_JACK;
  return true;
}

// A client of `api`, its complaints kept rather than printed; null with why when the system is not there.
MidiPortPtr connect(RtMidi::Api api, std::string& reason) {
  MidiPortPtr port(new MidiPort);
  try {
    QuietStderr quiet;  // the libraries say why they cannot connect on stderr as well
    port->out = std::make_unique<RtMidiOut>(api, kMidiPortName);
    port->out->setErrorCallback(keepError, port.get());
  } catch (const RtMidiError& error) {
    reason = systemName(api) + ": " + error.getMessage();
    return nullptr;
  }
  return port;
}

// Port `device` of the client's list, or a port of its own; false with why.
bool openOn(MidiPort& port, int device) {
  QuietStderr quiet;
  port.error.clear();
  if (device == kMidiDefaultPort) port.out->openVirtualPort(kMidiPortName);
  else port.out->openPort(static_cast<unsigned>(device), kMidiPortName);
  return port.error.empty() && (device == kMidiDefaultPort || port.out->isPortOpen());
}

std::vector<std::string> portNames(MidiPort& port) {
  std::vector<std::string> names;
  const unsigned count = port.out->getPortCount();
  for (unsigned i = 0; i < count; ++i) names.push_back(port.out->getPortName(i));
  return names;
}

}  // namespace

void MidiPortClose::operator()(MidiPort* port) const {
  // JACK takes what was sent on its next cycle; a client closed before then loses it, and the
  // last note-offs with it: a key left sounding on the synthesiser.
  if (port != nullptr && port->out && port->out->getCurrentApi() == RtMidi::UNIX_JACK)
    std::this_thread::sleep_for(kJackDeliveryWait);
  QuietStderr quiet;
  delete port;
}

bool listMidiOutputs(const MidiSystemChoice& choice, std::vector<std::string>& names, std::string& reason) {
  std::string why;
  for (RtMidi::Api api : kMidiSystems) {
    if (!chosen(choice, api)) continue;
    MidiPortPtr port = connect(api, why);
    if (!port) continue;
    names = portNames(*port);
    if (port->error.empty()) return true;
    why = systemName(api) + ": " + port->error;
  }
  reason = "no MIDI system answers (" + why + ")";
  return false;
}

MidiPortPtr openMidiPort(const MidiSystemChoice& choice, int device, std::string& reason) {
  std::string why;
  for (RtMidi::Api api : kMidiSystems) {
    if (!chosen(choice, api)) continue;
    MidiPortPtr port = connect(api, why);
    if (!port) continue;
    if (openOn(*port, device)) return port;
    why = systemName(api) + ": " + (port->error.empty() ? "the port did not open" : port->error);
  }
  reason = "cannot open a MIDI output (" + why + ")";
  return nullptr;
}

bool sendMidi(MidiPort& port, const MidiMessage& message, std::string& reason) {
  port.error.clear();
  port.out->sendMessage(message.bytes, sizeof message.bytes);
  if (port.error.empty()) return true;
  reason = port.error;
  return false;
}

std::string midiPortSystem(const MidiPort& port) { return systemName(port.out->getCurrentApi()); }

const char* midiDefaultPort() { return "a port of its own named sonavel"; }
