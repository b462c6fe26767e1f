// The show with a pad plugged in: a virtual pad (SDL's virtual joystick) holding the named buttons from
// the start, then the show as the command line asks. At exit it writes where the player ended to standard
// error ("pad harness: inside_sea=0 player=x,y frames=N"), for tests/e2e/pad_e2e.py.
//   pad_show_harness BUTTON[,BUTTON...] SHOW_OPTIONS...     buttons by SDL's names: dpadup, b, start ...
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "runtime/frame_driver.h"
#include "scene/demo_scene.h"
#include "shell/command_line.h"
#include "shell/data_folder.h"
#include "shell/program_entry.h"

namespace {

void ReportPlayer()
{
    const DemoScene* scene = gSceneTable[0];
    if (!scene) return;
    std::fprintf(stderr, "pad harness: inside_sea=%d player=%.3f,%.3f frames=%d\n", scene->insideSea ? 1 : 0,
                 scene->player.x, scene->player.y, scene->frameCount);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: pad_show_harness BUTTON[,BUTTON...] SHOW_OPTIONS...\n");
        return 2;
    }
    if (SDL_Init(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "pad harness: %s\n", SDL_GetError());
        return 1;
    }
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.name = "Virtual test pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    SDL_Joystick* pad = index < 0 ? nullptr : SDL_JoystickOpen(index);
    if (!pad) {
        std::fprintf(stderr, "pad harness: no virtual pad: %s\n", SDL_GetError());
        return 1;
    }
    std::string buttons = argv[1];
    for (size_t at = 0; at <= buttons.size();) {
        const size_t end =
            buttons.find(',', at) == std::string::npos ? buttons.size() : buttons.find(',', at);
        const std::string name = buttons.substr(at, end - at);
        at = end + 1;
        if (name.empty()) continue;
        const SDL_GameControllerButton button = SDL_GameControllerGetButtonFromString(name.c_str());
        if (button == SDL_CONTROLLER_BUTTON_INVALID) {
            std::fprintf(stderr, "pad harness: no button \"%s\"\n", name.c_str());
            return 2;
        }
        SDL_JoystickSetVirtualButton(pad, button, 1);
    }

    argv[1] = argv[0];  // the show's command line is the rest
    CommandLine options;
    std::string error;
    if (ParseCommandLine(argc - 1, argv + 1, options, error) != ParseResult::Ok) {
        std::fprintf(stderr, "pad harness: %s\n", error.c_str());
        return 2;
    }
    std::filesystem::path startFolder;
    if (!EnterDataFolderOfThisProcess(argv[0], startFolder, error)) {
        std::fprintf(stderr, "pad harness: %s\n", error.c_str());
        return 1;
    }
    options.screenshot = ResolveFromStartFolder(startFolder, options.screenshot);
    std::atexit(ReportPlayer);  // the show ends with exit() when Escape's fade is done
    return quarnel::WinMain(options);
}
