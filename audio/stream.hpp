#pragma once
// The one full-duplex PortAudio stream. The only code that calls PortAudio.

// Opens and starts the stream; on failure says why on stderr and returns false.
bool startAudio();
// Stops (letting queued output play out), closes, terminates.
void stopAudio();
