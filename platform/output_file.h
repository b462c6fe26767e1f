// The one writer of every file the show and its tools make: screenshots, captured frames, videos,
// recordings, jpeg-decode's pictures and spectrum-dump's tables. The rules, whatever the name is:
// - a regular file, or a name that does not exist yet, is written under a temporary name in its folder
//   (FILE.part-XXXXXX) and renamed over the final name only once complete, so a failed or interrupted run
//   leaves nothing half-written under that name; a new file gets what a plain create gives (0666 less the
//   umask), a file that is replaced keeps its mode;
// - a character device or a pipe (FIFO) is written in place and never renamed over or removed;
// - a symbolic link is followed to the end of its chain (relative targets from the folder of their link):
//   the links stay, and the file at the end gets the new content by the same temporary name and rename,
//   in that file's folder; a dangling link creates its target;
// - a directory, a block device or a socket is refused.
// The system's calls live in output_file.cpp, in a few small helpers. Main thread only.
#pragma once
#include <cstdio>
#include <string>

struct OutputFile {
    std::string path;             // the name the caller gave
    std::string targetPath;       // the file that gets the bytes: `path` with its links followed
    std::string writePath;        // where the bytes go until the commit: a temporary name beside
                                  // targetPath, or `path` itself when written in place
    std::FILE* stream = nullptr;  // open for writing (binary) on writePath; closed by commit or discard
    bool inPlace = false;         // a character device or a pipe: written where it is, nothing renamed
    bool open = false;            // opened and neither committed nor discarded
};

// Opens `path` for writing by the rules above: makes the temporary file (empty), or opens the device or
// pipe (which waits until the pipe has a reader). False with the cause in `error` ("it is a directory",
// "Permission denied", the system's words) and nothing left behind.
bool OpenOutputFile(const std::string& path, OutputFile& file, std::string& error);

// Flushes and closes the stream and puts the file under its name (renames the temporary file over
// targetPath). False with the cause in `error` when a write, the close or the rename failed; the temporary
// file is removed then, and the final name keeps what it held before.
bool CommitOutputFile(OutputFile& file, std::string& error);

// Closes the stream and removes the temporary file; a device or pipe is left as it is.
void DiscardOutputFile(OutputFile& file);

// The C runtime's descriptor of the stream, for a library that writes to a descriptor itself.
int OutputFileDescriptor(const OutputFile& file);

// The size in bytes of the file a commit put in place, or -1 (written in place, or not found).
long long OutputFileSize(const OutputFile& file);

// From now on an interrupt (Ctrl-C, a hang-up, a request to terminate) removes the temporary files of the
// outputs still open before the process ends as the signal says. For the command-line tools; the show
// leaves a recording that is cut short under its temporary name, where it can still be replayed.
void RemoveOutputFilesOnInterrupt();
