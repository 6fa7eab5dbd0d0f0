// What the game logic tells its presentation: the sound and the tint that
// mark an event, and that the menu changed and wants drawing again. The core
// calls through hooks that the layer above fills in (client/frame at
// start-up, a test with a recording one), so the core links without it and
// includes nothing from client/presentation. A hook left empty does nothing.
#pragma once

#include <cstdint>

enum class Cue : uint8_t {
  Ammo,      // an ammunition item taken
  Armor,     // armour taken
  Health,    // health taken
  Chat,      // a chat line
  Score,     // a win
  Spawn,     // a player appears
  Shot,      // a shot; variant: the weapon 1..NUM_WEAPONS
  Pain,      // a player hit; variant: the team 0..3
  MenuMove,  // the menu's click: a step of the selection or of the volume
};

struct PresentationHooks {
  // The cue's sound at player slot 1..24, or at the listener for slot 0.
  void (*play_cue)(Cue cue, uint8_t slot, uint8_t variant) = nullptr;
  // Takes the given amounts off the view's red, green and blue for a moment.
  void (*tint_flash)(uint8_t dr, uint8_t dg, uint8_t db) = nullptr;
  // The menu's lines, values, selection or volume changed.
  void (*menu_changed)() = nullptr;
};

void SetPresentationHooks(const PresentationHooks& hooks);

void PlayCue(Cue cue, uint8_t slot, uint8_t variant = 0);
void TintFlash(uint8_t dr, uint8_t dg, uint8_t db);
void MenuChanged();
