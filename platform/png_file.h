// Writing RGB pictures as PNG files (screenshots and captures).
#pragma once

// rgb: width * height * 3 bytes, top row first. False when the file cannot be written.
bool WritePngFile(const char* path, int width, int height, const unsigned char* rgb);
