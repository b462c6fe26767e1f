// game-maths-table: the system maths functions the game's steps call (sin, cos, sqrt), evaluated on the
// arguments the show gives them, so that two builds (glibc, MinGW's runtime, emscripten's libc) can be
// compared bit for bit.
//
//   game-maths-table                   a line per use: its count, a digest of the arguments and of the
//   results game-maths-table --write FILE      every argument and result, in hexadecimal, one per line
//   game-maths-table --compare FILE    evaluates the arguments of a table another build wrote and compares
//                                      its results with this build's: per use, how many differ and by how
//                                      many units in the last place; exit 1 when any differs
//   game-maths-table --self-check      the arguments are the game's own: the sea's blob centres worked out
//                                      from them equal PlaceSeaPoints' bit for bit; exit 1 when not
//
// The arguments come from play as the show runs it: a fixed step (a video, --fixed-step) and a measured
// clock (1 ns readings as on Linux, 100 ns as Windows' performance counter), frames of 7 to 50 ms with now
// and then a long one, arrow keys held for stretches in either direction, the scene clock running twice as
// fast outside the sea. The uses:
//   sin.sea, the sea's blob paths (PlaceSeaPoints): game state (inside or outside the sea)
//   sin.heading, cos.heading, the player's velocity (MovePlayer): game state
//   sqrt.closeness, distances to the blobs and the help sign (Closeness): game state, the processor's
//   own square root (built without errno, as the scene is), so the same everywhere
//   sin.camera, cos.camera, sin.intro: the picture only
//   own-sin.sea, own-sin.heading, own-cos.heading: the same arguments through our own sine and cosine,
//   which the game's steps use since the system's differ; --compare shows them equal between builds
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "math/portable_trig.h"
#include "math/random.h"
#include "math/vec.h"
#include "render/billboards.h"
#include "scene/demo_scene.h"
#include "scene/mini_game.h"
#include "scene/scene_layers.h"

