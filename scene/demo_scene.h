// DemoScene: the one scene object of the show. It owns the game state, the numbering of its textures and
// fragment effects, a frame's game steps (Step, no GL) and the drawing of what they left (Draw). Depends on
// the engine record, the frame inputs and the render target; the game's arithmetic lives in
// scene/mini_game.h, the layers in scene/scene_layers.h.
#pragma once
#include <cstdint>

#include "math/vec.h"
#include "scene/frame_inputs.h"

struct Engine;
struct RenderTargetContext;

// Texture slots of the scene, relative to textureBase.
constexpr int kFrameTextureSlot = 0;   // 1024 x 1024, holds the 800 x 600 world layer
constexpr int kGlowTextureSlot = 1;    // 128 x 128 blurred copy of the frame texture
constexpr int kSpareSmallSlot = 2;     // 128 x 128, created but never drawn with
constexpr int kSpareLargeSlot = 3;     // 512 x 512, created but never drawn with
constexpr int kBlobSpriteSlot = 11;    // the sea's blob sprite
constexpr int kDetailLayerSlot = 20;   // 512 x 512 detail layer
constexpr int kSeaLayerSlot = 21;      // 512 x 512 sea layer, enhanced in place
constexpr int kSpriteImageSlot = 400;  // 21 sprite images, group g member m at 400 + 3 (g - 1) + (m - 1)
constexpr int kSpriteGroups = 7;
constexpr int kSpriteMembers = 3;

// Fragment-effect slots.
constexpr int kBlurEffect = 0;
constexpr int kCircularBlurEffect = 2;
constexpr int kEnhanceEffect = 12;

constexpr int kSeaPointCount = 20;
constexpr int kTrailLength = 5;

// What a frame's picture shows of the game, where later steps of the same frame change it: Step keeps
// each value as it stands at the point of the frame that shows it, and the drawing reads them from here.
// (The layers are drawn before the countdown's count, the sprites and texts after it, everything but the
// film grain before the intro's end, which restarts the clock.)
struct FrameShown {
    double time = 0.0;            // the scene clock of the layers, the picture, the sprites and the texts
    double layerTimeLeft = 45.0;  // the countdown before this frame's count: the detail layer's sprites
    double timeLeft = 45.0;       // the countdown and the scores after this frame's count: the texts
    double score = 0.0;
    double highScore = 0.0;
    double helpTimer = 0.0;
    int32_t frameCount = 0;
    bool introActive = true;
    bool rescued = false;  // the help sign was touched in this frame: the score shows large and red
};

class DemoScene {
public:
    DemoScene();  // every Vec field becomes (kind 1, 0, 0, 0); Init sets the rest

    // The scene interface, in slot order (no virtual destructor: the one instance lives until exit).
    virtual void SetTime(const double* newTime);
    // Draws the frame that Step left: the layers, the passes and the composite. It changes no game state
    // (the generator it reseeds ends where Step left it) and leaves the window's GL state as it found it.
    // The frame delta is not read: the clock has moved in Step.
    virtual void Draw(const double* frameDelta, RenderTargetContext* target, Engine* engine,
                      FrameInputs* inputs);
    virtual void Reserved1();
    virtual void Init(Engine* engine);  // the textures and fragment effects, then ResetGame
    virtual void Reserved2();

    // One frame of the game, before anything is drawn and without GL (scene/mini_game.cpp): the clock,
    // the round, the help sign, movement, the sea and rescue tests, the sea's points, score and countdown,
    // the intro's end, and the music report into inputs.musicSteady. The runtime generator is drawn in the
    // order the drawn show always drew it, and left where the frame's drawing leaves it.
    void Step(double frameDelta, FrameInputs& inputs);

    // The game as a new show starts it, after the textures: the intro, round one. No GL.
    void ResetGame();
    // Starts a new round: keeps the better score, restarts the clock, the countdown and the player.
    void ResetRound();

    // The three layers rendered into textures every frame (scene/scene_layers.cpp); they read the state
    // Step left. The double of the first two is always 0.0; the detail layer seeds its particles from it.
    void DrawSeaLayer(Engine& engine, double seedOffset) const;
    void DrawDetailLayer(Engine& engine, double seedOffset) const;
    void DrawWorldLayer(Engine& engine) const;

    int32_t effectsEnabled = 1;  // set before Init by the start-up sequence
    double time = 0.0;           // scene clock, seconds; restarts with every round
    int32_t frameCount = 0;      // frames drawn since the last round reset
    int32_t textureBase = 0;     // added to every texture and effect slot
    double subSceneTuning[3] = {7.0, 0.6, 0.1};
    FrameInputs inputsCopy;         // refreshed at the start of every Draw
    bool insideSea = true;          // the first frame reads it before computing it: start inside
    Vec seaPoints[kSeaPointCount];  // placed by Step at this frame's clock, tested the next frame
    Vec helpTarget;
    Vec player;
    Vec velocity;             // units per second
    Vec trail[kTrailLength];  // ring of the last positions, indexed by frameCount mod 5
    double timeLeft = 45.0;
    double score = 0.0;
    double highScore = 0.0;
    double helpTimer = 0.0;  // seconds since the help sign was last placed
    int32_t roundSeed = 0;
    bool introActive = true;
    FrameShown shown;  // written by Step, read by the drawing
};

// The scene whose Draw is running; the layer callbacks reach their scene through it.
extern DemoScene* CurrentScene;

// Stores eye, centre and up into the engine's camera record as single-precision points.
void SetCamera(Engine& engine, double eyeX, double eyeY, double eyeZ, double centreX, double centreY,
               double centreZ, double upX, double upY, double upZ);
