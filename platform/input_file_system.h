// Inside the input-file reader only: the system calls it stands on, answered per system by
// platform/posix/input_file_system.cpp (Linux and a page) and platform/windows/input_file_system.cpp.
// Paths are UTF-8.
#pragma once
#include <cstddef>
#include <string>

enum class InputKind { Regular, Folder, Other };

// Opens `path` for reading without waiting (a pipe with no writer would block a plain open): the
// descriptor, or -1 with the system's words in `error`. `folder` is set when the system refused because
// `path` is a folder (Windows does not open one).
int OpenInput(const std::string& path, bool& folder, std::string& error);
// What the open file is and its size in bytes; false with the system's words in `error`.
bool DescribeInput(int fd, InputKind& kind, long long& size, std::string& error);
// Reads up to `n` bytes: the count read, 0 at the end, or -1 with the system's words in `error`. An
// interrupted read is tried again.
long long ReadInput(int fd, unsigned char* to, size_t n, std::string& error);
void CloseInput(int fd);
