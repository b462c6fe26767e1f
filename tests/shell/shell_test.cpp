// The shell without a window: clock, _gcvt-style numbers, the window procedure's keys, wheel, arrows
// and capture text, the command line and the graphics-card table.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "render/engine.h"
#include "runtime/global_state.h"
#include "scene/frame_inputs.h"
#include "shell/clock.h"
#include "shell/command_line.h"
#include "shell/start_up.h"
#include "shell/window_proc.h"

namespace {

std::string Gcvt(double v)
{
    char buf[32];
    FormatLikeGcvt(v, buf, sizeof buf);
    return buf;
}

void ResetShell()
{
    gState = GlobalState{};
    gFrameInputs = FrameInputs{};
    CaptureText.clear();
}

}  // namespace

TEST(Clock, ReadingsAccumulateAndNeverGoBack)
{
    SetClockFixedStep(0.0);
    ClockReset();
    const double a = ClockSeconds();
    const double b = ClockSeconds();
    EXPECT_GE(a, 0.0);
    EXPECT_LT(a, 0.05);
    EXPECT_GE(b, a);
}

TEST(Clock, FixedStepGivesEachReadingPairExactlyOneStep)
{
    SetClockFixedStep(0.02);
    ClockReset();
    double last = ClockSeconds();  // the start-up reading
    for (int frame = 0; frame < 100; ++frame) {
        const double delta = ClockSeconds() - last;
        last = ClockSeconds();
        ASSERT_NEAR(delta, 0.02, 1e-12) << "frame " << frame;
    }
    EXPECT_DOUBLE_EQ(last, 100 * 0.02);
    SetClockFixedStep(0.0);
}

TEST(Gcvt, SixSignificantDigitsLikeTheWindowsRuntime)
{
    EXPECT_EQ(Gcvt(2.0), "2.");
    EXPECT_EQ(Gcvt(-2.0), "-2.");
    EXPECT_EQ(Gcvt(0.5), "0.5");
    EXPECT_EQ(Gcvt(0.1), "0.1");
    EXPECT_EQ(Gcvt(3.14159265), "3.14159");
    EXPECT_EQ(Gcvt(-7.0), "-7.");
    EXPECT_EQ(Gcvt(123456.0), "123456.");
    EXPECT_EQ(Gcvt(999999.4), "999999.");
    EXPECT_EQ(Gcvt(999999.5), "1.e+006");  // rounds up to a seventh digit
    EXPECT_EQ(Gcvt(1234567.0), "1.23457e+006");
    EXPECT_EQ(Gcvt(0.05), "5.e-002");
    EXPECT_EQ(Gcvt(-0.0123456789), "-1.23457e-002");
    EXPECT_EQ(Gcvt(0.0), "0.");
    EXPECT_EQ(Gcvt(0.2000000048), "0.2");
}

TEST(WindowProc, ArrowsStepOnlyOnTheDefaultPath)
{
    ResetShell();
    gState.frameDelta = 0.1;
    MainWindowProc(WM_KEYDOWN, VK_UP, 0);
    MainWindowProc(WM_KEYDOWN, VK_LEFT, 0);
    MainWindowProc(WM_KEYDOWN, VK_UP, 0);  // key repeats are answered with 0: no step
    EXPECT_EQ(gFrameInputs.arrowUpDown, 0.0);
    EXPECT_EQ(gFrameInputs.arrowLeftRight, 0.0);

    // One mouse move passes as three messages, each taking the default path.
    MainWindowProc(WM_NCHITTEST, 0, 0);
    MainWindowProc(WM_SETCURSOR, 0, 0);
    MainWindowProc(WM_MOUSEMOVE, 0, 0);
    EXPECT_NEAR(gFrameInputs.arrowUpDown, 3 * 0.15, 1e-12);
    EXPECT_NEAR(gFrameInputs.arrowLeftRight, -0.3, 1e-12);

    MainWindowProc(WM_MOUSEWHEEL, static_cast<uint64_t>(120) << 16, 0);  // answered with 0: no step
    EXPECT_NEAR(gFrameInputs.arrowUpDown, 0.45, 1e-12);
    MainWindowProc(WM_KEYUP, VK_UP, 0);
    MainWindowProc(WM_KEYUP, VK_LEFT, 0);
    MainWindowProc(WM_MOUSEMOVE, 0, 0);
    EXPECT_NEAR(gFrameInputs.arrowUpDown, 0.45, 1e-12);
}

