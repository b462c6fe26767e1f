// Pads and fingers through the main window's message stream: a virtual pad (SDL's virtual joystick) and
// finger events arrive as the arrow keys, Escape and pointer moves the keyboard and the mouse send, each
// key going down once and up once however many inputs hold it. Needs an X display (a real window).
#include "platform/sdl/game_controller.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/touch_steering.h"
#include "platform/window.h"
#include "platform/windows_names.h"

namespace {

// The keys the messages so far hold down, as a window procedure keeps them.
bool held[256];

std::vector<WindowMessage> Drain(int milliseconds = 60)
{
    std::vector<WindowMessage> messages;
    const Uint32 until = SDL_GetTicks() + static_cast<Uint32>(milliseconds);
    do {
        WindowMessage m;
        while (PeekWindowMessage(m)) {
            if ((m.message == WM_KEYDOWN || m.message == WM_KEYUP) && m.wParam < 256)
                held[m.wParam] = m.message == WM_KEYDOWN;
            messages.push_back(m);
        }
        SDL_Delay(5);
    } while (!SDL_TICKS_PASSED(SDL_GetTicks(), until));
    return messages;
}

std::vector<WindowMessage> Keys(const std::vector<WindowMessage>& messages)
{
    std::vector<WindowMessage> keys;
    for (const WindowMessage& m : messages)
        if (m.message == WM_KEYDOWN || m.message == WM_KEYUP) keys.push_back(m);
    return keys;
}

::testing::AssertionResult KeysAre(const std::vector<WindowMessage>& messages,
                                   std::vector<std::pair<uint32_t, int>> expected)
{
    const std::vector<WindowMessage> keys = Keys(messages);
    bool same = keys.size() == expected.size();
    for (size_t i = 0; same && i < keys.size(); ++i)
        same = keys[i].message == expected[i].first && static_cast<int>(keys[i].wParam) == expected[i].second;
    if (same) return ::testing::AssertionSuccess();
    auto result = ::testing::AssertionFailure() << "key messages:";
    for (const WindowMessage& k : keys) result << (k.message == WM_KEYDOWN ? " down " : " up ") << k.wParam;
    return result;
}

class PadAndTouch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(CreatePlatformWindow("pad test", 0, 0, 800, 600, false), WindowResult::Ok)
            << SDL_GetError();
        ShowAndFocusWindow();
        Drain(200);
    }

    void SetUp() override
    {
        for (bool& key : held) key = false;
    }

    void TearDown() override
    {
        if (pad_) SDL_JoystickClose(pad_);
        if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
        Drain();
    }

    // A pad with every button and axis of SDL's game controller, plugged in now.
    void PlugIn()
    {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
        desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
        desc.name = "Virtual test pad";
        index_ = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(index_, 0) << SDL_GetError();
        pad_ = SDL_JoystickOpen(index_);
        ASSERT_NE(pad_, nullptr) << SDL_GetError();
        ASSERT_TRUE(SDL_IsGameController(index_));
        Drain(100);
    }

    void Button(SDL_GameControllerButton button, bool down)
    {
        SDL_JoystickSetVirtualButton(pad_, button, down ? 1 : 0);
    }
    void Axis(SDL_GameControllerAxis axis, int value)
    {
        SDL_JoystickSetVirtualAxis(pad_, axis, static_cast<Sint16>(value));
    }

    static void Finger(Uint32 type, SDL_FingerID id, float x, float y)
    {
        SDL_Event e{};
        e.tfinger.type = type;
        e.tfinger.touchId = 1;
        e.tfinger.fingerId = id;
        e.tfinger.x = x;
        e.tfinger.y = y;
        SDL_PushEvent(&e);
    }

    int index_ = -1;
    SDL_Joystick* pad_ = nullptr;
};

TEST_F(PadAndTouch, DpadAndLeftStickAreTheArrowKeysAndAPadPulledOutLetsGo)
{
    PlugIn();
    Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYDOWN, VK_LEFT}}));
    EXPECT_TRUE(held[VK_LEFT]);
    Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYUP, VK_LEFT}}));
    EXPECT_FALSE(held[VK_LEFT]);

    // Past half deflection a direction is pressed; it stays pressed down to 40%, then lets go.
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 12000);
    EXPECT_TRUE(KeysAre(Drain(), {}));
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 20000);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYDOWN, VK_RIGHT}}));
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 14000);
    EXPECT_TRUE(KeysAre(Drain(), {}));
    EXPECT_TRUE(held[VK_RIGHT]);
    Axis(SDL_CONTROLLER_AXIS_LEFTX, 10000);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYUP, VK_RIGHT}}));

    // The d-pad and the stick on one direction: the key goes up only when both have let go.
    Axis(SDL_CONTROLLER_AXIS_LEFTY, -30000);
    Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYDOWN, VK_UP}}));
    Button(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
    EXPECT_TRUE(KeysAre(Drain(), {}));
    EXPECT_TRUE(held[VK_UP]);

    // Pulled out with up held: up is released, and nothing else happens (no box, the stream goes on).
    SDL_JoystickClose(pad_);
    pad_ = nullptr;
    SDL_JoystickDetachVirtual(index_);
    index_ = -1;
    EXPECT_TRUE(KeysAre(Drain(100), {{WM_KEYUP, VK_UP}}));
    EXPECT_FALSE(held[VK_UP]);

    // And a new one is taken.
    PlugIn();
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYDOWN, VK_DOWN}}));
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYUP, VK_DOWN}}));
}

