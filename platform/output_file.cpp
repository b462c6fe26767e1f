// The one writer (see output_file.h). The rules are written once, here, over a few small helpers that ask
// the system (what stands at a name, where a link leads, a new file, a rename): output_file_system.h, with
// POSIX's calls in posix/ and Windows' own (CreateFileW, GetFileType, MoveFileExW) in windows/.
#include "platform/output_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>
#include <vector>

#include "platform/output_file_system.h"

namespace {

constexpr size_t kLongestName = 255;  // bytes of one name in a folder
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
        if (slotUsed[i]) RemoveFileNow(slotNames[i]);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

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
        if (cause.empty()) MoveFileOver(file.writePath, file.targetPath, cause);
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
