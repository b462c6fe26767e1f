// The GL 1.x layer: the subset of OpenGL 1.x and GLU that the show draws with, over an OpenGL ES 3.0
// context (natively, or WebGL 2 in a browser), linked into the program instead of libGL and libGLU.
// Depends on the ES functions it is handed at start. Main thread only.
//
// The show's gl* and glu* calls land here: immediate mode batched into a streaming buffer, the matrix
// stacks, fixed-function colour and texturing in the layer's own shaders, display lists recorded into
// buffer ranges, the attribute stack, and the show's GLSL 1.20 fragment shaders converted for ES when they
// are loaded. The GL contexts the show creates are state blocks of the one ES context: making one
// "current" brings the ES context to that block's state.
#pragma once

using GlLayerBlock = void*;
using GlLayerLookup = void* (*)(const char* name);

// With the ES context current: resolves the ES functions through `lookup`, makes the layer's buffers and
// the first state block (the window's), whose viewport is the drawable's size. False when the context
// lacks what the layer needs, with the reason on standard error.
bool GlLayerStart(GlLayerLookup lookup, int drawableWidth, int drawableHeight);
// The lookup of the browser build: WebGL 2's functions under the names of ES (gl_layer/gl_layer_web.cpp).
void* GlLayerBrowserLookup(const char* name);
void GlLayerStop();   // with the context still current; every block goes
void GlLayerFlush();  // draws what waits; before the buffer swap

bool GlLayerRunning();

GlLayerBlock GlLayerCurrentBlock();
GlLayerBlock GlLayerCreateBlock();  // a new block at GL's initial state; the current one stays current
void GlLayerDestroyBlock(GlLayerBlock block);
bool GlLayerMakeCurrent(GlLayerBlock block);  // false for an unknown block

// The layer's function for a GL entry point beyond 1.1 that the show looks up by name (framebuffer and
// shader objects, uniforms, multitexture, secondary colour); nullptr for names the layer lacks.
void* GlLayerProcAddress(const char* name);
