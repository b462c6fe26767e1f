// The input-file reader's calls on POSIX (see input_file_system.h); a page's file system answers the same.
#include "platform/input_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int OpenInput(const std::string& path, bool& folder, std::string& error)
{
    folder = false;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) error = std::strerror(errno);
    return fd;
}

bool DescribeInput(int fd, InputKind& kind, long long& size, std::string& error)
{
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    kind = S_ISREG(st.st_mode)   ? InputKind::Regular
           : S_ISDIR(st.st_mode) ? InputKind::Folder
                                 : InputKind::Other;
    size = static_cast<long long>(st.st_size);
    return true;
}

long long ReadInput(int fd, unsigned char* to, size_t n, std::string& error)
{
    for (;;) {
        const ssize_t got = read(fd, to, n);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        error = std::strerror(errno);
        return -1;
    }
}

void CloseInput(int fd)
{
    close(fd);
}
