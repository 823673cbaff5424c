#pragma once
// theme.txt into the Theme model.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// Something worth telling the author of a theme.txt; the parse itself reports nothing.
struct ParseDiagnostic {
    enum class Severity { Warning, Error };
    int line = 0;  // 1-based line of theme.txt
    Severity severity = Severity::Warning;
    std::string message;  // UTF-8
};

// Resets the Theme and fills it from theme.txt of currentTheme. A bad number throws
// NumberError: the lines before it stay committed, its own line and the later ones are not read.
void parseTheme();
// The same, also recording in diagnostics (when not null) unknown keywords and keys, pairs
// without a colon, clamped values, lines beyond the limits or the layer capacity, and the bad
// number (recorded as an error just before it is thrown).
void parseTheme(std::vector<ParseDiagnostic>* diagnostics);
// What parseTheme does with the text of theme.txt: reset the Theme, then fill it from text.
void parseThemeText(std::u16string_view text, std::vector<ParseDiagnostic>* diagnostics = nullptr);

}  // namespace velmora
