// config.txt with both of its readers (the "config" section and the display settings of the
// global and theme sections), and the settings derived from them for a desktop.
#include <cstddef>
#include <cstdint>

#include "ground/text_decoding.h"
#include "resources/config.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = decodeTextFile(data, size);
    Diagnostics diagnostics;
    const ConfigSection section = readConfigSectionText(text, &diagnostics);
    if (section.frameRate <= 0) __builtin_trap();
    for (const char16_t* name : {u"VMA_Forest.zip", u"Forest", u"", u"VMA_.zip"}) {
        const DisplaySettings display = readDisplaySettingsText(text, name, &diagnostics);
        (void)deriveGlobalSettings(display, 0.0f, 1080.0f);
    }
    (void)readConfigSectionText(text);
    (void)themeDisplayName(section.defaultTheme);
    return 0;
}
