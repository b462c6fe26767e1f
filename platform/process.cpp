// Process end with exit hooks, processor time, and the program's own file (see process.h); the system's
// part of the latter in posix/ and windows/ (the clocks are POSIX's, which MinGW-w64 provides too).
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>

#include "platform/page.h"
#include "platform/path.h"
#include "platform/process_system.h"
#include "platform/system.h"

namespace {
constexpr int kMaxHooks = 8;
ExitHook hooks[kMaxHooks];
int hookCount = 0;
bool ending = false;
bool failed = false;
int endingStatus = 0;

double ProcessorMs(clockid_t clock)
{
    timespec t{};
    if (clock_gettime(clock, &t) != 0) return 0.0;
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}
}  // namespace

double ProcessProcessorMs()
{
    return ProcessorMs(CLOCK_PROCESS_CPUTIME_ID);
}

double ThreadProcessorMs()
{
    return ProcessorMs(CLOCK_THREAD_CPUTIME_ID);
}

int EndingStatus()
{
    return endingStatus;
}

void AddExitHook(ExitHook hook)
{
    if (hookCount < kMaxHooks) hooks[hookCount++] = hook;
}

void SetExitFailure()
{
    failed = true;
}

void EndProcess(int status)
{
    if (!ending) {
        endingStatus = status;
        ending = true;  // a hook that ends the process itself must not run the hooks again
        for (int i = 0; i < hookCount; ++i) hooks[i]();
    }
    if (failed && status == 0) status = 1;
    std::fflush(stdout);
    std::fflush(stderr);
    if (!SystemCan(SystemAbility::OwnLoops)) EndPage(status);  // a page ends as a page
    std::exit(status);
}

std::filesystem::path ThisProgramFile(const char* argv0)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path program = SystemProgramFile();
    if (program.empty() && argv0 && PathFromUtf8(argv0).has_parent_path()) {
        program = fs::absolute(PathFromUtf8(argv0), ec);
        if (ec) program.clear();
    }
    return program;
}
