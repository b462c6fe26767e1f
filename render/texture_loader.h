// Texture loading: JPEG files and blank images become OpenGL textures in the engine's texture table.
// Depends on the JPEG decoder, OpenGL 1.x and the platform's message boxes and process exit.
// Main thread only, with the window's GL context current. Failures never return: they show a box and
// end the process with status 0.
#pragma once

struct Engine;

// Decodes fileName (relative to the working directory) into a new RGB texture at table entry
// base offset + slot, top row of the picture at t = 1, linear filtering. The texture is left bound.
// A file that cannot be opened shows a box captioned "Jpg"; a file the decoder refuses shows "Jpg !".
void LoadJpegTexture(Engine& engine, const char* fileName, int slot);

// Creates a black RGB texture of width x height texels at base offset + slot, linear filtering; left bound.
void CreateBlankTexture(Engine& engine, int slot, int width, int height);

// Loads "textures/superfilm3.jpg" into kFilmTextureSlot (90000) and sets linear filtering on it.
void LoadFilmTexture(Engine& engine);
