// Own-movement prediction beyond the position history: which input carried
// each predicted position, noticing at once that the server has stopped
// following, and pacing the inputs so that no burst goes beyond what the
// server applies.
//
// The server takes a wanted position only when it lies less than 12 units
// from where the player stands, and applies at most 35 inputs per 33 ticks.
// The client walks 11 units a frame, so after one lost, late or ignored input
// every later step is too long and the server holds the player still until
// the client starts again from the server's position.
#pragma once

#include <cstdint>

// A new connection or a connection that starts again: nothing is known of
// the server's ticks and no step is pending.
void ResetPrediction();

// MoveLocal's step of this frame (movement code 1..8 and the heading it used);
// the step starts from local_x, local_y as they are now.
void BeginFrameStep(int code, uint16_t angle);

// True when the server's position (x, y) for the local player shows that it
// has read a later input of ours and did not follow it: its latest input
// echoed tick `echo`, yet its position is older than every predicted position
// sent with that echo.
bool ServerStoppedFollowing(uint16_t x, uint16_t y, uint16_t echo);
// Starts the prediction again at the server's position, where it stood with
// its latest input read echoing `echo`; the movement of this
// frame, if any, is made again from there, so the walk goes on without a pause.
void Reanchor(uint16_t x, uint16_t y, uint16_t echo);

// ApplyPlayerUpdate: the newest snapshot of the local player alive showed
// that the server's latest input read from us echoed `echo`.
void NoteServerRead(uint16_t echo);
// SendInput, when an input goes out: true when the input of the frame before
// is missing at the server while inputs normally arrive within a frame. That
// input is then sent once more instead of a new step: the server takes it
// whether the first copy was lost or is late, and no later step is refused.
bool ShouldResendLast();

// SendInput: true when an input may go out in this frame. Credit comes with
// every server tick the snapshots show, at most kMaxInputCredit ahead.
bool TakeInputCredit();
// The input of this frame went out with this tick echo.
void NoteInputSent(uint16_t echo);
// True when no input went out for kKeepAliveFrames frames: one goes out
// without credit, holding the place, so that a server that has forgotten us
// (a map change, a kick) says so at once and a half-open slot hears again.
bool InputOverdue();
// This frame's step is taken back, so the next input is again at most one
// step from the last one sent.
void HoldFrameStep();
// No input goes out in this frame: its step is taken back and a one-off
// action (a weapon, join or spectate) waits for the next input.
void HoldFrame(uint8_t frame_action);
// The action the next input carries: the frame's own, else one held back.
uint8_t ActionToSend(uint8_t frame_action);
// The step MoveLocal made in this frame, if it made one.
bool PendingFrameStep(int& code, uint16_t& angle);
// The end of the frame's network part.
void EndFrameStep();

constexpr int kMaxInputCredit = 2;
constexpr int kKeepAliveFrames = 3;
