// Other players drawn smoothly: each snapshot's positions are kept by the
// server tick they were taken at, and every frame the others (and the
// player the spectator camera follows) are placed between the two
// snapshots around a render time a little behind the newest one. The delay
// is about two ticks and grows with the jitter the snapshots arrive with, so
// that the snapshot after the render time has nearly always arrived. The
// own player is predicted instead (prediction.h).
#pragma once

#include <cstdint>

// A new connection: no tick, no arrival and no position is known.
void ResetInterpolation();

// True when a snapshot of this server tick is older than the newest one
// applied (ticks compared modulo 65536): it is dropped, since applying it
// would take every player back. A jump back of many seconds is a restarted
// server, not a late datagram, and counts as new.
bool SnapshotIsOutdated(uint16_t tick);
// The snapshot of this tick is being applied now: its arrival is noted.
void NoteSnapshotApplied(uint16_t tick);
// ApplyPlayerUpdate: the position of players[slot] in the snapshot being
// applied. A player who was not alive before starts a new track.
void NotePlayerPosition(uint8_t slot);

// The shot players[slot] fires in the snapshot being applied waits until the
// render time reaches its tick, so it starts where the shooter is drawn.
// False when it cannot wait (no render clock yet, or too many waiting):
// it is traced at once.
bool DeferShot(uint8_t slot);

// Once a frame after the snapshots are in: fx, fy of every other living
// player and, while following someone, the view's place and heading are
// set for the render time, and the shots the render time has reached are
// traced.
void InterpolateOthers();
// Ticks the render time lies behind the newest snapshot applied.
double RenderDelay();
