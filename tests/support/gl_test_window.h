// Test support: a hidden 800 x 600 SDL window with an OpenGL compatibility context made current, for
// tests that draw and read pixels back. Needs an X display (the test command runs under Xvfb).
#pragma once

bool OpenTestGlWindow(int width = 800, int height = 600);  // idempotent; true when a context is current
void CloseTestGlWindow();
void ReleaseTestGlContext();      // no context current
bool MakeTestGlContextCurrent();  // the window's context current again
int TestSwapInterval();           // the swap interval SDL reports for the current context
