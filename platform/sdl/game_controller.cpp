// Pads and touch screens as keys and pointer moves (see game_controller.h). Every input that stands for
// a key keeps its own held state; the messages follow the union of them all, so a key goes down when the
// first of them holds it and up when the last lets go.
#include "platform/sdl/game_controller.h"

#include <cmath>

#include "platform/sdl/sdl_window.h"
#include "platform/touch_steering.h"
#include "platform/windows_names.h"

namespace {

// Left stick: a direction is pressed past half deflection and released below 40%, so that a stick held
// near the threshold does not chatter.
constexpr int kStickPress = 16384;
constexpr int kStickRelease = 13107;
// Right stick: nothing within 20% of the centre; beyond it the pointer speeds up in proportion, to a
// window's width a second at full deflection.
constexpr int kCameraDeadZone = 6554;
constexpr double kPointerPixelsPerSecond = 800.0;
constexpr double kPointerStepSeconds = 1.0 / 120.0;  // at most one pointer move per this
constexpr double kPointerLongestStep = 0.1;          // a stalled frame does not throw the pointer across
// A finger this close to the player's place (in fractions of the picture) steers neither way.
constexpr double kTouchBand = 0.04;
// Our own pointer moves carry this mouse id, to tell them from SDL's moves and from those SDL makes up
// from touches (SDL_TOUCH_MOUSEID, 0xFFFFFFFF).
constexpr Uint32 kControllerMouseId = 0xFFFFFFFEu;

enum Direction { kLeft, kRight, kUp, kDown, kDirections };
constexpr int kDirectionKey[kDirections] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};

struct Pad {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
    bool dpad[kDirections] = {};
    bool stick[kDirections] = {};
    int rightX = 0, rightY = 0;
    bool b = false, back = false, a = false, start = false;
};
constexpr int kMaxPads = 4;  // more are left alone
Pad pads[kMaxPads];

struct Finger {
    bool down = false;
    SDL_FingerID id = 0;
    double x = 0.0, y = 0.0;  // fractions of the picture (beyond 0 ... 1 over the bars beside it)
};
Finger steeringFinger, cameraFinger;
double centreX = 0.5, centreY = 0.5;

// What the messages sent so far said.
bool sentDirection[kDirections] = {};
bool sentEscape = false, sentEnter = false;

// The pointer as the last move over the main window left it (window pixels), and when the right stick
// last moved it.
bool pointerKnown = false;
double pointerX = 0.0, pointerY = 0.0;
bool pointerMoving = false;
Uint64 pointerStepAt = 0;

bool started = false;

Pad* FindPad(SDL_JoystickID id)
{
    for (Pad& pad : pads)
        if (pad.controller && pad.id == id) return &pad;
    return nullptr;
}

void UpdateStick(bool& negative, bool& positive, int value)
{
    if (value >= kStickPress) positive = true;
    if (value < kStickRelease) positive = false;
    if (-value >= kStickPress) negative = true;
    if (-value < kStickRelease) negative = false;
}

void SetButton(Pad& pad, int button, bool down)
{
    switch (button) {
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            pad.dpad[kLeft] = down;
            break;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            pad.dpad[kRight] = down;
            break;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            pad.dpad[kUp] = down;
            break;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            pad.dpad[kDown] = down;
            break;
        case SDL_CONTROLLER_BUTTON_B:
            pad.b = down;
            break;
        case SDL_CONTROLLER_BUTTON_BACK:
            pad.back = down;
            break;
        case SDL_CONTROLLER_BUTTON_A:
            pad.a = down;
            break;
        case SDL_CONTROLLER_BUTTON_START:
            pad.start = down;
            break;
        default:
            break;
    }
}

