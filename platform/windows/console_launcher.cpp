// quarnel-cli.exe: the show for a command prompt. quarnel.exe is a program of the GUI subsystem, which a
// prompt does not wait for; this small console program starts quarnel.exe from its own folder with the
// same arguments, on the same console, waits for it and ends with its status, so the prompt waits and
// %ERRORLEVEL% is the show's status. Depends on kernel32 only.
#include <windows.h>

#include <string>

namespace {

// The command line after the program's own name, split off as Windows' parser does it: a name in quotes
// runs to the closing quote, any other to the first blank.
const wchar_t* ArgumentsAfterProgramName(const wchar_t* line)
{
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"') ++line;
        if (*line) ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

// The full path of this program, however long.
std::wstring ThisProgram()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// A message on standard error: wide characters to a console, UTF-8 elsewhere.
void Say(const std::wstring& text)
{
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD done = 0;
    if (IsConsole(err)) {
        WriteConsoleW(err, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
        return;
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes,
                            nullptr, nullptr);
        WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
    }
}

std::wstring SystemMessage(DWORD code)
{
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"error " + std::to_wstring(code);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return message;
}

// Ctrl-C and Ctrl-Break reach the show too, which is on the same console and ends as its close box ends
// it: this program waits for that end and reports the show's status.
BOOL WINAPI KeepWaiting(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

}  // namespace

int main()
{
    const std::wstring self = ThisProgram();
    const size_t slash = self.find_last_of(L"\\/");
    if (self.empty() || slash == std::wstring::npos) {
        Say(L"quarnel-cli: cannot find the folder of this program\n");
        return 1;
    }
    const std::wstring show = self.substr(0, slash + 1) + L"quarnel.exe";
    std::wstring commandLine = L"\"" + show + L"\"";
    if (const wchar_t* arguments = ArgumentsAfterProgramName(GetCommandLineW()); *arguments)
        commandLine += std::wstring(L" ") + arguments;

    // Streams that are redirected (a file, a pipe) are handed over as they are; the console's are left
    // out, and the show attaches to this console and opens them itself (quarnel.exe, having no console of
    // its own, can write to a console only that way).
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    const DWORD which[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE* slots[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    for (int i = 0; i < 3; ++i) {
        const HANDLE h = GetStdHandle(which[i]);
        *slots[i] = IsConsole(h) || h == INVALID_HANDLE_VALUE ? nullptr : h;
        if (*slots[i]) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }

    // The show ends with this program: closing the console (or ending this program) ends it too, as a
    // terminal's hang-up ends a program on Linux.
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }

    SetConsoleCtrlHandler(KeepWaiting, TRUE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(show.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process)) {
        Say(L"quarnel-cli: cannot start " + show + L": " + SystemMessage(GetLastError()) + L"\n");
        return 1;
    }
    if (job) AssignProcessToJobObject(job, process.hProcess);  // a job this one is in may refuse: no matter
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
