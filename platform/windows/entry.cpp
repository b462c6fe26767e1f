// The Windows entry point of the show: a program of the GUI subsystem (no console window opens when it is
// started from the desktop). Its arguments arrive as UTF-16 and go to ProgramMain as UTF-8; its standard
// output and error reach the console it was started from, if any, when they are not redirected already.
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/windows/utf16.h"

namespace {

bool HasStream(DWORD which)
{
    const HANDLE h = GetStdHandle(which);
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

// A GUI program has no standard streams unless its starter redirected them; started from a command prompt,
// `quarnel --help` should still print there.
void ReachTheStartersConsole()
{
    const bool out = HasStream(STD_OUTPUT_HANDLE), err = HasStream(STD_ERROR_HANDLE);
    if (out && err) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!out) (void)std::freopen("CONOUT$", "w", stdout);
    if (!err) (void)std::freopen("CONOUT$", "w", stderr);
}

UINT consoleCodePage = 0;  // the console's own code page, given back at exit; 0 while it is untouched

void GiveTheConsoleItsCodePage()
{
    if (consoleCodePage) SetConsoleOutputCP(consoleCodePage);
}

// The program writes UTF-8, which a console shows right only in its UTF-8 code page (in another, "Jörg"
// reads "JÃ¶rg"). The console is the user's, shared with the prompt: the program takes that code page
// while it runs and gives the console's own back when it ends.
void SpeakUtf8ToTheConsole()
{
    const UINT current = GetConsoleOutputCP();  // 0 without a console
    if (current == 0 || current == CP_UTF8 || !SetConsoleOutputCP(CP_UTF8)) return;
    consoleCodePage = current;
    std::atexit(GiveTheConsoleItsCodePage);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    ReachTheStartersConsole();
    SpeakUtf8ToTheConsole();
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; wide && i < count; ++i) args.push_back(Utf8(wide[i]));
    if (wide) LocalFree(wide);
    if (args.empty()) args.push_back("quarnel");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return ProgramMain(static_cast<int>(args.size()), argv.data());
}
