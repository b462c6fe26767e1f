// Files written whole or not at all: the bytes go to a temporary name beside the final one, which is renamed
// over the final name only once everything is written, so a failed or interrupted run leaves no
// half-written file under that name. POSIX file calls; main thread only.
#pragma once
#include <string>

struct OutputFile {
    std::string path;       // the final name the user asked for
    std::string writePath;  // where the bytes go: a temporary name, or the final name itself (see `direct`)
    bool direct = false;    // the final name is a device or pipe (say /dev/null): written in place
    bool open = false;      // prepared and neither committed nor discarded
};

// Creates the temporary file (empty, <path>.part-XXXXXX) so that an unwritable place is found before any
// work is done. False with the cause in `error` (the operating system's words: "No such file or directory").
bool PrepareOutputFile(const std::string& path, OutputFile& file, std::string& error);

// Renames the temporary file over the final name. False with the cause in `error`; the temporary file is
// removed then.
bool CommitOutputFile(OutputFile& file, std::string& error);

// Removes the temporary file (a device or pipe written in place is left as it is).
void DiscardOutputFile(OutputFile& file);

// The size of a committed file in bytes, or -1.
long long OutputFileSize(const std::string& path);
