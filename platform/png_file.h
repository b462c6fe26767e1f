// Writing RGB pictures as PNG files (screenshots and captures).
#pragma once

// rgb: width * height * 3 bytes, top row first. False, with the reason in errno (0 when there is none to
// give) and no partial file left behind, when the file cannot be written.
bool WritePngFile(const char* path, int width, int height, const unsigned char* rgb);
