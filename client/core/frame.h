// Start-up, the 30 ms frame and shutdown.
#pragma once

void StartUp();
void ClientFrame();
void Shutdown();
void CentreWindow();
void FormActivate();
