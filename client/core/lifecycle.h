// The window's life as the game sees it: the 30 ms timer, centring, focus
// and shutdown. Start-up and the frame itself are client/frame's.
#pragma once

// Timer1: set by the last step of StartUp; the window runs one ClientFrame
// every 30 ms while it is set.
constexpr unsigned FRAME_INTERVAL_MS = 30;
extern bool timer1_enabled;

void Shutdown();
void CentreWindow();
void FormActivate();
