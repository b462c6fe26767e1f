// The running program's file as POSIX systems with /proc tell it (see process_system.h).
#include "platform/process_system.h"

std::filesystem::path SystemProgramFile()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path program;
    program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) program.clear();
    return program;
}
