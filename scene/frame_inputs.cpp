// The one FrameInputs record, filled by the frame driver and read by the scene.
#include "scene/frame_inputs.h"

FrameInputs gFrameInputs;