void SetAxis(Pad& pad, int axis, int value)
{
    switch (axis) {
        case SDL_CONTROLLER_AXIS_LEFTX:
            UpdateStick(pad.stick[kLeft], pad.stick[kRight], value);
            break;
        case SDL_CONTROLLER_AXIS_LEFTY:  // down is positive
            UpdateStick(pad.stick[kUp], pad.stick[kDown], value);
            break;
        case SDL_CONTROLLER_AXIS_RIGHTX:
            pad.rightX = value;
            break;
        case SDL_CONTROLLER_AXIS_RIGHTY:
            pad.rightY = value;
            break;
        default:
            break;
    }
}

// A pad plugged in: taken with what it holds already (a direction held while plugging in counts).
void AddPad(int deviceIndex)
{
    if (!SDL_IsGameController(deviceIndex)) return;
    if (FindPad(SDL_JoystickGetDeviceInstanceID(deviceIndex))) return;  // told twice (dialog, then show)
    Pad* slot = nullptr;
    for (Pad& pad : pads)
        if (!pad.controller && !slot) slot = &pad;
    if (!slot) return;
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) return;  // gone again already: nothing to tell anyone
    *slot = Pad{};
    slot->controller = controller;
    slot->id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    for (int button = 0; button < SDL_CONTROLLER_BUTTON_MAX; ++button)
        SetButton(
            *slot, button,
            SDL_GameControllerGetButton(controller, static_cast<SDL_GameControllerButton>(button)) != 0);
    for (int axis = 0; axis < SDL_CONTROLLER_AXIS_MAX; ++axis)
        SetAxis(*slot, axis,
                SDL_GameControllerGetAxis(controller, static_cast<SDL_GameControllerAxis>(axis)));
}

// A pad pulled out: dropped, and what it held is let go.
void RemovePad(SDL_JoystickID id)
{
    Pad* pad = FindPad(id);
    if (!pad) return;
    SDL_GameControllerClose(pad->controller);
    *pad = Pad{};
}

// Pad and device events; true when the event was one.
bool UpdatePads(const SDL_Event& e)
{
    switch (e.type) {
        case SDL_CONTROLLERDEVICEADDED:
            AddPad(e.cdevice.which);
            return true;
        case SDL_CONTROLLERDEVICEREMOVED:
            RemovePad(e.cdevice.which);
            return true;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (Pad* pad = FindPad(e.cbutton.which))
                SetButton(*pad, e.cbutton.button, e.cbutton.state == SDL_PRESSED);
            return true;
        case SDL_CONTROLLERAXISMOTION:
            if (Pad* pad = FindPad(e.caxis.which)) SetAxis(*pad, e.caxis.axis, e.caxis.value);
            return true;
        case SDL_CONTROLLERDEVICEREMAPPED:
        case SDL_CONTROLLERTOUCHPADDOWN:
        case SDL_CONTROLLERTOUCHPADMOTION:
        case SDL_CONTROLLERTOUCHPADUP:
        case SDL_CONTROLLERSENSORUPDATE:
        case SDL_JOYAXISMOTION:
        case SDL_JOYBALLMOTION:
        case SDL_JOYHATMOTION:
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
        case SDL_JOYDEVICEADDED:
        case SDL_JOYDEVICEREMOVED:
        case SDL_JOYBATTERYUPDATED:
            return true;  // the same pads seen another way: nothing more to do
        default:
            return false;
    }
}

bool TouchHolds(int direction)
{
    if (!steeringFinger.down) return false;
    switch (direction) {
        case kLeft:
            return steeringFinger.x < centreX - kTouchBand;
        case kRight:
            return steeringFinger.x > centreX + kTouchBand;
        case kUp:
            return steeringFinger.y < centreY - kTouchBand;
        default:
            return steeringFinger.y > centreY + kTouchBand;
    }
}