TEST(WindowProc, ButtonsWheelActivateAndScreenSaver)
{
    ResetShell();
    MainWindowProc(WM_LBUTTONDOWN, 0, 0);
    MainWindowProc(WM_RBUTTONDOWN, 0, 0);
    EXPECT_TRUE(gState.leftButtonDown && gState.rightButtonDown);
    MainWindowProc(WM_LBUTTONUP, 0, 0);
    EXPECT_FALSE(gState.leftButtonDown);
    EXPECT_TRUE(gState.rightButtonDown);

    MainWindowProc(WM_MOUSEWHEEL, static_cast<uint64_t>(static_cast<uint16_t>(-120)) << 16, 0);
    EXPECT_DOUBLE_EQ(gState.wheelAccumulator, -0.2000000048428774);
    MainWindowProc(WM_MOUSEWHEEL, static_cast<uint64_t>(static_cast<uint16_t>(-120)) << 16, 0);
    EXPECT_DOUBLE_EQ(gState.wheelAccumulator, -0.4000000096857548);  // never clamped

    MainWindowProc(WM_ACTIVATE, 0, 0);  // deactivated but not minimised: frames go on
    EXPECT_TRUE(gState.active);
    MainWindowProc(WM_ACTIVATE, 1u << 16, 0);
    EXPECT_FALSE(gState.active);
    MainWindowProc(WM_ACTIVATE, 1, 0);
    EXPECT_TRUE(gState.active);

    gState.frameDelta = 1.0;
    gState.keys[VK_UP] = true;
    EXPECT_EQ(MainWindowProc(WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(MainWindowProc(WM_SYSCOMMAND, SC_MONITORPOWER, 0), 0);
    EXPECT_EQ(gFrameInputs.arrowUpDown, 0.0);  // refused, not passed on
}

TEST(WindowProc, MiddleClicksAppendCameraAndPointInOrder)
{
    ResetShell();
    gFrameInputs.cameraX = 2.0;
    gFrameInputs.cameraY = -0.5;
    gFrameInputs.cameraZ = 0.2000000048428774;
    gFrameInputs.pointX = 1234567.0;
    MainWindowProc(WM_MBUTTONDOWN, 0, 0);
    gFrameInputs.cameraX = 3.0;
    MainWindowProc(WM_MBUTTONDOWN, 0, 0);
    EXPECT_EQ(CaptureText,
              "Cam :2.,-0.5,0.2  \nPnt :1.23457e+006,0.,0.  \n \n"
              "Cam :3.,-0.5,0.2  \nPnt :1.23457e+006,0.,0.  \n \n");
}

TEST(CommandLine, OptionsAndErrors)
{
    CommandLine options;
    std::string error;
    const char* good[] = {"quarnel",   "--run",        "--windowed", "--no-music",   "--frames",
                          "12",        "--fixed-step", "0.02",       "--screenshot", "a.png",
                          "--capture", "dir",          "--batch",    "--stats"};
    ASSERT_EQ(ParseCommandLine(14, good, options, error), ParseResult::Ok);
    EXPECT_TRUE(options.run && options.windowed && options.noMusic && options.batch && options.stats);
    EXPECT_EQ(options.frames, 12);
    EXPECT_DOUBLE_EQ(options.fixedStep, 0.02);
    EXPECT_EQ(options.screenshot, "a.png");
    EXPECT_EQ(options.captureDir, "dir");

    for (auto bad : {std::initializer_list<const char*>{"quarnel", "--bogus"},
                     {"quarnel", "--frames"},
                     {"quarnel", "--frames", "0"},
                     {"quarnel", "--frames", "7x"},
                     {"quarnel", "--fixed-step", "-1"},
                     {"quarnel", "--fixed-step", "nan"}}) {
        CommandLine o;
        std::string e;
        EXPECT_EQ(ParseCommandLine(static_cast<int>(bad.size()), bad.begin(), o, e), ParseResult::Error);
        EXPECT_FALSE(e.empty());
    }
}

TEST(CommandLine, ScaleAndDesktopFullScreen)
{
    auto parse = [](std::initializer_list<const char*> args, CommandLine& out, std::string& error) {
        std::vector<const char*> argv{"quarnel"};
        argv.insert(argv.end(), args);
        out = CommandLine{};
        error.clear();
        return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, error);
    };
    CommandLine o;
    std::string e;
    ASSERT_EQ(parse({}, o, e), ParseResult::Ok);
    EXPECT_EQ(o.scale, 0.0) << "no option: the display's scale";
    EXPECT_FALSE(o.fullScreenDesktop);
    ASSERT_EQ(parse({"--scale", "1.5", "--fullscreen", "desktop"}, o, e), ParseResult::Ok) << e;
    EXPECT_EQ(o.scale, 1.5);
    EXPECT_TRUE(o.fullScreenDesktop);
    ASSERT_EQ(parse({"--scale", "100"}, o, e), ParseResult::Ok)
        << "too large is limited to the display later";

    for (const char* bad : {"0", "-1", "abc", "", "1x", "nan", "inf", "0.1", "1e9"}) {
        EXPECT_EQ(parse({"--scale", bad}, o, e), ParseResult::Error) << bad;
        EXPECT_NE(e.find(std::string("\"") + bad + "\""), std::string::npos) << e;
    }
    EXPECT_EQ(parse({"--fullscreen", "sideways"}, o, e), ParseResult::Error);
    EXPECT_NE(e.find("\"desktop\""), std::string::npos) << "names the valid word: " << e;
    EXPECT_EQ(parse({"--fullscreen"}, o, e), ParseResult::Error);
}

TEST(CommandLine, UsageNamesTheVideoFormatsInOneSentence)
{
    const std::string usage = UsageText();
    EXPECT_EQ(usage.find("it writes this build"), std::string::npos) << usage;
    EXPECT_TRUE(usage.find("it writes .") != std::string::npos ||
                usage.find("writes none") != std::string::npos)
        << usage;
}

TEST(CommandLine, CaptureFramesTakesAListOfFrameNumbersBesideCapture)
{
    auto parse = [](std::initializer_list<const char*> args, CommandLine& out, std::string& error) {
        std::vector<const char*> argv{"quarnel"};
        argv.insert(argv.end(), args);
        out = CommandLine{};
        error.clear();
        return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), out, error);
    };
    CommandLine o;
    std::string e;
    // Any order, repeats allowed, and --capture may come after it.
    ASSERT_EQ(parse({"--capture-frames", "9,2,4,2", "--capture", "dir"}, o, e), ParseResult::Ok) << e;
    EXPECT_EQ(o.captureFrames, (std::vector<long>{2, 4, 9}));
    ASSERT_EQ(parse({"--capture", "dir", "--capture-frames", "007,999999999"}, o, e), ParseResult::Ok) << e;
    EXPECT_EQ(o.captureFrames, (std::vector<long>{7, kMaxCaptureFrame}));
    ASSERT_EQ(parse({"--capture", "dir"}, o, e), ParseResult::Ok) << e;
    EXPECT_TRUE(o.captureFrames.empty()) << "without the list every frame is captured";

    for (const char* list : {"", ",", "2,", ",2", "2,,4", "0", "4,0", "-3", "+3", " 3", "3 ", "x", "1.5",
                             "0x10", "1000000000", "99999999999999999999999", "5,18446744073709551621"}) {
        EXPECT_EQ(parse({"--capture", "dir", "--capture-frames", list}, o, e), ParseResult::Error) << list;
        EXPECT_NE(e.find("--capture-frames"), std::string::npos) << list << ": " << e;
        EXPECT_NE(e.find(std::string("\"") + list + "\""), std::string::npos) << "names the list: " << e;
    }
    EXPECT_EQ(parse({"--capture", "dir", "--capture-frames"}, o, e), ParseResult::Error);
    EXPECT_EQ(e, "--capture-frames needs a value");
    EXPECT_EQ(parse({"--run", "--capture-frames", "1,2", "--screenshot", "a.png"}, o, e), ParseResult::Error);
    EXPECT_NE(e.find("needs --capture DIR"), std::string::npos) << e;
}

TEST(GraphicsCard, RendererTableLastMatchWins)
{
    SetMessageBoxBatchMode(true);
    Engine& engine = *new Engine();  // large: keep it off the stack
    CheckGraphicsCardStrings(engine, "NVIDIA", "RADEON 9800 X800");
    EXPECT_DOUBLE_EQ(engine.speedFactor, 2.95);
    EXPECT_EQ(engine.cardId, 0);

    testing::internal::CaptureStderr();
    CheckGraphicsCardStrings(engine, "NVIDIA", "GeForce FX 5900");
    EXPECT_DOUBLE_EQ(engine.speedFactor, 1.4);
    EXPECT_EQ(engine.cardId, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // no slow-card warning

    CheckGraphicsCardStrings(engine, "ATI Technologies", "llvmpipe");
    EXPECT_TRUE(engine.isAti);
    EXPECT_DOUBLE_EQ(engine.speedFactor, 1.5);

    testing::internal::CaptureStderr();
    CheckGraphicsCardStrings(engine, "NVIDIA", "GeForce FX 5200");
    EXPECT_EQ(engine.cardId, 5200);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Slow graphics card present."), std::string::npos);
    EXPECT_DOUBLE_EQ(engine.speedFactor, 1.0);
    delete &engine;
}
