// Process end with exit hooks (see process.h).
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>

namespace {
constexpr int kMaxHooks = 8;
ExitHook hooks[kMaxHooks];
int hookCount = 0;
bool ending = false;
bool failed = false;
}  // namespace

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
        ending = true;  // a hook that ends the process itself must not run the hooks again
        for (int i = 0; i < hookCount; ++i) hooks[i]();
    }
    if (failed && status == 0) status = 1;
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(status);
}
