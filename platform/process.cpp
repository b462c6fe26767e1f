// Process end with exit hooks (see process.h).
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platform/page.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
constexpr int kMaxHooks = 8;
ExitHook hooks[kMaxHooks];
int hookCount = 0;
bool ending = false;
bool failed = false;
int endingStatus = 0;
}  // namespace

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
    if (RunsInPage()) EndPage(status);
    std::exit(status);
}

std::filesystem::path ThisProgramFile(const char* argv0)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path program;
#ifdef _WIN32
    // Long paths need more than MAX_PATH: grow the buffer until the name fits.
    std::wstring name(260, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0) break;
        if (n < name.size()) {
            name.resize(n);
            program = fs::weakly_canonical(fs::path(name), ec);
            if (ec) program = fs::path(name);
            break;
        }
        name.resize(name.size() * 2);
    }
#else
    program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) program.clear();
#endif
    if (program.empty() && argv0 && fs::path(argv0).has_parent_path()) {
        program = fs::absolute(argv0, ec);
        if (ec) program.clear();
    }
    return program;
}
