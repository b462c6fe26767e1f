// The one writer (see output_file.h). The rules are written once, over a few small helpers that ask the
// system (what stands at a name, where a link leads, a temporary file, a rename): POSIX here.
#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>
#include <vector>

namespace {

enum class PathKind { Missing, Regular, Directory, CharacterDevice, Pipe, BlockDevice, Socket, Other };

constexpr int kMostLinks = 40;         // links followed in a row, as the kernel's own limit
constexpr size_t kLongestName = 255;   // bytes of one name in a folder
constexpr size_t kLongestPath = 4095;  // bytes of a link's target that are read
constexpr char kTemporaryMark[] = ".part-";
constexpr int kRandomLetters = 6;
constexpr int kTemporaryAttempts = 100;

// ----------------------------------------------------------------------------------------------------------
// Temporary files to remove on an interrupt. The signal handler reads these, so they are plain arrays.

constexpr int kInterruptSlots = 8;
constexpr size_t kSlotBytes = 4096;
char slotNames[kInterruptSlots][kSlotBytes];
volatile std::sig_atomic_t slotUsed[kInterruptSlots];

void RememberTemporary(const std::string& name)
{
    if (name.size() >= kSlotBytes) return;
    for (int i = 0; i < kInterruptSlots; ++i) {
        if (slotUsed[i]) continue;
        std::memcpy(slotNames[i], name.c_str(), name.size() + 1);
        slotUsed[i] = 1;
        return;
    }
}

void ForgetTemporary(const std::string& name)
{
    for (int i = 0; i < kInterruptSlots; ++i)
        if (slotUsed[i] && name == slotNames[i]) slotUsed[i] = 0;
}

void RemoveTemporariesAndEnd(int signal)
{
    for (int i = 0; i < kInterruptSlots; ++i)
        if (slotUsed[i]) unlink(slotNames[i]);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// ----------------------------------------------------------------------------------------------------------
// System calls

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

// A new, empty file beside `target` (in its folder, named after it) with the permissions of a plain create,
// or `mode` when `keepMode`. Null with the cause in `error`.
std::FILE* MakeTemporary(const std::string& target, bool keepMode, unsigned mode, std::string& name,
                         std::string& error)
{
    static std::mt19937_64 random{std::random_device{}()};
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = target.substr(folder.size());
    const size_t room = kLongestName - (sizeof kTemporaryMark - 1) - kRandomLetters;
    if (base.size() > room) base.resize(room);
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        name = folder + base + kTemporaryMark;
        for (int i = 0; i < kRandomLetters; ++i) name += letters[random() % (sizeof letters - 1)];
        RememberTemporary(name);
        // Created with 0666, the system takes off the umask (and applies a folder's default ACL).
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, keepMode ? 0600 : 0666);
        if (fd < 0) {
            const int code = errno;
            ForgetTemporary(name);
            if (code == EEXIST) continue;
            error = SystemWords(code);
            return nullptr;
        }
        std::FILE* stream = nullptr;
        if (!keepMode || fchmod(fd, mode) == 0) stream = fdopen(fd, "wb");
        if (stream) return stream;
        error = SystemWords(errno);
        close(fd);
        unlink(name.c_str());
        ForgetTemporary(name);
        return nullptr;
    }
    error = SystemWords(EEXIST);
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

bool ReplaceFile(const std::string& from, const std::string& to, std::string& error)
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

// ----------------------------------------------------------------------------------------------------------
// The rules

// Why a kind of file is not written, or null when it is.
const char* Refusal(PathKind kind)
{
    switch (kind) {
        case PathKind::Directory:
            return "it is a directory";
        case PathKind::BlockDevice:
            return "it is a block device (only files, character devices and pipes are written)";
        case PathKind::Socket:
            return "it is a socket (only files, character devices and pipes are written)";
        case PathKind::Other:
            return "it is neither a file nor a character device nor a pipe";
        default:
            return nullptr;
    }
}

// Flushes and closes the stream: empty, or the cause of the first failure.
std::string CloseStream(OutputFile& file)
{
    if (!file.stream) return {};
    errno = 0;
    bool ok = std::fflush(file.stream) == 0 && !std::ferror(file.stream);
    int code = errno;
    if (std::fclose(file.stream) != 0 && ok) {
        ok = false;
        code = errno;
    }
    file.stream = nullptr;
    if (ok) return {};
    return code ? SystemWords(code) : "a write failed";
}

}  // namespace

bool OpenOutputFile(const std::string& path, OutputFile& file, std::string& error)
{
    file = OutputFile{};
    file.path = path;
    if (path.empty()) {
        error = "no file name";
        return false;
    }
    PathKind kind = PathKind::Missing;
    unsigned mode = 0;
    if (!ClassifyPath(path, kind, mode, error)) return false;
    if (const char* refusal = Refusal(kind)) {
        error = refusal;
        return false;
    }
    if (kind == PathKind::CharacterDevice || kind == PathKind::Pipe) {
        // Renaming over it would replace the device or pipe itself (and leave a pipe's reader waiting).
        file.targetPath = file.writePath = path;
        file.inPlace = true;
        file.stream = OpenInPlace(path, error);
    } else if (ResolveLinks(path, file.targetPath, error)) {
        file.stream = MakeTemporary(file.targetPath, kind == PathKind::Regular, mode, file.writePath, error);
    }
    file.open = file.stream != nullptr;
    return file.open;
}

bool CommitOutputFile(OutputFile& file, std::string& error)
{
    if (!file.open) {
        error = "it is not open";
        return false;
    }
    file.open = false;
    std::string cause = CloseStream(file);
    if (!file.inPlace) {
        if (cause.empty()) ReplaceFile(file.writePath, file.targetPath, cause);
        if (!cause.empty()) RemoveFile(file.writePath);
        ForgetTemporary(file.writePath);
    }
    if (cause.empty()) return true;
    error = cause;
    return false;
}

void DiscardOutputFile(OutputFile& file)
{
    if (!file.open) return;
    file.open = false;
    if (file.stream) std::fclose(file.stream);
    file.stream = nullptr;
    if (file.inPlace) return;
    RemoveFile(file.writePath);
    ForgetTemporary(file.writePath);
}

int OutputFileDescriptor(const OutputFile& file)
{
    return file.stream ? fileno(file.stream) : -1;
}

long long OutputFileSize(const OutputFile& file)
{
    return file.inPlace ? -1 : FileSize(file.targetPath);
}

void RemoveOutputFilesOnInterrupt()
{
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, RemoveTemporariesAndEnd);
}
