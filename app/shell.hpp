#pragma once
// Start-up, the frame loop and the one guarded shutdown, all on the main thread.

#include <memory>

#include "app/host.hpp"
#include "app/keyboard.hpp"

inline constexpr const char* kWindowTitle = "sonavel";
inline constexpr const char* kFontPath = "font.tga";
inline constexpr std::uint32_t kStartupColour = 0x000000;

// The keyboard device start-up creates; the frame step polls it.
extern std::unique_ptr<KeyboardDevice> keyboard;

enum class StartResult { Running, NoWindow };

// Brings the program up in its fixed order; NoWindow (with the reason) leaves nothing acquired.
StartResult startUp(Host& host, std::string& reason);
// One pass: poll keys, Escape, key commands, the frame, the 5 ms pause. False when the program must end.
bool frameStep(Host& host);
// The frame's own work: first clear, consume a ready block, draw, present.
void runFrame(Host& host);
// The window procedure: pointer fields, buttons, the close request.
void dispatchEvent(Host& host, const WindowEvent& event);
// Runs once whichever exit comes first.
void shutDown(Host& host);
void cleanUp(Host& host);
// Takes at most one event, then one frame step, until the program ends. Returns the exit status.
int runLoop(Host& host);
