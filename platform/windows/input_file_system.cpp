// The input-file reader's calls on Windows (see input_file_system.h): the C runtime's descriptors, opened
// by a UTF-16 name.
#include "platform/input_file_system.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/windows/utf16.h"

int OpenInput(const std::string& path, bool& folder, std::string& error)
{
    folder = false;
    const std::wstring name = Utf16(path);
    const int fd = _wopen(name.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd >= 0) return fd;
    error = std::strerror(errno);
    // The runtime refuses a folder as "Permission denied"; say what it is.
    const DWORD attributes = GetFileAttributesW(name.c_str());
    folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return -1;
}

bool DescribeInput(int fd, InputKind& kind, long long& size, std::string& error)
{
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    const auto type = st.st_mode & _S_IFMT;
    kind = type == _S_IFREG ? InputKind::Regular : type == _S_IFDIR ? InputKind::Folder : InputKind::Other;
    size = static_cast<long long>(st.st_size);
    return true;
}

long long ReadInput(int fd, unsigned char* to, size_t n, std::string& error)
{
    const unsigned count = n > INT_MAX ? INT_MAX : static_cast<unsigned>(n);
    const int got = _read(fd, to, count);
    if (got < 0) error = std::strerror(errno);
    return got;
}

void CloseInput(int fd)
{
    _close(fd);
}
