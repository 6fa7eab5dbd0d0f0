// What the game logic needs from its presentation: the sound and the tint
// that mark an event, and the menu. The presentation implements it
// (presentation/audio.cpp, renderer.cpp, menu.cpp), the way platform.h is
// implemented by the platform layers; the core calls these and includes
// nothing from client/presentation.
#pragma once

#include <cstdint>

enum class Cue : uint8_t {
  Ammo,    // an ammunition item taken
  Armor,   // armour taken
  Health,  // health taken
  Chat,    // a chat line
  Score,   // a win
  Spawn,   // a player appears
  Shot,    // a shot; variant: the weapon 1..5
  Pain,    // a player hit; variant: the team 0..3
};

// The cue's sound at player slot 1..24, or at the listener for slot 0.
void PlayCue(Cue cue, uint8_t slot, uint8_t variant = 0);
// Takes the given amounts off the view's red, green and blue for a moment.
void TintFlash(uint8_t dr, uint8_t dg, uint8_t db);

// The menu: Escape opens and closes it, its keys while open, and "Connect"
// (also --connect at start-up).
void ToggleMenu();
void MenuKeys();
void MenuConnect();
