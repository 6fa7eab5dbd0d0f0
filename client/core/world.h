// The client's map model, shot traces, effects and own-movement prediction.
#pragma once

#include <cstdint>

// The map model's reset for a new map, before its text is decoded; the
// start-up reset is ResetMapModelAtStartUp (client_state.h).
void ClearMap();
void DecodeMap();
// The free spectator camera on the map's first spawn point, looking along
// the longest free row or column from there; nothing happens on a map
// without one, or while the local player plays or follows someone.
void PlaceSpectatorCamera();
void AddEffect(uint8_t value, uint8_t kind, float x, float y);
void BeginSnapshot();
void ApplyPlayerUpdate(uint8_t slot);
// A shot as a snapshot showed it: who fired, from where, which way, with
// which weapon, at which server tick (the tick sets the spread).
struct ShotStart {
  uint8_t slot;
  uint16_t x, y, dir;
  uint8_t gun;
  uint16_t tick;
};
// The shot of players[slot] as the snapshot being applied shows it.
void TraceShot(uint8_t slot);
void TraceShotFrom(const ShotStart& shot);
uint8_t ShotCell(uint16_t x, uint16_t y);
uint8_t ShotHitPlayer(uint16_t x, uint16_t y, uint8_t shooter);
// Before each picture: the view goes back to the own player once that one
// plays or the player watched has gone, and net_angle takes the view's
// heading while alive.
void SettleView();
void MoveLocal();
// Moves local_x, local_y by one step of movement code 1..8 at the given
// heading, sliding along walls when the local player is alive.
void ApplyStep(int code, uint16_t angle);
bool IsFree(uint16_t x, uint16_t y);
void PushHistory(uint16_t x, uint16_t y);
void ClearHistory();
bool InHistory(uint16_t x, uint16_t y);
