// The one FrameInputs record, filled by the frame driver and read by the scene.
#include "runtime/frame_inputs.h"

FrameInputs gFrameInputs;
