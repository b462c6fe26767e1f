// Finding the folder that holds the show's data (textures/, cgeffects/, meshes/, music/), so that an
// installed program started from anywhere loads the same files as one started in its build folder.
// Depends on the standard library (std::filesystem) and the platform's name of the running program.
#pragma once
#include <filesystem>
#include <string>

// The four folders every path the show opens starts with.
extern const char* const kDataSubfolders[4];

// The environment variable that names the data folder outright.
constexpr const char* kDataFolderVariable = "QUARNEL_DATA_DIR";

struct DataFolderSearch {
    std::filesystem::path folder;  // where to work; empty when nothing fits
    std::string note;              // a warning (with a folder) or the whole error (without); may be empty
};

// The search, with the places given. In order:
// 1. `variable` (the value of QUARNEL_DATA_DIR, null or empty when unset) names the folder outright; it
//    must be a folder, and the folders it lacks are only noted, since the show names what it misses.
// 2. The first of the working directory, the executable's folder and `installedData` relative to the
//    executable's folder that holds all four folders.
// 3. Failing that, the working directory when it holds some of them: the show, started where it always
//    was, reports the missing file itself.
// Otherwise no folder, and the note names every place looked in and what each one lacks.
DataFolderSearch FindDataFolder(const std::filesystem::path& workingDirectory,
                                const std::filesystem::path& executableFolder, const char* variable,
                                const std::filesystem::path& installedData);

// The search for this process (its working directory, its executable as the system names it or argv0,
// QUARNEL_DATA_DIR and the installed layout the build was configured with), a warning on standard error
// when there is one, and the change into the folder found. `startFolder` receives the working directory
// as it was, against which relative paths of the command line are resolved. False with the message for
// the user in `error` when no folder fits or the change fails.
bool EnterDataFolderOfThisProcess(const char* argv0, std::filesystem::path& startFolder, std::string& error);

// `path` made absolute against `startFolder` when it is relative (empty stays empty).
std::string ResolveFromStartFolder(const std::filesystem::path& startFolder, const std::string& path);
