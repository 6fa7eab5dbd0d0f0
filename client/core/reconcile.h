// Own movement in version 29: every input is numbered, and the server says
// in each snapshot which number it applied last. The client keeps the step
// of every input the server has not applied yet; when a snapshot comes, the
// prediction starts again from where the server has the player and makes
// those steps once more. A lost or late datagram then costs nothing (the
// server gets the input with a later datagram and the replay lands where the
// prediction was), and a real disagreement, a wall the server saw or a
// respawn, is taken over at once.
#pragma once

#include <cstdint>

// A new connection: nothing sent yet.
void ResetReconcile();
// The number this frame's input goes out with; the numbers start at 1.
uint16_t NextInputNumber();
// This frame's input went out as number `number`; its step, if it made one
// (code 1..8, 0 for none), was made with `angle`.
void NoteNumberedInput(uint16_t number, int step_code, uint16_t angle);
// A snapshot: the server applied inputs up to `applied` and has the living
// player at (x, y). `respawned`: the snapshot is the first to show it alive
// again, so the steps kept were made before the server moved it.
void Reconcile(uint16_t applied, uint16_t x, uint16_t y, bool respawned);
// Inputs sent and not yet applied by the server, for the measurements.
int InputsInFlight();
