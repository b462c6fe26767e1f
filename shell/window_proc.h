// The main window's procedure: keys, buttons, wheel, arrow values, viewport size, screen-saver refusal,
// and the middle-button capture of camera and point values into CaptureText.
// Main thread only.
#pragma once
#include <cstdint>
#include <string>

#include "platform/window.h"
#include "runtime/frame_driver.h"  // ApplyArrowKeys
#include "runtime/global_state.h"  // CaptureText

int64_t MainWindowProc(uint32_t message, uint64_t wParam, int64_t lParam);

// A number as the Windows runtime's _gcvt writes it with 6 significant digits: "2." for 2, "0.5",
// "1.23457e+006" outside 0.1 ... 999999.5. Writes at most 24 bytes including the terminator.
void FormatLikeGcvt(double value, char* out, int size);
