// Sprites, the HUD and the window layout.
#pragma once

void SetupScreen();
void LayoutScreen();  // FormResize
void AnimatePlayers();
void DrawHud();
