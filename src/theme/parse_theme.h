#pragma once
// theme.txt into the Theme model.
#include <cstdint>
#include <string_view>

#include "ground/diagnostics.h"
#include "ground/theme_model.h"

namespace velmora {

// Limits of one layer line. No real theme comes near them; they keep a line from making the
// program allocate without bound. A line beyond them is not committed and draws no random
// numbers, and reading goes on.
inline constexpr std::int32_t kMaxLayerInstances = 10000;
inline constexpr std::int32_t kMaxLayerVariations = 256;
inline constexpr std::int32_t kMaxLayerFrames = 1024;
inline constexpr std::int32_t kMaxLayerImages = 4096;  // variations x frames
// The instances of all layers of a theme together. The per-layer limits alone would let 640
// layers of 10000 instances through, and the frame loops visit every instance on every update.
inline constexpr std::int32_t kMaxThemeInstances = 50000;

struct ParseOptions {
    // Receives unknown keywords and keys, pairs without a colon, clamped values, lines beyond the
    // limits or the layer capacity, and bad numbers. May be null.
    Diagnostics* diagnostics = nullptr;
    // A bad number normally stops the parse (NumberError is thrown, the lines before it staying
    // committed). With this set, the line holding it is left out and the parse goes on: what the
    // author's check wants, to report everything at once.
    bool skipBadNumbers = false;
};

// Resets the Theme and fills it from theme.txt of currentTheme. A bad number throws NumberError:
// the lines before it stay committed, its own line and the later ones are not read.
void parseTheme(Diagnostics* diagnostics = nullptr);
// The worker: resets target and fills it from the text of a theme.txt.
void parseThemeText(std::u16string_view text, Theme& target, const ParseOptions& options = {});

}  // namespace velmora
