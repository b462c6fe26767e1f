// The one reader of the files the show takes in: its data (textures, effects, music, font) and the
// recordings it replays. Only a regular file is read, and only up to a size cap, so that a pipe, a device
// or a folder in a data file's place ends in a message instead of a wait for ever or memory running out.
// Main thread only.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Reads the whole of `path` into `bytes`. False with the cause in `error` ("not a regular file", "larger
// than 64 MB", "Permission denied", the system's words); `bytes` is empty then. A pipe or device is refused
// without waiting for a writer, and nothing past `largest` bytes is read.
bool ReadInputFile(const std::string& path, size_t largest, std::vector<unsigned char>& bytes,
                   std::string& error);

// The same check without reading, for a library that opens the file itself: true when `path` is a regular
// file of at most `largest` bytes, else false with the cause in `error`.
bool CheckInputFile(const std::string& path, size_t largest, std::string& error);

// "64 MB", "512 kB": a cap in words for a message.
std::string SizeInWords(size_t bytes);
