#include "midi/midi_port.hpp"

#include <windows.h>
#include <mmsystem.h>

// WinMM's midiOut calls: every Windows since 95 has them, RtMidi's Windows side is a thin layer
// over them, and they need no library of their own in the cross build.
struct MidiPort {
  HMIDIOUT handle = nullptr;
};

namespace {

std::string errorText(MMRESULT result) {
  wchar_t text[MAXERRORLENGTH] = {};
  if (midiOutGetErrorTextW(result, text, MAXERRORLENGTH) != MMSYSERR_NOERROR) return "error " + std::to_string(result);
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

std::string deviceName(UINT device) {
  MIDIOUTCAPSW caps = {};
  if (midiOutGetDevCapsW(device, &caps, sizeof caps) != MMSYSERR_NOERROR) return "?";
  const int size = WideCharToMultiByte(CP_UTF8, 0, caps.szPname, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? size - 1 : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, caps.szPname, -1, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

}  // namespace

void MidiPortClose::operator()(MidiPort* port) const {
  if (port != nullptr && port->handle != nullptr) midiOutClose(port->handle);
  delete port;
}

bool listMidiOutputs(const MidiSystemChoice&, std::vector<std::string>& names, std::string&) {
  const UINT count = midiOutGetNumDevs();
  for (UINT device = 0; device < count; ++device) names.push_back(deviceName(device));
  return true;
}

MidiPortPtr openMidiPort(const MidiSystemChoice&, int device, std::string& reason) {
  const UINT count = midiOutGetNumDevs();
  const UINT chosen = device == kMidiDefaultPort ? 0 : static_cast<UINT>(device);
  if (chosen >= count) {
    reason = count == 0 ? "cannot open a MIDI output (Windows has none)" : "there is no MIDI output " + std::to_string(chosen);
    return nullptr;
  }
  MidiPortPtr port(new MidiPort);
  const MMRESULT result = midiOutOpen(&port->handle, chosen, 0, 0, CALLBACK_NULL);
  if (result == MMSYSERR_NOERROR) return port;
  port->handle = nullptr;
  reason = "cannot open MIDI output " + deviceName(chosen) + " (" + errorText(result) + ")";
  return nullptr;
}

bool sendMidi(MidiPort& port, const MidiMessage& message, std::string& reason) {
  const DWORD packed = message.bytes[0] | (message.bytes[1] << 8) | (message.bytes[2] << 16);
  const MMRESULT result = midiOutShortMsg(port.handle, packed);
  if (result == MMSYSERR_NOERROR) return true;
  reason = errorText(result);
  return false;
}

std::string midiPortSystem(const MidiPort&) { return "Windows MIDI"; }

const char* midiDefaultPort() { return "output 0"; }
