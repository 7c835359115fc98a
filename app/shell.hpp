#pragma once
// Start-up, the frame loop and the one guarded shutdown, all on the main thread. The app
// folder is the top layer: it may use every other folder.

#include <memory>
#include <string>
#include <vector>

#include "analysis/detect.hpp"
#include "core/host.hpp"
#include "core/keyboard.hpp"
#include "core/tuner_state.hpp"
#include "view/bitmap_font.hpp"

inline constexpr const char* kWindowTitle = "sonavel";
inline constexpr const char* kFontPath = "font.tga";
inline constexpr std::uint32_t kStartupColour = 0x000000;

// The program's picture, on storage of app's own: start-up creates it, the frame step draws
// into it and the host presents it.
extern Framebuffer framebuffer;
// Points `framebuffer` at its storage with the 640 x 480 geometry, every row marked changed.
void createFramebuffer();

// The program's font: start-up loads it, the frame's view draws with it, shutdown frees it.
extern BitmapFont font;

// The keyboard device start-up creates; the frame step polls it.
extern std::unique_ptr<KeyboardDevice> keyboard;
// The detectors' state beside the record, passed to analysis with it.
extern NoteDetection noteDetection;

enum class StartResult { Running, NoWindow };
// What the program runs on without, one line each without the "sonavel: " prefix; the entry point prints them.
using Notices = std::vector<std::string>;

// Brings the program up in its fixed order; NoWindow (with the reason) leaves nothing acquired.
// Running may add to `notices` what it had to do without (the font file, the recording).
StartResult startUp(TunerState& tuner, Host& host, std::string& reason, Notices& notices);
// One pass: poll keys, Escape, key commands, the frame, the pause. False when the program must end.
bool frameStep(TunerState& tuner, Host& host);
// An event was dispatched: the picture may change over the next frame steps.
void noteInput();

// How soon the columns of rung blocks (core/bell.hpp) reached the window, from the ring.
struct BlockTiming {
  long long blocks = 0;
  long long passedBy = 0;  // blocks the audio thread published that no frame step scored (freezes aside)
  double sumMs = 0.0;
  double mostMs = 0.0;
};
BlockTiming blockTiming();
// How long the pauses after frame steps really lasted, by the length asked: a system may round a
// wait up to its timer's tick (Windows: 15.6 ms unless raised) or end it early for work.
struct PauseTiming {
  long long count = 0;
  double sumMs = 0.0;
  double mostMs = 0.0;
};
struct LoopTiming {
  PauseTiming pace;  // kFrameSleepMs asked: input or playback can move the picture
  PauseTiming idle;  // kIdlePauseMs asked: waiting for work
  double seconds = 0.0;  // from the first frame step to the last pause's end
};
LoopTiming loopTiming();
// The frame's own work: first clear, consume a ready block, draw, present.
void runFrame(TunerState& tuner, Host& host);
// The window procedure: pointer fields, buttons, the close request.
void dispatchEvent(TunerState& tuner, Host& host, const WindowEvent& event);
// Runs once whichever exit comes first.
void shutDown(TunerState& tuner, Host& host);
void cleanUp(TunerState& tuner, Host& host);
// The rest of a loop turn once its events are dispatched: ends if one closed the window, else one
// frame step (Escape shuts down), then the click is spent. False when the program must end.
bool loopTurn(TunerState& tuner, Host& host);
// Takes at most one event, then the rest of the turn, until the program ends. Returns the exit status.
int runLoop(TunerState& tuner, Host& host);