TEST_F(PadAndTouch, BAndBackAreEscapeAAndStartAreEnter)
{
    PlugIn();
    Button(SDL_CONTROLLER_BUTTON_B, true);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYDOWN, VK_ESCAPE}}));
    EXPECT_TRUE(held[VK_ESCAPE]);
    Button(SDL_CONTROLLER_BUTTON_B, false);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYUP, VK_ESCAPE}}));
    Button(SDL_CONTROLLER_BUTTON_BACK, true);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYDOWN, VK_ESCAPE}}));
    Button(SDL_CONTROLLER_BUTTON_B, true);
    Button(SDL_CONTROLLER_BUTTON_BACK, false);  // B still holds Escape down
    EXPECT_TRUE(KeysAre(Drain(), {}));
    Button(SDL_CONTROLLER_BUTTON_B, false);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYUP, VK_ESCAPE}}));
    Button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYDOWN, VK_RETURN}}));
    Button(SDL_CONTROLLER_BUTTON_A, false);
    Drain();

    // The dialog's reading of the same buttons.
    SDL_Event e{};
    e.cbutton.type = SDL_CONTROLLERBUTTONDOWN;
    e.cbutton.which = SDL_JoystickInstanceID(pad_);
    e.cbutton.state = SDL_PRESSED;
    bool down = false, shift = false;
    e.cbutton.button = SDL_CONTROLLER_BUTTON_START;
    EXPECT_EQ(DialogKeyOfControllerEvent(e, down, shift), VK_RETURN);
    EXPECT_TRUE(down);
    e.cbutton.button = SDL_CONTROLLER_BUTTON_BACK;
    EXPECT_EQ(DialogKeyOfControllerEvent(e, down, shift), VK_ESCAPE);
    e.cbutton.button = SDL_CONTROLLER_BUTTON_DPAD_UP;
    EXPECT_EQ(DialogKeyOfControllerEvent(e, down, shift), VK_TAB);
    EXPECT_TRUE(shift);
    e.cbutton.type = SDL_CONTROLLERBUTTONUP;
    e.cbutton.state = SDL_RELEASED;
    EXPECT_EQ(DialogKeyOfControllerEvent(e, down, shift), VK_TAB);
    EXPECT_FALSE(down);
}

TEST_F(PadAndTouch, RightStickMovesThePointerAsTheMouseDoes)
{
    PlugIn();
    double x0 = 0.0, y0 = 0.0;
    GetCursorScreenPos(x0, y0);
    Axis(SDL_CONTROLLER_AXIS_RIGHTX, 5000);  // within the dead zone
    Drain(150);
    double x = 0.0, y = 0.0;
    GetCursorScreenPos(x, y);
    EXPECT_EQ(x, x0);

    Axis(SDL_CONTROLLER_AXIS_RIGHTX, -32767);
    const std::vector<WindowMessage> messages = Drain(300);
    int moves = 0;
    for (const WindowMessage& m : messages) moves += m.message == WM_MOUSEMOVE;
    EXPECT_GT(moves, 3);
    GetCursorScreenPos(x, y);
    EXPECT_LT(x, x0 - 60.0) << "0.3 s at full deflection: about 240 pixels to the left";
    EXPECT_EQ(y, y0);
    Axis(SDL_CONTROLLER_AXIS_RIGHTX, 0);
    Drain();
    double x1 = 0.0;
    GetCursorScreenPos(x1, y);
    Drain(150);
    GetCursorScreenPos(x, y);
    EXPECT_EQ(x, x1) << "the pointer stops with the stick";
}

TEST_F(PadAndTouch, AFingerSteersFromThePlayersPlaceAndASecondMovesThePointer)
{
    SetTouchSteeringCentre(0.5, 0.5);
    Finger(SDL_FINGERDOWN, 7, 0.9f, 0.52f);  // right of the player, within the band vertically
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYDOWN, VK_RIGHT}}));
    Finger(SDL_FINGERMOTION, 7, 0.5f, 0.1f);  // straight above
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYUP, VK_RIGHT}, {WM_KEYDOWN, VK_UP}}));
    // The player comes up to the finger: the key lets go without the finger moving.
    SetTouchSteeringCentre(0.5, 0.12);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYUP, VK_UP}}));
    SetTouchSteeringCentre(0.5, 0.5);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYDOWN, VK_UP}}));

    // A second finger moves the pointer to itself, as a mouse move does (three messages).
    Finger(SDL_FINGERDOWN, 8, 0.25f, 0.75f);
    const std::vector<WindowMessage> messages = Drain();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_TRUE(KeysAre(messages, {}));
    EXPECT_EQ(messages[messages.size() - 3].message, static_cast<uint32_t>(WM_NCHITTEST));
    EXPECT_EQ(messages.back().message, static_cast<uint32_t>(WM_MOUSEMOVE));
    EXPECT_EQ(messages.back().lParam, (450 << 16) | 200);

    // Mouse events SDL makes up from touches pass as nothing: no button, no camera point.
    SDL_Event made{};
    made.button.type = SDL_MOUSEBUTTONDOWN;
    made.button.which = SDL_TOUCH_MOUSEID;
    made.button.button = SDL_BUTTON_LEFT;
    SDL_PushEvent(&made);
    for (const WindowMessage& m : Drain()) EXPECT_NE(m.message, static_cast<uint32_t>(WM_LBUTTONDOWN));

    Finger(SDL_FINGERUP, 8, 0.25f, 0.75f);
    Finger(SDL_FINGERUP, 7, 0.5f, 0.1f);
    EXPECT_TRUE(KeysAre(Drain(), {{WM_KEYUP, VK_UP}}));
    EXPECT_FALSE(held[VK_UP]);
}

}  // namespace
