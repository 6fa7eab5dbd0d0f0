// The countdowns the game advances once a frame, after the presentation has
// shown the frame's poses: each player's firing pose and the wait before
// another shot of theirs is traced, and the announcement on screen.
#pragma once

void AdvanceFrameTimers();
