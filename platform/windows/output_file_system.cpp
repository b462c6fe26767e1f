// The output-file writer's questions answered by Windows' own calls (see output_file_system.h): paths go to
// the system as UTF-16.
#include "platform/output_file_system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/windows/utf16.h"

extern const char kSeparators[] = "/\\";

std::string SystemWords(int code)
{
    return std::strerror(code);
}

namespace {

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

}  // namespace

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
        CreateFileW(Utf16(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
    const std::wstring wide = Utf16(path);
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
    target = Utf8(final);
    return true;
}

namespace {

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

}  // namespace

// A new, empty file `name` that did not exist. Windows files carry no permission bits: a replaced file's
// attributes are its own. Null with `taken` when the name exists already, else null with the cause.
std::FILE* CreateNewFile(const std::string& name, bool, unsigned, bool& taken, std::string& error)
{
    // Shared for writing: a library may write the file under its name (FFmpeg opens the video by name).
    const HANDLE h = CreateFileW(Utf16(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        taken = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        error = WindowsWords(code);
        return nullptr;
    }
    taken = false;
    std::FILE* stream = StreamOver(h, error);
    if (!stream) DeleteFileW(Utf16(name).c_str());
    return stream;
}

// The character device or pipe at `path`, opened for writing where it is.
std::FILE* OpenInPlace(const std::string& path, std::string& error)
{
    const HANDLE h = CreateFileW(Utf16(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
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

bool MoveFileOver(const std::string& from, const std::string& to, std::string& error)
{
    if (MoveFileExW(Utf16(from).c_str(), Utf16(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = WindowsWords(GetLastError());
    return false;
}

void RemoveFile(const std::string& name)
{
    DeleteFileW(Utf16(name).c_str());
}

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Utf16(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void RemoveFileNow(const char* name)
{
    _unlink(name);
}