// The messages for every key whose union of holders changed since the last ones.
void SendChangedKeys(PushWindowMessage push)
{
    bool escape = false, enter = false;
    bool held[kDirections] = {};
    for (const Pad& pad : pads) {
        if (!pad.controller) continue;
        escape = escape || pad.b || pad.back;  // Escape
        enter = enter || pad.a || pad.start;   // Enter
        for (int d = 0; d < kDirections; ++d) held[d] = held[d] || pad.dpad[d] || pad.stick[d];
    }
    for (int d = 0; d < kDirections; ++d) {
        held[d] = held[d] || TouchHolds(d);
        if (held[d] == sentDirection[d]) continue;
        sentDirection[d] = held[d];
        push(held[d] ? WM_KEYDOWN : WM_KEYUP, static_cast<uint64_t>(kDirectionKey[d]), 0);
    }
    if (escape != sentEscape) {
        sentEscape = escape;
        push(escape ? WM_KEYDOWN : WM_KEYUP, VK_ESCAPE, 0);
    }
    if (enter != sentEnter) {
        sentEnter = enter;
        push(enter ? WM_KEYDOWN : WM_KEYUP, VK_RETURN, 0);
    }
}

// Moves the pointer as a mouse would: a move event of our own, which the window takes like any other.
void MovePointer(SDL_Window* window, double x, double y)
{
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    x = x < 0.0 ? 0.0 : (x > width - 1 ? width - 1 : x);
    y = y < 0.0 ? 0.0 : (y > height - 1 ? height - 1 : y);
    const int oldX = static_cast<int>(std::lround(pointerX)), oldY = static_cast<int>(std::lround(pointerY));
    pointerX = x;
    pointerY = y;
    pointerKnown = true;
    const int newX = static_cast<int>(std::lround(x)), newY = static_cast<int>(std::lround(y));
    if (newX == oldX && newY == oldY) return;
    SDL_Event move{};
    move.motion.type = SDL_MOUSEMOTION;
    move.motion.timestamp = SDL_GetTicks();
    move.motion.windowID = SDL_GetWindowID(window);
    move.motion.which = kControllerMouseId;
    move.motion.x = newX;
    move.motion.y = newY;
    move.motion.xrel = newX - oldX;
    move.motion.yrel = newY - oldY;
    SDL_PushEvent(&move);
}

void StartPointerAt(SDL_Window* window)
{
    if (pointerKnown) return;
    int x = 0, y = 0;
    if (SDL_GetMouseFocus() == window) {
        SDL_GetMouseState(&x, &y);
    } else {
        SDL_GetWindowSize(window, &x, &y);
        x /= 2;
        y /= 2;
    }
    pointerX = x;
    pointerY = y;
    pointerKnown = true;
}

// Pixels a second along one axis of the right stick.
double PointerSpeed(int value)
{
    const int magnitude = value < 0 ? -value : value;
    if (magnitude <= kCameraDeadZone) return 0.0;
    const double beyond = static_cast<double>(magnitude - kCameraDeadZone) / (32767 - kCameraDeadZone);
    return (value < 0 ? -1.0 : 1.0) * (beyond > 1.0 ? 1.0 : beyond) * kPointerPixelsPerSecond;
}

bool OnWindow(Uint32 windowID, SDL_Window* window)
{
    return window && (windowID == 0 || windowID == SDL_GetWindowID(window));
}

bool TranslateFinger(const SDL_Event& e, SDL_Window* window)
{
    const SDL_TouchFingerEvent& f = e.tfinger;
    if (!OnWindow(f.windowID, window)) return true;
    const bool steering = steeringFinger.down && steeringFinger.id == f.fingerId;
    const bool camera = cameraFinger.down && cameraFinger.id == f.fingerId;
    Finger* finger = steering ? &steeringFinger : (camera ? &cameraFinger : nullptr);
    if (e.type == SDL_FINGERDOWN && !finger) {
        finger = !steeringFinger.down ? &steeringFinger : (!cameraFinger.down ? &cameraFinger : nullptr);
        if (finger) {
            finger->down = true;
            finger->id = f.fingerId;
        }
    }
    if (!finger) return true;  // a third finger changes nothing
    // SDL gives fractions of the window; a picture shown scaled may sit in it with bars around it.
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    const ScreenBox box = PictureBoxInWindow(window);
    const bool scaled = PictureIsOffscreen() && box.width > 0 && box.height > 0;
    finger->x = scaled ? (f.x * width - box.x) / box.width : f.x;
    finger->y = scaled ? (f.y * height - box.y) / box.height : f.y;
    if (e.type == SDL_FINGERUP) finger->down = false;
    if (finger == &cameraFinger && e.type != SDL_FINGERUP) MovePointer(window, f.x * width, f.y * height);
    return true;
}

}  // namespace

