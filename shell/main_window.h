// The single top-level window: display mode, GL context, initial GL state and projection, start-up,
// and the teardown that reports each failure and never stops. Main thread only.
#pragma once

bool CreateMainWindow(const char* title, int width, int height, int bitsPerPixel, bool fullScreenFlag);
void DestroyMainWindow();  // safe with any subset of the window, context and video held
void ResizeViewport(int width, int height);
bool InitRenderState();
void SwapFrontBack(double ignored);  // the Engine's load tick: shows each loading step
