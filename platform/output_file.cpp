// The one writer (see output_file.h). The rules are written once, over a few small helpers that ask the
// system (what stands at a name, where a link leads, a new file, a rename): POSIX, and Windows' own calls
// (CreateFileW, GetFileType, MoveFileExW) when built for Windows.
#include "platform/output_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
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

#ifdef _WIN32

constexpr char kSeparators[] = "/\\";

std::wstring Wide(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n) - 1);
    return wide;
}

std::string Narrow(const std::wstring& wide)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(n) - 1);
    return utf8;
}

std::string SystemWords(int code)
{
    return std::strerror(code);
}

// The system's words for one of its error codes (GetLastError), without the line break it ends them with.
std::string WindowsWords(DWORD code)
{
    char* text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string words = text ? text : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.'))
        words.pop_back();
    return words;
}

bool IsPipeName(const std::string& path)
{
    if (path.size() < 9) return false;
    std::string head = path.substr(0, 9);
    for (char& c : head) c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return head == "\\\\.\\pipe\\";
}

bool NotFound(DWORD code)
{
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// What stands at `path`, its links followed. A device ("NUL", "CON", "\\.\COM1") answers as a character
// device and a named pipe as a pipe, whatever the disk holds; files have no permission bits to keep here.
bool ClassifyPath(const std::string& path, PathKind& kind, unsigned& mode, std::string& error)
{
    mode = 0;
    // Opening a named pipe to look at it would take the connection its reader waits for: known by its name.
    if (IsPipeName(path)) {
        kind = PathKind::Pipe;
        return true;
    }
    const HANDLE h =
        CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (NotFound(code)) {
            kind = PathKind::Missing;
            return true;
        }
        error = WindowsWords(code);
        return false;
    }
    const DWORD type = GetFileType(h);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = type == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (type == FILE_TYPE_CHAR)
        kind = PathKind::CharacterDevice;
    else if (type == FILE_TYPE_PIPE)
        kind = PathKind::Pipe;
    else if (known)
        kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::Regular;
    else
        kind = PathKind::Other;
    return true;
}

// The file at the end of `path`'s links: the system resolves the whole chain when the file is opened. A name
// that does not exist is its own target; a link whose target cannot be reached is refused, so that the link
// is never replaced by a file.
bool ResolveLinks(const std::string& path, std::string& target, std::string& error)
{
    target = path;
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    const HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = "it is a link whose target cannot be reached: " + WindowsWords(GetLastError());
        return false;
    }
    std::wstring final(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    const DWORD code = GetLastError();
    CloseHandle(h);
    if (n == 0 || n >= final.size()) {
        error = WindowsWords(code);
        return false;
    }
    final.resize(n);
    target = Narrow(final);
    return true;
}

// A C stream over a handle opened for writing; the stream owns the handle from then on.
std::FILE* StreamOver(HANDLE h, std::string& error)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        error = SystemWords(errno);
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "wb");
    if (!stream) {
        error = SystemWords(errno);
        _close(fd);
    }
    return stream;
}

// A new, empty file `name` that did not exist. Windows files carry no permission bits: a replaced file's
// attributes are its own. Null with `taken` when the name exists already, else null with the cause.
std::FILE* CreateNewFile(const std::string& name, bool, unsigned, bool& taken, std::string& error)
{
    // Shared for writing: a library may write the file under its name (FFmpeg opens the video by name).
    const HANDLE h = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        taken = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        error = WindowsWords(code);
        return nullptr;
    }
    taken = false;
    std::FILE* stream = StreamOver(h, error);
    if (!stream) DeleteFileW(Wide(name).c_str());
    return stream;
}

// The character device or pipe at `path`, opened for writing where it is.
std::FILE* OpenInPlace(const std::string& path, std::string& error)
{
    const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = WindowsWords(GetLastError());
        return nullptr;
    }
    const DWORD type = GetFileType(h);
    if (type != FILE_TYPE_CHAR && type != FILE_TYPE_PIPE) {
        CloseHandle(h);
        error = "it was replaced while it was being opened";
        return nullptr;
    }
    return StreamOver(h, error);
}

bool ReplaceFile(const std::string& from, const std::string& to, std::string& error)
{
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = WindowsWords(GetLastError());
    return false;
}

void RemoveFile(const std::string& name)
{
    DeleteFileW(Wide(name).c_str());
}

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

#else

constexpr char kSeparators[] = "/";

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

#endif  // _WIN32

// A new, empty file beside `target` (in its folder, named after it) with the permissions of a plain create,
// or `mode` when `keepMode`. Null with the cause in `error`.
std::FILE* MakeTemporary(const std::string& target, bool keepMode, unsigned mode, std::string& name,
                         std::string& error)
{
    static std::mt19937_64 random{std::random_device{}()};
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const size_t slash = target.find_last_of(kSeparators);
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = target.substr(folder.size());
    const size_t room = kLongestName - (sizeof kTemporaryMark - 1) - kRandomLetters;
    if (base.size() > room) base.resize(room);
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        name = folder + base + kTemporaryMark;
        for (int i = 0; i < kRandomLetters; ++i) name += letters[random() % (sizeof letters - 1)];
        RememberTemporary(name);
        bool taken = false;
        std::FILE* stream = CreateNewFile(name, keepMode, mode, taken, error);
        if (stream) return stream;
        ForgetTemporary(name);
        if (!taken) return nullptr;
    }
    error = "no free temporary name beside it";
    return nullptr;
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
    for (int signal : {SIGINT, SIGTERM}) std::signal(signal, RemoveTemporariesAndEnd);
#ifdef SIGHUP
    std::signal(SIGHUP, RemoveTemporariesAndEnd);
#endif
}
