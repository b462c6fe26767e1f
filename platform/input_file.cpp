// The one reader of input files (see input_file.h). The file is opened without waiting (a pipe with no
// writer would block the open itself), then asked what it is before a byte is read.
#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
constexpr int kOpenFlags = O_RDONLY | O_BINARY;
using FileStat = struct _stat64;
int StatOf(int fd, FileStat* st)
{
    return _fstat64(fd, st);
}
int ReadSome(int fd, unsigned char* to, size_t n)
{
    return _read(fd, to, static_cast<unsigned>(n));
}
int CloseFile(int fd)
{
    return _close(fd);
}
int OpenFile(const std::string& path)
{
    return _open(path.c_str(), kOpenFlags);
}
#else
using FileStat = struct stat;
int StatOf(int fd, FileStat* st)
{
    return fstat(fd, st);
}
ssize_t ReadSome(int fd, unsigned char* to, size_t n)
{
    return read(fd, to, n);
}
int CloseFile(int fd)
{
    return close(fd);
}
int OpenFile(const std::string& path)
{
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}
#endif

// Opens `path` and checks what it is; the descriptor, or -1 with the cause in `error`.
int OpenChecked(const std::string& path, size_t largest, long long& size, std::string& error)
{
    const int fd = OpenFile(path);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    FileStat st{};
    if (StatOf(fd, &st) != 0) {
        error = std::strerror(errno);
        CloseFile(fd);
        return -1;
    }
    if ((st.st_mode & S_IFMT) != S_IFREG) {
        error =
            (st.st_mode & S_IFMT) == S_IFDIR ? "it is a folder, not a regular file" : "not a regular file";
        CloseFile(fd);
        return -1;
    }
    if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > largest) {
        error = "larger than " + SizeInWords(largest);
        CloseFile(fd);
        return -1;
    }
    size = static_cast<long long>(st.st_size);
    return fd;
}

}  // namespace

std::string SizeInWords(size_t bytes)
{
    char text[32];
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        std::snprintf(text, sizeof text, "%zu MB", bytes >> 20);
    else if (bytes >= 1024 && bytes % 1024 == 0)
        std::snprintf(text, sizeof text, "%zu kB", bytes >> 10);
    else
        std::snprintf(text, sizeof text, "%zu bytes", bytes);
    return text;
}

bool CheckInputFile(const std::string& path, size_t largest, std::string& error)
{
    long long size = 0;
    const int fd = OpenChecked(path, largest, size, error);
    if (fd < 0) return false;
    CloseFile(fd);
    return true;
}

bool ReadInputFile(const std::string& path, size_t largest, std::vector<unsigned char>& bytes,
                   std::string& error)
{
    bytes.clear();
    long long size = 0;
    const int fd = OpenChecked(path, largest, size, error);
    if (fd < 0) return false;
    // The size the system gave, and one byte more to see a file that grew since; never past the cap.
    bytes.resize(static_cast<size_t>(size) + 1);
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > largest) break;
            bytes.resize(bytes.size() + 65536 < largest + 1 ? bytes.size() + 65536 : largest + 1);
        }
        const auto n = ReadSome(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            CloseFile(fd);
            bytes.clear();
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    CloseFile(fd);
    if (got > largest) {
        error = "larger than " + SizeInWords(largest);
        bytes.clear();
        return false;
    }
    bytes.resize(got);
    return true;
}
