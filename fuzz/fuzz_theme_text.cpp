// theme.txt as read from a theme folder: the bytes decoded as the folder reading decodes them,
// then parsed as the player parses (stopping at a bad number) and as check parses (leaving the
// line out and reporting everything).
#include <cstddef>
#include <cstdint>

#include "ground/records.h"
#include "ground/text_decoding.h"
#include "theme/parse_theme.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = decodeTextFile(data, size);
    resetRecords();
    try {
        parseThemeText(text, theme);
    } catch (const NumberError&) {
    }
    Diagnostics diagnostics;
    parseThemeText(text, theme, ParseOptions{&diagnostics, true});
    // The same bytes as an archive member reads them.
    parseThemeText(decodeUtf8(data, size), theme, ParseOptions{&diagnostics, true});
    resetRecords();
    return 0;
}
