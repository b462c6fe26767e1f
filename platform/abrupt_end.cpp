// Removal of an unfinished output file on an end from outside (see abrupt_end.h). The handlers read only a
// plain array and a flag, and call only unlink and _exit, which are safe in a signal handler.
#include "platform/abrupt_end.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define unlink _unlink
#else
#include <unistd.h>
#endif

namespace {

constexpr size_t kLongestName = 4096;
char fileName[kLongestName];
volatile std::sig_atomic_t named = 0;
bool installed = false;

void RemoveNamedFile()
{
    if (named) unlink(fileName);
    named = 0;
}

#ifndef _WIN32
void EndOnSignal(int)
{
    RemoveNamedFile();
    _exit(1);
}
#endif

}  // namespace

void RemoveOnAbruptEnd(const std::string& path)
{
    named = 0;
    if (path.empty() || path.size() >= kLongestName) return;
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    named = 1;
    if (installed) return;
    installed = true;
    // A library that ends the process with exit() (Xlib on a lost display) still runs this.
    std::atexit(RemoveNamedFile);
#ifndef _WIN32
    struct sigaction action {};
    action.sa_handler = EndOnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGHUP, SIGQUIT}) sigaction(signal, &action, nullptr);
#endif
}
