// The show's outline font for tests: the copy beside the build's show (QUARNEL_BUILD_DIR/show/meshes, which
// the Windows build has too), else the system's copy from fonts-aenigma.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

inline std::string ShowFontFile()
{
    const char* build = std::getenv("QUARNEL_BUILD_DIR");
    if (build) {
        const std::filesystem::path copy =
            std::filesystem::path(build) / "show" / "meshes" / "Acknowledge_TT_BRK.ttf";
        std::error_code ec;
        if (std::filesystem::is_regular_file(copy, ec)) return copy.string();
    }
    return "/usr/share/fonts/truetype/aenigma/acknowtt.ttf";
}
