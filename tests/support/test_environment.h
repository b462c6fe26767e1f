// Setting and clearing an environment variable from a test, on POSIX systems and on Windows alike.
#pragma once
#include <cstdlib>

// Sets `name` to `value`, or removes it when `value` is null.
inline void SetTestVariable(const char* name, const char* value)
{
#ifdef _WIN32
    _putenv_s(name, value ? value : "");  // an empty value removes the variable on Windows
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}
