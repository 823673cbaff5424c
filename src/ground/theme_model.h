#pragma once
// The in-memory theme: four scene pictures, two scalar parameters and five fixed arrays of
// layers. Per-instance state is kept as parallel arrays (one per property), sized once when the
// layer's line is committed; the frame loops only overwrite them.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ports/graphics_device.h"

namespace velmora {

inline constexpr int LayerCapacity = 128;

// One decoded picture. The bitmap is owned here and released exactly once, when the frame is
// reset, replaced or destroyed.
struct ImageFrame {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::shared_ptr<Bitmap> bitmap;  // shared by every frame that names the same picture file
    std::int32_t filter = 0;  // 0 nearest neighbour, 1 linear
};

struct Tween {
    float value = 0;
    float remaining = 0;
    float rate = 0;
    std::int32_t mode = 0;  // 0 rises, 1 falls
    float delay = 0;
    float delayRate = 0;
};

// The state parseTheme gives every character's appear and turn tweens; mode is set when the
// tween is started.
inline constexpr Tween kIdleTween{1.0f, 0.0f, 0.0f, 0, 0.0f, 0.0f};

// The words of theme.txt that the model keeps, each read once, when its layer's line is committed.
// Other stands for any word outside the vocabulary, and for none.
// Where a sprite row stands ("yposition"): on the floor, at the top of the drawing area, on the
// ground line, or (Other) at y = 0.
enum class SpriteAnchor : std::uint8_t { Other, Floor, Top, Bottom };
// How a character moves ("type"): along the floor, on a sine wave, between the copies of a sprite
// layer, or (Other) not at all, and then it is never shown.
enum class CharacterType : std::uint8_t { Other, Floor, Sine, Between };

struct ThemeParams {
    float width = -1.0f;
    float ycollider = 40.0f;
};

struct ParticleLayer {
    std::int32_t instances = 1;
    std::int32_t variations = 1;
    std::int32_t frames = 1;
    float xscroll = 3.125f;
    float xanimation = 0;
    float yanimation = 0;
    std::int32_t duration = 60;
    std::vector<std::int32_t> variation;
    std::vector<std::int32_t> frame;
    std::u16string name;
    std::int32_t clock = 0;
    std::int32_t lastStep = 0;
    std::vector<float> posX;
    std::vector<float> posY;
    std::vector<float> alpha;
    std::vector<float> alphaStep;
    std::vector<std::uint8_t> fadingOut;
    std::u16string ext;
    std::vector<std::vector<ImageFrame>> images;  // [variation][frame]
    std::int32_t linear = 0;
    // Left out of every frame: its instances would pass the frame's drawing budget.
    bool pastDrawBudget = false;
};

struct SpriteLayer {
    std::int32_t instances = 1;
    std::int32_t variations = 1;
    std::int32_t frames = 1;
    float xscroll = 50;
    float xanimation = 0;
    bool xoffset = false;
    SpriteAnchor yposition = SpriteAnchor::Other;
    std::int32_t ydirection = 1;
    std::int32_t xseparationmin = 1;
    std::int32_t xseparationmax = 1;
    std::int32_t yseparationmin = 1;
    std::int32_t yseparationmax = 1;
    std::int32_t duration = 60;
    std::vector<float> posX;
    std::vector<float> posY;
    std::vector<std::int32_t> variation;
    std::vector<std::int32_t> frame;
    std::u16string name;
    std::int32_t clock = 0;
    std::int32_t lastStep = 0;
    std::u16string ext;
    std::vector<std::vector<ImageFrame>> images;  // [variation][frame]
    std::int32_t linear = 0;
    // Left out of every frame: its instances would pass the frame's drawing budget.
    bool pastDrawBudget = false;
};

struct CharacterLayer {
    float appearTime = 0.5f;
    std::int32_t instances = 1;
    std::int32_t frames = 1;
    std::vector<float> posX;
    std::vector<std::uint8_t> entered;
    std::vector<float> posY;
    std::vector<std::int32_t> frame;
    std::vector<std::int32_t> direction;
    float speed = 0.025f;
    float xscroll = 50;
    std::u16string name;
    CharacterType type = CharacterType::Other;
    std::u16string between;  // the name of the sprite layer of a Between character
    std::int32_t duration = 100;
    std::int32_t clock = 0;
    std::int32_t lastStep = 0;
    std::vector<Tween> appear;
    std::vector<Tween> turn;
    std::u16string ext;
    std::vector<ImageFrame> images;  // [frame]
    std::int32_t linear = 0;
    // Left out of every frame: its instances would pass the frame's drawing budget.
    bool pastDrawBudget = false;
};

struct Theme {
    ThemeParams params;
    std::u16string floorName, ceilingName, backgroundName, screenName;
    ImageFrame floorImage, ceilingImage, backgroundImage, screenImage;
    std::array<ParticleLayer, LayerCapacity> backParticles, frontParticles;
    std::array<SpriteLayer, LayerCapacity> backSprites, frontSprites;
    std::array<CharacterLayer, LayerCapacity> characters;
    std::int32_t backParticleCount = 0;
    std::int32_t frontParticleCount = 0;
    std::int32_t backSpriteCount = 0;
    std::int32_t frontSpriteCount = 0;
    std::int32_t characterCount = 0;
};

// The one theme of the process, refilled in place at every theme load.
extern Theme theme;

// Bring all LayerCapacity elements of an array back to the reset state, releasing their
// pictures and per-instance arrays.
void resetParticleLayers(std::array<ParticleLayer, LayerCapacity>& layers);
void resetSpriteLayers(std::array<SpriteLayer, LayerCapacity>& layers);
void resetCharacterLayers(std::array<CharacterLayer, LayerCapacity>& layers);

// Everything of a theme back to the program-start state: every layer, name, picture and count.
void clearTheme(Theme& target);

}  // namespace velmora
