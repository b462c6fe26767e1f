// Finding the show's data folder (see data_folder.h).
#include "shell/data_folder.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/path.h"
#include "platform/process.h"

// Where an installation keeps the data, relative to the folder of the executable; the build passes the
// value of its install layout.
#ifndef QUARNEL_INSTALLED_DATA_DIR
#define QUARNEL_INSTALLED_DATA_DIR "../share/quarnel"
#endif

namespace fs = std::filesystem;

const char* const kDataSubfolders[4] = {"textures", "cgeffects", "meshes", "music"};

namespace {

bool IsFolder(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// The four folders the place lacks (all four when the place itself is no folder).
std::vector<std::string> Missing(const fs::path& place)
{
    std::vector<std::string> missing;
    for (const char* name : kDataSubfolders)
        if (!IsFolder(place / name)) missing.push_back(std::string(name) + "/");
    return missing;
}

std::string Lacks(const fs::path& place)
{
    if (!IsFolder(place)) return "no such folder";
    const std::vector<std::string> missing = Missing(place);
    if (missing.size() == 4) return "none of them";
    std::string text = "no ";
    for (size_t i = 0; i < missing.size(); ++i) text += (i ? ", " : "") + missing[i];
    return text;
}

bool SamePlace(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec) || a.lexically_normal() == b.lexically_normal();
}

}  // namespace

DataFolderSearch FindDataFolder(const fs::path& workingDirectory, const fs::path& executableFolder,
                                const char* variable, const fs::path& installedData)
{
    DataFolderSearch result;
    if (variable && *variable) {
        const fs::path named = PathFromUtf8(variable).is_relative()
                                   ? workingDirectory / PathFromUtf8(variable)
                                   : PathFromUtf8(variable);
        if (!IsFolder(named)) {
            result.note = std::string(kDataFolderVariable) + " names " + Utf8FromPath(named) +
                          ", which is not a folder. It should name the folder that holds textures/, "
                          "cgeffects/, meshes/ and music/.";
            return result;
        }
        result.folder = named;
        if (!Missing(named).empty())
            result.note = std::string(kDataFolderVariable) + " names " + Utf8FromPath(named) +
                          ", which has " + Lacks(named) + ".";
        return result;
    }

    struct Place {
        fs::path path;
        const char* what;
    };
    std::vector<Place> places{{workingDirectory, "the working directory"}};
    if (!executableFolder.empty()) {
        places.push_back({executableFolder, "beside the program"});
        places.push_back({(executableFolder / installedData).lexically_normal(), "the installed data"});
    }
    std::vector<Place> distinct;
    for (const Place& place : places) {
        bool seen = false;
        for (const Place& earlier : distinct) seen = seen || SamePlace(earlier.path, place.path);
        if (!seen) distinct.push_back(place);
    }

    for (const Place& place : distinct) {
        if (IsFolder(place.path) && Missing(place.path).empty()) {
            result.folder = place.path;
            return result;
        }
    }

    std::string looked;
    for (const Place& place : distinct)
        looked += "\n  " + Utf8FromPath(place.path) + " (" + place.what + "): " + Lacks(place.path);
    if (Missing(workingDirectory).size() < 4) {
        result.folder = workingDirectory;
        result.note =
            "no folder holds all of textures/, cgeffects/, meshes/ and music/; staying in the working "
            "directory, which holds some of them. Looked in:" +
            looked;
        return result;
    }
    result.note =
        "The show's data was not found: it needs the folders textures/, cgeffects/, meshes/ and "
        "music/ together in one folder. Looked in:" +
        looked + "\nInstall the show, or set " + kDataFolderVariable + " to the folder that holds them.";
    return result;
}

bool EnterDataFolderOfThisProcess(const char* argv0, fs::path& startFolder, std::string& error)
{
    std::error_code ec;
    startFolder = fs::current_path(ec);
    if (ec) {
        error = "The working directory cannot be read: " + ec.message();
        return false;
    }
    const fs::path executableFolder = ThisProgramFile(argv0).parent_path();

    std::string named;
    const bool isSet = EnvironmentUtf8(kDataFolderVariable, named);
    const DataFolderSearch search = FindDataFolder(
        startFolder, executableFolder, isSet ? named.c_str() : nullptr, QUARNEL_INSTALLED_DATA_DIR);
    if (search.folder.empty()) {
        error = search.note;
        return false;
    }
    if (!search.note.empty()) std::fprintf(stderr, "quarnel: %s\n", search.note.c_str());
    fs::current_path(search.folder, ec);
    if (ec) {
        error = "Cannot change into the data folder " + Utf8FromPath(search.folder) + ": " + ec.message();
        return false;
    }
    return true;
}

std::string ResolveFromStartFolder(const fs::path& startFolder, const std::string& path)
{
    if (path.empty() || PathFromUtf8(path).is_absolute()) return path;
    return Utf8FromPath(startFolder / PathFromUtf8(path));
}