namespace {

enum class Function { Sin, Cos, Sqrt, OwnSin, OwnCos };

struct Use {
    const char* name;
    Function function;
    std::vector<double> arguments;
};

double Evaluate(Function f, double x)
{
    switch (f) {
        case Function::Sin:
            return std::sin(x);
        case Function::Cos:
            return std::cos(x);
        case Function::Sqrt:
            return std::sqrt(x);
        case Function::OwnSin:
            return PortableSin(x);
        case Function::OwnCos:
            return PortableCos(x);
    }
    return 0.0;
}

uint64_t Bits(double v)
{
    uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

double FromBits(uint64_t b)
{
    double v = 0.0;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// Distance in units in the last place between two finite doubles of the same sign (else a large number).
uint64_t UlpsApart(double a, double b)
{
    if (Bits(a) == Bits(b)) return 0;
    if (!std::isfinite(a) || !std::isfinite(b) || std::signbit(a) != std::signbit(b)) return UINT64_MAX;
    const uint64_t x = Bits(a) & ~(uint64_t{1} << 63), y = Bits(b) & ~(uint64_t{1} << 63);
    return x > y ? x - y : y - x;
}

struct Digest {
    uint64_t sum = 0xcbf29ce484222325ull;
    void Add(uint64_t bits)
    {
        for (int i = 0; i < 8; ++i) {
            sum ^= (bits >> (8 * i)) & 0xff;
            sum *= 0x100000001b3ull;
        }
    }
};

// A generator of its own, the same on every system (the standard library's distributions are not).
struct Stream {
    std::mt19937_64 engine;
    explicit Stream(uint64_t seed) : engine(seed) {}
    double Unit() { return static_cast<double>(engine() >> 11) * 0x1.0p-53; }  // [0, 1)
};

// The seed PlaceSeaPoints gives the generator: the round seed (the same every round) plus 3000.
uint32_t SeaSeed()
{
    SeedRandom(0);
    const int32_t roundSeed = NextRandom();
    return static_cast<uint32_t>(static_cast<uint64_t>(int64_t{roundSeed} + 3000));
}

// The sea's six random values per blob, as PlaceSeaPoints draws them.
struct SeaPaths {
    double u[kSeaPointCount][6];
    SeaPaths()
    {
        SeedRandom(SeaSeed());
        for (auto& blob : u)
            for (double& v : blob) v = RandomUnit();
    }
};

struct Table {
    std::vector<Use> uses = {{"sin.sea", Function::Sin, {}},
                             {"sin.heading", Function::Sin, {}},
                             {"cos.heading", Function::Cos, {}},
                             {"sqrt.closeness", Function::Sqrt, {}},
                             {"sin.camera", Function::Sin, {}},
                             {"cos.camera", Function::Cos, {}},
                             {"sin.intro", Function::Sin, {}},
                             {"own-sin.sea", Function::OwnSin, {}},
                             {"own-sin.heading", Function::OwnSin, {}},
                             {"own-cos.heading", Function::OwnCos, {}}};
    Use& operator[](const char* name)
    {
        for (Use& use : uses)
            if (!std::strcmp(use.name, name)) return use;
        return uses.front();
    }
};

// One stretch of play: `seconds` of show time at frame steps from `nextStep`, keys and the sea from `play`.
template <typename NextStep>
void Play(Table& table, const SeaPaths& sea, double seconds, NextStep nextStep, Stream& play)
{
    double showTime = 0.0, sceneTime = 0.0, heading = 0.0, keyChange = 0.0;
    int key = 0;  // -1 left, 0 none, 1 right
    bool insideSea = true;
    Vec player{1, 0.0f, 0.0f, 0.0f};
    const Vec help{1, 1.3f * 2.5f, -1.3f * 1.5f, 0.0f};
    Vec points[kSeaPointCount];
    while (showTime < seconds) {
        const double step = nextStep();
        showTime += step;
        // The scene clock, twice as fast outside the sea (as the countdown): a new round after 45 s of it.
        sceneTime += step;
        if (!insideSea) sceneTime += step;
        if (sceneTime > kRoundLength) sceneTime = 0.0;
        // The arrows: held for 0.2 to 3 s, then another (or none); three steps of the key per frame.
        if (showTime >= keyChange) {
            key = static_cast<int>(play.Unit() * 3.0) - 1;
            keyChange = showTime + 0.2 + 2.8 * play.Unit();
        }
        for (int i = 0; i < 3; ++i) {
            if (key < 0) heading -= step;
            if (key > 0) heading += step;
        }
        table["sin.heading"].arguments.push_back(heading);
        table["cos.heading"].arguments.push_back(heading);
        table["own-sin.heading"].arguments.push_back(heading);
        table["own-cos.heading"].arguments.push_back(heading);
        const double speed = 0.5 + 0.5 * play.Unit();
        player = player + Vec{1, static_cast<float>(kTopSpeed * PortableSin(heading) * speed * step),
                              static_cast<float>(kTopSpeed * PortableCos(heading) * speed * step), 0.0f};
        if (std::fabs(player.x) > 8.0f || std::fabs(player.y) > 8.0f) player = Vec{1, 0.0f, 0.0f, 0.0f};
        // The sea as PlaceSeaPoints places it, and the closeness of the player to it and to the sign.
        const double growth = SeaGrowth(sceneTime);
        for (int i = 0; i < kSeaPointCount; ++i) {
            const double* u = sea.u[i];
            const double a = 8.0 * u[3] + (0.3 * u[2] + 0.4) * sceneTime;
            const double b = 8.0 * u[5] + (0.3 * u[4] + 0.4) * sceneTime;
            table["sin.sea"].arguments.push_back(a);
            table["sin.sea"].arguments.push_back(b);
            table["own-sin.sea"].arguments.push_back(a);
            table["own-sin.sea"].arguments.push_back(b);
            points[i] = Vec{1, static_cast<float>(growth * ((8.0 * u[0] - 4.0) + 3.0 * PortableSin(a))),
                            static_cast<float>(growth * ((8.0 * u[1] - 4.0) + 3.0 * PortableSin(b))), 0.0f};
        }
        auto closeness = [&](const Vec& p) {
            const Vec d = p - player;
            table["sqrt.closeness"].arguments.push_back(static_cast<double>(d.x) * d.x +
                                                        static_cast<double>(d.y) * d.y +
                                                        static_cast<double>(d.z) * d.z);
        };
        for (const Vec& p : points) closeness(p);
        closeness(help);
        insideSea = SeaDensity(points, kSeaPointCount, player) > kSeaThreshold;
        table["sin.camera"].arguments.push_back(sceneTime);
        table["cos.camera"].arguments.push_back(sceneTime);
        table["sin.intro"].arguments.push_back(std::numbers::pi *
                                               std::fmin(std::fmax(0.07 * sceneTime, 0.0), 1.0));
    }
}

Table Arguments()
{
    Table table;
    const SeaPaths sea;
    // Fixed steps: a video's 1/60 s, the examples' 0.02 s, 1/30 s.
    for (double step : {1.0 / 60.0, 0.02, 1.0 / 30.0}) {
        Stream play(static_cast<uint64_t>(1.0 / step));
        Play(
            table, sea, 120.0, [step] { return step; }, play);
    }
    // A measured clock: readings in ticks of 1 ns or 100 ns, steps the difference of two readings.
    for (double tick : {1e-9, 1e-7}) {
        Stream play(tick < 1e-8 ? 7 : 11), frames(tick < 1e-8 ? 13 : 17);
        int64_t reading = 0;
        Play(
            table, sea, 240.0,
            [&] {
                double ms = 7.0 + 43.0 * frames.Unit();
                if (frames.Unit() < 0.002) ms = 200.0 + 2000.0 * frames.Unit();  // a stall
                const int64_t next = reading + static_cast<int64_t>(ms * 1e-3 / tick);
                const double step = static_cast<double>(next) * tick - static_cast<double>(reading) * tick;
                reading = next;
                return step;
            },
            play);
    }
    return table;
}

int Summary()
{
    const Table table = Arguments();
    std::printf("%-16s %9s %18s %18s\n", "use", "arguments", "argument digest", "result digest");
    for (const Use& use : table.uses) {
        Digest in, out;
        for (double x : use.arguments) {
            in.Add(Bits(x));
            out.Add(Bits(Evaluate(use.function, x)));
        }
        std::printf("%-16s %9zu   %016" PRIx64 "   %016" PRIx64 "\n", use.name, use.arguments.size(), in.sum,
                    out.sum);
    }
    return 0;
}

int Write(const char* path)
{
    FILE* file = std::fopen(path, "w");
    if (!file) {
        std::fprintf(stderr, "game-maths-table: cannot write %s\n", path);
        return 1;
    }
    const Table table = Arguments();
    for (const Use& use : table.uses)
        for (double x : use.arguments)
            std::fprintf(file, "%s %016" PRIx64 " %016" PRIx64 "\n", use.name, Bits(x),
                         Bits(Evaluate(use.function, x)));
    if (std::fclose(file) != 0) {
        std::fprintf(stderr, "game-maths-table: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

int Compare(const char* path)
{
    FILE* file = std::fopen(path, "r");
    if (!file) {
        std::fprintf(stderr, "game-maths-table: cannot read %s\n", path);
        return 1;
    }
    struct Tally {
        uint64_t compared = 0, differ = 0, largest = 0;
        std::vector<std::string> examples;
    };
    std::map<std::string, Tally> tallies;
    Table table;
    char name[32];
    uint64_t argument = 0, result = 0;
    while (std::fscanf(file, "%31s %" SCNx64 " %" SCNx64, name, &argument, &result) == 3) {
        const Use& use = table[name];
        if (std::strcmp(use.name, name) != 0) continue;
        Tally& t = tallies[name];
        ++t.compared;
        const double mine = Evaluate(use.function, FromBits(argument));
        if (Bits(mine) == result) continue;
        ++t.differ;
        const uint64_t apart = UlpsApart(mine, FromBits(result));
        if (apart > t.largest) t.largest = apart;
        if (t.examples.size() < 3) {
            char text[160];
            std::snprintf(text, sizeof text, "%.17g: here %.17g, there %.17g", FromBits(argument), mine,
                          FromBits(result));
            t.examples.push_back(text);
        }
    }
    std::fclose(file);
    bool same = true;
    std::printf("%-16s %9s %9s %7s\n", "use", "compared", "differ", "ulps");
    for (const auto& [use, t] : tallies) {
        std::printf("%-16s %9" PRIu64 " %9" PRIu64 " %7" PRIu64 "\n", use.c_str(), t.compared, t.differ,
                    t.largest);
        for (const std::string& e : t.examples) std::printf("    %s\n", e.c_str());
        same = same && t.differ == 0;
    }
    if (tallies.empty()) {
        std::fprintf(stderr, "game-maths-table: %s holds no table\n", path);
        return 1;
    }
    return same ? 0 : 1;
}

// The arguments are the game's own: blob centres worked out from them equal PlaceSeaPoints'.
int SelfCheck()
{
    const SeaPaths sea;
    int wrong = 0;
    for (double time : {0.0, 0.5, 2.4, 3.0, 17.25, 44.9, 89.99}) {
        Vec expected[kSeaPointCount];
        SeedRandom(0);
        const int32_t roundSeed = NextRandom();  // as every round's
        PlaceSeaPoints(roundSeed, time, expected);
        const double growth = SeaGrowth(time);
        for (int i = 0; i < kSeaPointCount; ++i) {
            const double* u = sea.u[i];
            const double a = 8.0 * u[3] + (0.3 * u[2] + 0.4) * time;
            const double b = 8.0 * u[5] + (0.3 * u[4] + 0.4) * time;
            const float x = static_cast<float>(growth * ((8.0 * u[0] - 4.0) + 3.0 * PortableSin(a)));
            const float y = static_cast<float>(growth * ((8.0 * u[1] - 4.0) + 3.0 * PortableSin(b)));
            if (x != expected[i].x || y != expected[i].y) {
                std::printf("blob %d at %g s: the table places it at (%g, %g), the game at (%g, %g)\n", i,
                            time, x, y, expected[i].x, expected[i].y);
                ++wrong;
            }
        }
    }
    std::printf("%s\n", wrong ? "the table's sea arguments are not the game's"
                              : "the table's sea arguments are the game's");
    return wrong ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 1) return Summary();
    if (argc == 2 && !std::strcmp(argv[1], "--self-check")) return SelfCheck();
    if (argc == 3 && !std::strcmp(argv[1], "--write")) return Write(argv[2]);
    if (argc == 3 && !std::strcmp(argv[1], "--compare")) return Compare(argv[2]);
    std::fprintf(stderr, "usage: game-maths-table [--write FILE | --compare FILE | --self-check]\n");
    return 2;
}
