// Where a finger held on the picture steers from: the player's place in it, as fractions of the picture's
// width and height from its top left corner (the middle until told). The scene tells it every frame; the
// window's touch handling reads it. Main thread.
#pragma once

void SetTouchSteeringCentre(double x, double y);
