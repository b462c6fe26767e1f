// Inside the output-file writer only: the questions it asks the system, answered per system by
// platform/posix/output_file_system.cpp and platform/windows/output_file_system.cpp. Paths are UTF-8.
#pragma once
#include <cstdio>
#include <string>

constexpr int kMostLinks = 40;         // links followed in a row, as the kernel's own limit
constexpr size_t kLongestPath = 4095;  // bytes of a link's target that are read

enum class PathKind { Missing, Regular, Directory, CharacterDevice, Pipe, BlockDevice, Socket, Other };

extern const char kSeparators[];  // the characters that end a folder's name in a path

std::string SystemWords(int code);  // the C runtime's words for an errno value

// What stands at `path`, its links followed (a dangling link is Missing), and the permission bits of a file.
bool ClassifyPath(const std::string& path, PathKind& kind, unsigned& mode, std::string& error);
// The name at the end of `path`'s chain of links: the first that is not a link, or does not exist.
bool ResolveLinks(const std::string& path, std::string& target, std::string& error);
// A new, empty file `name` that did not exist, with the permissions of a plain create, or `mode` when
// `keepMode`. Null with `taken` when the name exists already, else null with the cause in `error`.
std::FILE* CreateNewFile(const std::string& name, bool keepMode, unsigned mode, bool& taken,
                         std::string& error);
// The character device or pipe at `path`, opened for writing where it is.
std::FILE* OpenInPlace(const std::string& path, std::string& error);
bool MoveFileOver(const std::string& from, const std::string& to, std::string& error);
void RemoveFile(const std::string& name);
void RemoveFileNow(const char* name);         // from a signal handler: one system call, nothing allocated
long long FileSize(const std::string& path);  // -1 when there is none
