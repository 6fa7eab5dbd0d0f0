// Changing maps: every slot is given up, the operator's log closes the old
// map, and the next map of the rotation (server/sim/maps.h) is loaded.
#pragma once

#include <cstdint>

// Gives up every slot; everybody reconnects within about a second.
void SV_KICKALL();
// The map change: the current map ends, every slot is given up, the
// end-of-match countdown stops and the entry becomes the current map.
void SV_CHANGEMAP(uint8_t entry);
// The next entry of the rotation after the current one that holds a map.
void SV_MAPNEXT();
