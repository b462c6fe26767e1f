// The output-file writer's questions answered by POSIX (see output_file_system.h).
#include "platform/output_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

extern const char kSeparators[] = "/";

std::string SystemWords(int code)
{
    return std::strerror(code);
}

// What stands at `path`, its links followed (a dangling link is Missing), and the permission bits of a file.
bool ClassifyPath(const std::string& path, PathKind& kind, unsigned& mode, std::string& error)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            error = SystemWords(errno);
            return false;
        }
        kind = PathKind::Missing;
        return true;
    }
    mode = st.st_mode & 07777;
    kind = S_ISREG(st.st_mode)    ? PathKind::Regular
           : S_ISDIR(st.st_mode)  ? PathKind::Directory
           : S_ISCHR(st.st_mode)  ? PathKind::CharacterDevice
           : S_ISFIFO(st.st_mode) ? PathKind::Pipe
           : S_ISBLK(st.st_mode)  ? PathKind::BlockDevice
           : S_ISSOCK(st.st_mode) ? PathKind::Socket
                                  : PathKind::Other;
    return true;
}

// The name at the end of `path`'s chain of links: the first that is not a link, or does not exist. A
// relative target counts from the folder of its link, as the system reads it (no ".." is folded away).
bool ResolveLinks(const std::string& path, std::string& target, std::string& error)
{
    target = path;
    for (int hop = 0; hop <= kMostLinks; ++hop) {
        struct stat st {};
        if (lstat(target.c_str(), &st) != 0) {
            if (errno == ENOENT) return true;  // a dangling link creates its target
            error = SystemWords(errno);
            return false;
        }
        if (!S_ISLNK(st.st_mode)) return true;
        // A link's size is its target's length (0 for the system's own links, such as /dev/stdout's).
        std::vector<char> link(std::max<size_t>(static_cast<size_t>(st.st_size), kLongestPath) + 1);
        const ssize_t length = readlink(target.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<size_t>(length) == link.size()) {
            error = SystemWords(length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::string next(link.data(), static_cast<size_t>(length));
        if (next.empty() || next[0] == '/') {
            target = next;
        } else {
            const size_t slash = target.rfind('/');
            target.erase(slash == std::string::npos ? 0 : slash + 1);  // keep the link's folder
            target += next;
        }
    }
    error = SystemWords(ELOOP);
    return false;
}

// A new, empty file `name` that did not exist, with the permissions of a plain create, or `mode` when
// `keepMode`. Null with `taken` when the name exists already, else null with the cause in `error`.
std::FILE* CreateNewFile(const std::string& name, bool keepMode, unsigned mode, bool& taken,
                         std::string& error)
{
    taken = false;
    // Created with 0666, the system takes off the umask (and applies a folder's default ACL).
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, keepMode ? 0600 : 0666);
    if (fd < 0) {
        taken = errno == EEXIST;
        error = SystemWords(errno);
        return nullptr;
    }
    std::FILE* stream = nullptr;
    if (!keepMode || fchmod(fd, mode) == 0) stream = fdopen(fd, "wb");
    if (stream) return stream;
    error = SystemWords(errno);
    close(fd);
    unlink(name.c_str());
    return nullptr;
}

// The character device or pipe at `path`, opened for writing where it is.
std::FILE* OpenInPlace(const std::string& path, std::string& error)
{
    const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        error = SystemWords(errno);
        if (fd >= 0) close(fd);
        return nullptr;
    }
    if (!S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode)) {
        close(fd);
        error = "it was replaced while it was being opened";
        return nullptr;
    }
    // A reader that goes away makes the next write fail (EPIPE) instead of ending the process unheard.
    if (S_ISFIFO(st.st_mode)) std::signal(SIGPIPE, SIG_IGN);
    std::FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        error = SystemWords(errno);
        close(fd);
    }
    return stream;
}

bool MoveFileOver(const std::string& from, const std::string& to, std::string& error)
{
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    error = SystemWords(errno);
    return false;
}

void RemoveFile(const std::string& name)
{
    unlink(name.c_str());
}

long long FileSize(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

void RemoveFileNow(const char* name)
{
    unlink(name);
}
