// The server's tick: every datagram read and handled, then, while a human
// is connected, the game steps and the snapshots go out.
#pragma once

// One tick: read every datagram, then, while a human is connected, the
// simulation step and the snapshots.
void GAMECYCLE();
// Bots, tick counter and the end-of-match countdown; once per active tick.
void SV_OTHER();
