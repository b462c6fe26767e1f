// An unfinished output file that must not outlive the process when it is ended from outside: a quit signal
// (Ctrl-\\), a hang-up where the end signals below are not caught, or the display's connection lost (the X
// library then ends the process itself). The file is removed and the process ends with status 1. POSIX
// signals; on Windows only the end through exit() and the interrupt apply.
#pragma once
#include <string>

// Interrupt (Ctrl-C), terminate and hang-up end every run within a second. The first such signal is only
// noted, and EndSignal names it from then on: the show looks at it between frames and between the pieces
// of a long step and ends as the close box does. If the process still runs 0.9 s later, or at a second
// such signal, it ends at once with status 1, the named file removed. Installed before the window's system
// starts, which then leaves these signals to us.
void CatchEndSignals();
int EndSignal();  // the first end signal caught (its number), 0 while none
// The show has heeded the end signal and is finishing a file it must not lose (a film is flushed and put
// under its name): the process is given up to kFinishingGrace seconds more. A second signal still ends it
// at once. Nothing without a signal.
constexpr double kFinishingGrace = 10.0;
void FinishingAfterEndSignal();

// Names the temporary file to remove on such an end; an empty name forgets it (after it was committed or
// removed). The first call installs the handlers.
void RemoveOnAbruptEnd(const std::string& path);
