// POSIX's file names are bytes, and the program's are UTF-8: nothing to convert (see path.h).
#include "platform/path.h"

#include <cstdlib>

std::filesystem::path PathFromUtf8(const std::string& utf8)
{
    return std::filesystem::path(utf8);
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    return path.string();
}

std::FILE* OpenFileUtf8(const std::string& utf8, const char* mode)
{
    return std::fopen(utf8.c_str(), mode);
}

bool EnvironmentUtf8(const char* name, std::string& value)
{
    const char* text = std::getenv(name);
    if (!text) return false;
    value = text;
    return true;
}
