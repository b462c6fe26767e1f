// The sound layer when its device goes away: a real PulseAudio server (a null sink, no hardware) started
// by the test and stopped while a track plays through SDL's pulse driver. Frames go on without waiting,
// the spectrum reads 0, the position follows the clock, and when the server is back the music resumes
// where the clock stands. Needs /usr/bin/pulseaudio.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sound/sound.h"
#include "tests/support/test_tracks.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kPulseAudio = "/usr/bin/pulseaudio";
// Timing bounds for an optimised build; under ThreadSanitizer everything runs several times slower.
#if defined(__SANITIZE_THREAD__)
constexpr double kSlack = 5.0;
#else
constexpr double kSlack = 1.0;
#endif

// A private server on its own socket. As root PulseAudio runs only in system mode (it then drops to its
// own user), so the socket's folder is open to everyone.
class PulseServer {
public:
    explicit PulseServer(std::string folder) : folder(std::move(folder)) {}
    ~PulseServer() { Stop(); }

    std::string Socket() const { return folder + "/native"; }

    bool Start()
    {
        std::vector<std::string> args = {
            kPulseAudio,
            "-n",
            "--daemonize=no",
            "--use-pid-file=no",
            "--exit-idle-time=-1",
            "--load=module-null-sink sink_name=quiet",
            "--load=module-native-protocol-unix socket=" + Socket() + " auth-anonymous=1"};
        if (geteuid() == 0) args.insert(args.begin() + 1, "--system");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string logPath = folder + "/server.log";
        pid = fork();
        if (pid == 0) {
            // Only calls that are safe after a fork in a program with threads, up to the exec.
            const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (log >= 0) {
                dup2(log, STDOUT_FILENO);
                dup2(log, STDERR_FILENO);
            }
            execv(kPulseAudio, argv.data());
            _exit(127);
        }
        return pid > 0 && WaitUntil(10.0, [this] { return Answers(); });
    }

    void Stop()
    {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

    static bool WaitUntil(double seconds, const std::function<bool()>& done)
    {
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (Clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

private:
    bool Answers() const
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, Socket().c_str(), sizeof address.sun_path - 1);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        return ok;
    }

    std::string folder;
    pid_t pid = -1;
};

// One frame of the show's sound work; returns how long it took.
double Frame(float* spectrum)
{
    const auto start = Clock::now();
    SoundWatchDevice();
    SoundSpectrum(spectrum);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs frames until done() or the deadline; the longest frame is kept in *longest.
bool FramesUntil(double seconds, float* spectrum, double* longest, const std::function<bool()>& done)
{
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        *longest = std::max(*longest, Frame(spectrum));
        if (done()) return true;
    }
    return false;
}

float Loudest(const float* spectrum)
{
    return *std::max_element(spectrum, spectrum + kSpectrumBins);
}

}  // namespace

TEST(SoundDevice, LostServerLeavesTheShowSilentAndTheMusicResumesWhereTheClockStands)
{
    if (access(kPulseAudio, X_OK) != 0) GTEST_SKIP() << "no " << kPulseAudio;
    char pattern[] = "/tmp/quarnel-pulse-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    PulseServer server(folder);
    ASSERT_TRUE(server.Start()) << "PulseAudio did not start; see " << folder << "/server.log";
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    setenv("PULSE_SERVER", ("unix:" + server.Socket()).c_str(), 1);

    const std::string track = CachedTestTrack("sine-long", 2, 44100, 40.0, SineSignal(1000.0, 0.5, 44100));
    ASSERT_TRUE(SoundInit()) << SoundError();
    ASSERT_TRUE(SoundLoadTrack(track.c_str())) << SoundError();
    SoundPlay();
    float spectrum[kSpectrumBins];
    double longest = 0.0;
    ASSERT_TRUE(FramesUntil(10.0, spectrum, &longest, [&] { return Loudest(spectrum) > 0.2f; }));

    const int64_t before = SoundPosition();
    const auto lostFrom = Clock::now();
    server.Stop();
    ASSERT_TRUE(FramesUntil(10.0, spectrum, &longest, [] { return SoundDeviceLost(); }));
    // Silent from here, while the position keeps following the clock.
    double silentLongest = 0.0;
    for (int i = 0; i < 50; ++i) {
        silentLongest = std::max(silentLongest, Frame(spectrum));
        ASSERT_EQ(Loudest(spectrum), 0.0f) << "frame " << i << " of the lost device";
    }
    auto expected = [&] {
        return before + std::chrono::duration<double>(Clock::now() - lostFrom).count() * kSoundMixRate;
    };
    EXPECT_NEAR(static_cast<double>(SoundPosition()), expected(), 0.3 * kSlack * kSoundMixRate);

    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(FramesUntil(10.0, spectrum, &longest, [] { return !SoundDeviceLost(); }));
    // The music goes on where the clock stands when the device is back. From then on the new server sets
    // the pace, and one just started on a busy machine may take a second to ask for its first sound.
    EXPECT_NEAR(static_cast<double>(SoundPosition()), expected(), 0.3 * kSlack * kSoundMixRate);
    const int64_t resumedAt = SoundPosition();
    ASSERT_TRUE(FramesUntil(10.0, spectrum, &longest, [&] { return Loudest(spectrum) > 0.2f; }));
    ASSERT_TRUE(FramesUntil(10.0, spectrum, &longest, [&] { return SoundPosition() > resumedAt; }))
        << "the music does not play on from where it resumed";
    // A frame is the 20 ms pause plus the sound work: no frame waited on the server.
    std::printf("longest frame %.3f s, longest silent frame %.3f s\n", longest, silentLongest);
    EXPECT_LT(longest, 0.25 * kSlack);
    EXPECT_LT(silentLongest, 0.25 * kSlack);
    SoundClose();
    server.Stop();
    std::filesystem::remove_all(folder);
}
