// The running program's file as Windows tells it (see process_system.h).
#include "platform/process_system.h"

#include <windows.h>

#include <string>

std::filesystem::path SystemProgramFile()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path program;
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
    return program;
}
