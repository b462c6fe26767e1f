// Pads (SDL's game controller interface) and touch screens, for the main window and the dialog: their
// events become the messages a keyboard and a mouse send, so every rule for held keys and for the pointer
// stays as it is. Internal to platform/; SDL's types. Main thread only.
//
//   d-pad, left stick   the arrow keys (press at half deflection, release below 40%)
//   right stick         moves the pointer, so the camera, as the mouse does (dead zone 20%, then up to
//                       800 pixels a second, in proportion to the deflection beyond it)
//   A, Start            Enter          B, Back    Escape
//   a finger held       the arrow keys toward it from the player's place in the picture (left or right of
//                       it: left or right; above or below: up or down; a band of 4% of the picture around
//                       it counts as neither)
//   a second finger     moves the pointer to where it is, as the mouse does
// A pad plugged in during the show is taken, one pulled out is dropped (the keys it held are released).
#pragma once
#include <SDL.h>

#include <cstdint>

using PushWindowMessage = void (*)(uint32_t message, uint64_t wParam, int64_t lParam);

// Starts SDL's game controller interface (after its video); pads already plugged in arrive as events.
void StartGameControllers();

// One event into the main window's messages: true when it was a pad's or a touch screen's (its messages,
// if any, are pushed), false for any other event, which the window translates itself. Mouse events that
// SDL makes up from touches are taken here and pass as nothing: the fingers steer instead. A mouse move
// is only watched, for where the pointer is, and left to the window.
bool TranslateControllerEvent(const SDL_Event& e, SDL_Window* window, PushWindowMessage push);

// Whenever the window's queue has run empty: a right stick or a finger held goes on acting although no
// event comes (the pointer moves on, a moving player changes the keys a finger holds).
void StepControllers(SDL_Window* window, PushWindowMessage push);

// For the dialog: the virtual key (VK_RETURN, VK_ESCAPE, VK_SPACE for X and Y, VK_TAB for the d-pad, with
// shift for up and left) of a pad button pressed or released; 0 for other events. Pads plugged in or
// pulled out are taken or dropped here too.
int DialogKeyOfControllerEvent(const SDL_Event& e, bool& down, bool& shift);
