// UTF-8 and UTF-16 through the system's converters (see utf16.h).
#include "platform/windows/utf16.h"

#include <windows.h>

std::wstring Utf16(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n) - 1);  // without the terminating zero
    return wide;
}

std::string Utf8(const wchar_t* utf16)
{
    if (!utf16) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16, -1, utf8.data(), n, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(n) - 1);
    return utf8;
}

std::string Utf8(const std::wstring& utf16)
{
    return Utf8(utf16.c_str());
}