void SetTouchSteeringCentre(double x, double y)
{
    centreX = x;
    centreY = y;
}

void StartGameControllers()
{
    if (started) return;
    // Pads stay usable while the window is in the background (a pad has no focus of its own).
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    started = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;  // without it the keyboard still steers
}

bool TranslateControllerEvent(const SDL_Event& e, SDL_Window* window, PushWindowMessage push)
{
    switch (e.type) {
        case SDL_MOUSEMOTION:
            if (e.motion.which == SDL_TOUCH_MOUSEID) return true;
            if (window && e.motion.windowID == SDL_GetWindowID(window)) {
                pointerX = e.motion.x;
                pointerY = e.motion.y;
                pointerKnown = true;
            }
            return false;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return e.button.which == SDL_TOUCH_MOUSEID;
        case SDL_MOUSEWHEEL:
            return e.wheel.which == SDL_TOUCH_MOUSEID;
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP:
            TranslateFinger(e, window);
            SendChangedKeys(push);
            return true;
        default:
            if (!UpdatePads(e)) return false;
            SendChangedKeys(push);
            return true;
    }
}

void StepControllers(SDL_Window* window, PushWindowMessage push)
{
    SendChangedKeys(push);  // the player moved since: a finger held may now point another way
    if (!window) return;
    double speedX = 0.0, speedY = 0.0;
    for (const Pad& pad : pads) {
        if (!pad.controller) continue;
        speedX += PointerSpeed(pad.rightX);
        speedY += PointerSpeed(pad.rightY);
    }
    if (speedX == 0.0 && speedY == 0.0) {
        pointerMoving = false;
        return;
    }
    const Uint64 now = SDL_GetPerformanceCounter();
    if (!pointerMoving) {  // the time runs from the first step that sees the stick pushed
        pointerMoving = true;
        pointerStepAt = now;
        StartPointerAt(window);
        return;
    }
    double seconds =
        static_cast<double>(now - pointerStepAt) / static_cast<double>(SDL_GetPerformanceFrequency());
    if (seconds < kPointerStepSeconds) return;
    pointerStepAt = now;
    if (seconds > kPointerLongestStep) seconds = kPointerLongestStep;
    MovePointer(window, pointerX + speedX * seconds, pointerY + speedY * seconds);
}

int DialogKeyOfControllerEvent(const SDL_Event& e, bool& down, bool& shift)
{
    down = shift = false;
    if (e.type == SDL_CONTROLLERDEVICEADDED || e.type == SDL_CONTROLLERDEVICEREMOVED) {
        UpdatePads(e);
        return 0;
    }
    if (e.type != SDL_CONTROLLERBUTTONDOWN && e.type != SDL_CONTROLLERBUTTONUP) return 0;
    UpdatePads(e);  // what the pad holds as the dialog ends carries into the show
    down = e.cbutton.state == SDL_PRESSED;
    switch (e.cbutton.button) {
        case SDL_CONTROLLER_BUTTON_A:
        case SDL_CONTROLLER_BUTTON_START:
            return VK_RETURN;
        case SDL_CONTROLLER_BUTTON_B:
        case SDL_CONTROLLER_BUTTON_BACK:
            return VK_ESCAPE;
        case SDL_CONTROLLER_BUTTON_X:
        case SDL_CONTROLLER_BUTTON_Y:
            return VK_SPACE;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            shift = true;
            return VK_TAB;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            return VK_TAB;
        default:
            return 0;
    }
}
