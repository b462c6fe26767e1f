// An unfinished output file that must not outlive the process when it is ended from outside: a hang-up
// (the terminal closed), a quit signal (Ctrl-\), or the display's connection lost (the X library then
// ends the process itself). The file is removed and the process ends with status 1. For the show's video,
// whose interrupt and terminate requests SDL already turns into a close of the window. POSIX signals;
// on Windows only the end through exit() applies.
#pragma once
#include <string>

// Names the temporary file to remove on such an end; an empty name forgets it (after it was committed or
// removed). The first call installs the handlers.
void RemoveOnAbruptEnd(const std::string& path);
