// The one reader of input files (see input_file.h). The file is opened without waiting (a pipe with no
// writer would block the open itself), then asked what it is before a byte is read. The system's calls
// are in input_file_system.h, with POSIX's in posix/ and Windows' own in windows/.
#include "platform/input_file.h"

#include <cstdio>

#include "platform/input_file_system.h"

namespace {

constexpr size_t kReadPiece = 65536;  // bytes asked for at a time past the size the system gave

// Opens `path` and checks what it is; the descriptor, or -1 with the cause in `error`.
int OpenChecked(const std::string& path, size_t largest, long long& size, std::string& error)
{
    bool folder = false;
    const int fd = OpenInput(path, folder, error);
    if (fd < 0) {
        if (folder) error = "it is a folder, not a regular file";
        return -1;
    }
    InputKind kind = InputKind::Other;
    if (!DescribeInput(fd, kind, size, error)) {
        CloseInput(fd);
        return -1;
    }
    if (kind != InputKind::Regular) {
        error = kind == InputKind::Folder ? "it is a folder, not a regular file" : "not a regular file";
        CloseInput(fd);
        return -1;
    }
    if (size < 0 || static_cast<unsigned long long>(size) > largest) {
        error = "larger than " + SizeInWords(largest);
        CloseInput(fd);
        return -1;
    }
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
    CloseInput(fd);
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
            bytes.resize(bytes.size() + kReadPiece < largest + 1 ? bytes.size() + kReadPiece : largest + 1);
        }
        const long long n = ReadInput(fd, bytes.data() + got, bytes.size() - got, error);
        if (n < 0) {
            CloseInput(fd);
            bytes.clear();
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    CloseInput(fd);
    if (got > largest) {
        error = "larger than " + SizeInWords(largest);
        bytes.clear();
        return false;
    }
    bytes.resize(got);
    return true;
}
