// GL contexts beside the window's: a second context of the main window that shares display lists,
// textures, programs and framebuffer objects with the window's and keeps a GL state of its own, switching
// between contexts, and the lookup of GL entry points by name. Main thread only. Handles are opaque.
// Each such context is a block of state in the window's one GL context (the driver's own OpenGL: a record
// swapped in and out; the GL 1.x layer: one of its blocks): switching draws nothing, waits for nothing and
// needs no hand-over of what one context drew to the other. What a context pushes on a matrix or attribute
// stack it pops before another context is made current.
#pragma once

using GlContextHandle = void*;

GlContextHandle CurrentGlContext();  // nullptr when none is current
// A new context sharing objects with the current one, in the state of a new GL context; the current
// context stays current. nullptr when there is no current context or no main window.
GlContextHandle CreateSharedGlContext();
void DestroyGlContext(GlContextHandle context);      // the current one is kept
bool MakeGlContextCurrent(GlContextHandle context);  // on the main window; false when that fails
// Address of a GL function by name, or nullptr when the current context does not offer it (by its
// version and extensions) or no context is current. Offered: multitexture, framebuffer objects, GLSL
// shader objects and uniforms; "SwapInterval" is the platform's swap-interval call (int (*)(int), 1 on
// success).
void* LookupGlEntryPoint(const char* name);
