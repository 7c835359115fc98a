#pragma once
// The window's size when it opens: how many screen pixels each picture pixel
// takes each way, from what the screen offers. Pure arithmetic; window.cpp asks
// SDL and X11 for the facts.

// What is known of the screen the window opens on; 0 where it is not known.
struct ScreenRoom {
  int usableWidth = 0;     // pixels left by panels and docks
  int usableHeight = 0;
  double desktopDpi = 0;   // the desktop's own setting (Xft.dpi), else the monitor's density
};

// The desktop's scale as a whole number: the DPI over 96, rounded, 1 to kMostWindowScale;
// 1 when the DPI is not known.
int desktopScale(double dpi);

// The largest multiple of the desktop's scale whose window fits within two thirds of the
// usable width and height. Where not even the desktop's scale fits that, the largest scale
// up to it whose window fits the usable area whole; at least 1 in every case.
int chooseWindowScale(const ScreenRoom& room);
