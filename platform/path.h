// File names at the system's door. The program keeps every path as UTF-8 text; where one meets the system
// it goes through these: std::filesystem's path (wide on Windows, whose narrow calls and conversions read
// the ANSI code page, not UTF-8), the C runtime's FILE, the environment. Every file the program opens,
// makes, lists or renames by a name the user or the system gave takes this way (the output files' own
// calls, in output_file_system, convert the same way). POSIX takes UTF-8 as it is.
#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

// The path for a UTF-8 name, and the UTF-8 name of a path.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen for a UTF-8 name (the mode as fopen's); null with errno set when it cannot.
std::FILE* OpenFileUtf8(const std::string& utf8, const char* mode);

// The environment variable as UTF-8; false when it is not set.
bool EnvironmentUtf8(const char* name, std::string& value);
