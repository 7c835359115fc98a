#pragma once
// Asking the window system for events only when it may have some, and waiting
// for work: the frame loop sleeps until the window system sends something, the
// audio thread rings the bell (core/bell.hpp) or the time it was given runs out.
// Pumping SDL costs several system calls even when nothing happened. On X11 the
// connection is watched while the loop waits; elsewhere every look pumps.

struct SDL_Window;
struct Bell;

// Starts watching the connection of `window` and hangs a ringer on `bell` (none: stops both).
void watchWindowSystem(SDL_Window* window, Bell* bell);
// Whether the next look must pump SDL: something arrived, the library may hold
// events it read during a reply, or the longest quiet spell has passed.
bool windowSystemMayHaveEvents();
// The look pumped SDL: everything that had arrived is in SDL's queue now.
void windowSystemPumped();
// A call that waited for a reply (presenting a picture): events that came
// meanwhile may sit in the client library, where no wait on the connection sees them.
void windowSystemRoundTrip();
// Waits at most `milliseconds`, ending early when the window system sends
// something, the bell rings or a signal arrives; notes what came.
void waitWatchingWindowSystem(int milliseconds);
