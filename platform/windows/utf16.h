// Text at Windows' door: the program keeps UTF-8 everywhere, the system's wide calls take UTF-16.
#pragma once
#include <string>

std::wstring Utf16(const std::string& utf8);  // empty for text that is not UTF-8
std::string Utf8(const std::wstring& utf16);
std::string Utf8(const wchar_t* utf16);  // a terminated string; empty for null
