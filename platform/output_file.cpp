// Temporary file, then rename (see output_file.h).
#include "platform/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

bool PrepareOutputFile(const std::string& path, OutputFile& file, std::string& error)
{
    file = OutputFile{};
    file.path = path;
    if (path.empty()) {
        error = "no file name";
        return false;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = "it is a directory";
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            // A device or a pipe cannot be renamed over (and must not be replaced): write to it directly.
            if (access(path.c_str(), W_OK) != 0) {
                error = std::strerror(errno);
                return false;
            }
            file.writePath = path;
            file.direct = true;
            file.open = true;
            return true;
        }
    }
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".part-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the terminating zero
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    fchmod(
        fd, 0644 & ~[] {
            const mode_t mask = umask(0);
            umask(mask);
            return mask;
        }());
    close(fd);
    file.writePath = name.data();
    file.open = true;
    return true;
}

bool CommitOutputFile(OutputFile& file, std::string& error)
{
    if (!file.open) {
        error = "nothing to commit";
        return false;
    }
    file.open = false;
    if (file.direct) return true;
    if (std::rename(file.writePath.c_str(), file.path.c_str()) != 0) {
        error = std::strerror(errno);
        std::remove(file.writePath.c_str());
        return false;
    }
    return true;
}

void DiscardOutputFile(OutputFile& file)
{
    if (!file.open) return;
    file.open = false;
    if (!file.direct) std::remove(file.writePath.c_str());
}

long long OutputFileSize(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}
