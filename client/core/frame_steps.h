// The core's steps of a frame, in their order. The frame (client/frame) runs
// the first half, lets the presentation choose the frame's poses, runs the
// second half and draws; a core without a presentation runs both halves.
#pragma once

// The animation clock, the keys, then, while connected, the datagrams in
// (snapshots first, so the input sent echoes the newest tick and log index),
// the connection's watch, the input out, the others' places and, once a
// second, the scoreboard.
void CoreFrameStart();
// After the poses are chosen: the frame's countdowns, and the view settles
// unless the menu is open (the view behind the menu stays as it was).
void CoreFrameEnd();
