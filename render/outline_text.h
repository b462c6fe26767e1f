// Outline-font 3D text: the font's glyphs as extruded display lists (one per character code, each ending
// with its advance), and two printf-style print routines that centre a string on the current origin.
// Depends on the platform font-outline layer and RandomUnit.
#pragma once

struct Engine;

constexpr const char* kOutlineFontFile = "meshes/Acknowledge_TT_BRK.ttf";
constexpr int kOutlineFontLists = 256;
constexpr int kOutlineFontGlyphs = 123;  // codes 0 ... 122 ("z" is the last) get geometry
constexpr int kPrintBufferSize = 256;    // formatted text is cut at 255 characters

// Builds the lists on the current context from kOutlineFontFile (or the file set below); false when the
// font cannot be read, in which case the texts draw nothing.
bool BuildOutlineFont(Engine& engine);
void SetOutlineFontFile(const char* path);  // another font file (tests, tools); nullptr restores the default
void PrintText(Engine& engine, const char* format, ...) __attribute__((format(printf, 2, 3)));
void PrintDissolvingText(Engine& engine, double amount, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Width of a string in font units: the sum of its cell increments x (codes taken as signed bytes).
double OutlineTextWidth(const Engine& engine, const char* text);
