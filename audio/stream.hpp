#pragma once
// The live audio: PortAudio's streams on the chosen devices. The only code that calls
// PortAudio; the audio folder may use core/ and analysis/.

#include <string>
#include <vector>

#include "audio/audio_settings.hpp"

struct AudioShared;

// Opens and starts the streams; false with the reason when the program must run without audio.
// `notes` gets a line where the exclusive mode asked for was not had, and with `settings.report` a
// line on the streams opened.
bool startAudio(AudioShared& audio, const AudioSettings& settings, std::string& reason, std::vector<std::string>& notes);
// Stops (letting queued output play out), closes, terminates. With the report asked for, `report`
// gets lines on how punctually the callbacks came and, with two streams, how well the playback
// side kept up.
void stopAudio(AudioShared& audio, std::vector<std::string>& report);
// The devices PortAudio sees, a line each; false with the reason when PortAudio cannot start.
bool listAudioDevices(std::vector<std::string>& lines, std::string& reason);
// Resolves a choice without opening anything; false with a one-line reason for an unknown device.
bool checkAudioDevices(const AudioDeviceChoice& choice, std::string& reason);

// A sound file in place of the input: one output stream on `settings.devices.output` whose
// callback takes the file's samples (audio/file_feed.hpp), through the rate bridge where the
// device runs at its own rate; no input device is opened. False with a one-line reason when no
// output can be had; with `settings.report`, `notes` gets the stream's line. stopAudio ends it.
bool startFileAudio(AudioShared& audio, const AudioSettings& settings, std::string& reason,
                    std::vector<std::string>& notes);
// Resolves only an output device (empty: the default); false with a one-line reason.
bool checkOutputDevice(const std::string& outputDevice, std::string& reason);
