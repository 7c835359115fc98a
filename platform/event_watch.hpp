#pragma once
// Asking the window system for events only when it may have some. Pumping SDL
// costs several system calls even when nothing happened, and the frame loop
// looks for events 200 times a second. On X11 the connection is watched while
// the loop sleeps; elsewhere every look pumps, as before.

struct SDL_Window;

// Starts watching the connection of `window` (none: stops watching).
void watchWindowSystem(SDL_Window* window);
// Whether the next look must pump SDL: something arrived, the library may hold
// events it read during a reply, or the longest quiet spell has passed.
bool windowSystemMayHaveEvents();
// The look pumped SDL: everything that had arrived is in SDL's queue now.
void windowSystemPumped();
// A call that waited for a reply (presenting a picture): events that came
// meanwhile may sit in the client library, where no wait on the connection sees them.
void windowSystemRoundTrip();
// Sleeps `milliseconds`, noting whether the window system sent anything meanwhile.
void sleepWatchingWindowSystem(int milliseconds);
