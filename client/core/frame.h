// Start-up, the 30 ms frame and shutdown.
#pragma once

// Timer1: set by the last step of StartUp; the window runs one ClientFrame
// every 30 ms while it is set.
constexpr unsigned FRAME_INTERVAL_MS = 30;
extern bool timer1_enabled;

void StartUp();
void ClientFrame();
void Shutdown();
void CentreWindow();
void FormActivate();
