// The SDL2 window the game runs in. main.cpp opens it, runs the message
// loop and closes it; everything else reaches it through platform.h.
#pragma once

#include <SDL.h>

// Creates the window (design client area 792 x 500) and its drawing
// surfaces; false when no window can be had at all.
bool SdlOpenWindow();
// The message loop: records input for the next frame and runs frame (the
// client's ClientFrame) once per 30 ms tick while Timer1 runs, until the
// window closes or PlatformQuit is called; max_frames > 0 also ends it after
// that many frames. before_frame, when given, runs right before every frame.
void SdlRunFrames(void (*frame)(), long max_frames, void (*before_frame)() = nullptr);
void SdlCloseWindow();

// Between the two halves of the SDL layer.
SDL_Renderer* SdlRenderer();
bool SdlCreateDrawing();   // textures for the two pictures
void SdlDestroyDrawing();  // textures, label captions and fonts
void SdlPresent();         // draws the client area as it is now and shows it
