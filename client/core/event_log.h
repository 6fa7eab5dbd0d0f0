// The texts beside the 3D view: the event log on screen and in outlog.txt,
// announcements and the frame-rate label.
#pragma once

#include <string>

void LogLine(const std::string& text);      // outlog.txt and the on-screen log
void ShowLogLine(const std::string& text);  // on-screen log only
void RefreshLog();
void Announce(const std::string& text);
void UpdateFps();
// The frame-rate clock starts again from now (start-up).
void ResetFrameClock();
// The same without asking the platform for the time: zero.
void ClearFrameClock();
