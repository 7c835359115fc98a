#pragma once
// What the audio callbacks share with the threads around them and keep between calls, in one
// place: app/ owns one per run and PortAudio hands it to each callback as its user data.

#include <string>

#include "audio/block_queue.hpp"
#include "audio/callback_clock.hpp"
#include "audio/file_feed.hpp"
#include "audio/input_tap.hpp"
#include "audio/output_relay.hpp"
#include "audio/audio_settings.hpp"
#include "audio/rate_bridge.hpp"

struct TunerState;

// What start-up opened, main thread only: the settings it was given, whether it holds one
// Pa_Initialize that stopAudio must undo, and the streams (PaStream pointers).
struct OpenStreams {
  AudioSettings settings;
  bool libraryHeld = false;
  void* capture = nullptr;   // the stream that runs the callback: capture, duplex or the file's output
  void* playback = nullptr;  // the playback stream when capture and playback run as two streams
  std::string passedOver;    // preferred host APIs whose default devices did not take the stream
  BridgeRates rates;         // the devices' rates; where either is not 44100 Hz, the rate bridge converts
  bool exclusive = false;    // the devices are held alone (WASAPI's exclusive mode)
};

struct AudioShared {
  explicit AudioShared(TunerState& shown) : record(shown) {}  // the record the callback composes for
  TunerState& record;
  BlockQueue blocks;  // every block for the live notes
  InputTap tap;       // every input sample for the session recording
  OutputRelay relay;  // capture to playback when they run as two streams
  FileFeed feed;      // a sound file in place of the input device
  RateBridge bridge;  // devices at their own rate, converted to and from 44100 Hz
  // How punctually each side's callback comes: the capture (or duplex) stream's and the playback stream's.
  CallbackClock captureClock, playbackClock;
  OpenStreams streams;
};
