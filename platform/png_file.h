// Writing RGB pictures as PNG files (screenshots and captures), through the one writer of output files.
#pragma once
#include <string>

// rgb: width * height * 3 bytes, top row first. Written by the rules of output_file.h: a file appears under
// its name only when complete, a device or pipe is written in place. False, with the cause in `error` and
// no partial file left behind, when the picture cannot be written.
bool WritePngFile(const std::string& path, int width, int height, const unsigned char* rgb,
                  std::string& error);
