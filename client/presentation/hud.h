// Sprites, the HUD and the window layout.
#pragma once

void SetupScreen();
void LayoutScreen();  // FormResize
// Where the HUD panel starts on a client area of this height: the frame-rate
// label stays above it.
int HudPanelTop(int client_height);
void AnimatePlayers();
void DrawHud();
