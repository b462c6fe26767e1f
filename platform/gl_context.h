// GL contexts beside the window's: a second context on the main SDL window that shares display lists,
// textures and programs with the window's, switching between contexts, and the lookup of GL entry points
// by name. Main thread only. Handles are opaque (SDL's context pointers).
#pragma once

using GlContextHandle = void*;

GlContextHandle CurrentGlContext();  // nullptr when none is current
// A new context sharing objects with the current one; the current context stays current. nullptr when
// there is no current context or no main window, or the driver refuses.
GlContextHandle CreateSharedGlContext();
void DestroyGlContext(GlContextHandle context);
bool MakeGlContextCurrent(GlContextHandle context);  // on the main window; false when that fails
// Address of a GL function by name, or nullptr when the current context does not offer it (by its
// version and extensions) or no context is current. Offered: multitexture, framebuffer objects, GLSL
// shader objects and uniforms; "SwapInterval" is the platform's swap-interval call (int (*)(int), 1 on
// success).
void* LookupGlEntryPoint(const char* name);
