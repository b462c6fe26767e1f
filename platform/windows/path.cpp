// Windows' file names are UTF-16: a UTF-8 name becomes wide at the system's door, through the wide calls
// (_wfopen, _wgetenv) and std::filesystem's wide paths (see path.h). The narrow calls would read the bytes
// in the ANSI code page, so "Jörg" would become "JÃ¶rg".
#include "platform/path.h"

#include <cerrno>
#include <cstdlib>
#include <cwchar>

#include "platform/windows/utf16.h"

std::filesystem::path PathFromUtf8(const std::string& utf8)
{
    return std::filesystem::path(Utf16(utf8));
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    return Utf8(path.wstring());
}

std::FILE* OpenFileUtf8(const std::string& utf8, const char* mode)
{
    const std::wstring name = Utf16(utf8), wideMode = Utf16(mode);
    if (name.empty() && !utf8.empty()) {  // not UTF-8: no file has that name
        errno = EINVAL;
        return nullptr;
    }
    return _wfopen(name.c_str(), wideMode.c_str());
}

bool EnvironmentUtf8(const char* name, std::string& value)
{
    const wchar_t* text = _wgetenv(Utf16(name).c_str());
    if (!text) return false;
    value = Utf8(text);
    return true;
}
