#pragma once
// What the commands of velmora-tool share: argument reading, the device and the setup of the
// headless session that runs the real core without a desktop, and text output that is
// byte-identical on every platform.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/headless_session.h"
#include "platform/host.h"

namespace velmora::tool {

// A command line the tool cannot act on; main prints it with the usage and exits with 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The options and the other words of one command's arguments. Options are "--name value" or
// "--name=value"; flags stand alone.
struct Arguments {
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
    std::vector<std::string> positional;

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    // The option's value; UsageError when it was not given.
    std::string required(const std::string& name) const;
};

Arguments parseArguments(const std::vector<std::string>& words, const std::set<std::string>& valued,
                         const std::set<std::string>& flags, bool allowPositional);

// Number options: UsageError naming the option when the text is not a whole number in range.
std::int64_t parseInteger(const std::string& option, const std::string& text, std::int64_t min, std::int64_t max);
double parseDecimal(const std::string& option, const std::string& text, double min, double max);

// The largest picture play and render make, on a side: beyond any screen, and its frame buffers
// stay within about a gigabyte.
inline constexpr std::int64_t kMaxTargetSide = 8192;

// The desktop rectangle: "WxH" (at 0,0) or "L,T,W,H"; width and height at least 1.
struct DesktopRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};
DesktopRect parseDesktop(const std::string& text);

// What the player would be shown on: the desktop rectangle and the monitors in its coordinates.
struct Desk {
    DesktopRect desktop;
    std::vector<Monitor> monitors;  // none with --desktop
};
// "WxH+X+Y[@DPI],..." in virtual-screen pixels (DPI 96 when absent, 48 to 960): the desktop is
// their bounding rectangle in virtual-screen pixels, as Windows gives the desktop window's (its
// left or top negative where a monitor lies left of or above the primary one, which holds the
// origin), and the monitors lie in it as they lie in the virtual screen, measured from its top
// left corner. Width and height from 1 to 32767.
Desk parseMonitors(const std::string& text);
// The one of --desktop and --monitors given (UsageError for both or neither).
Desk parseDesk(const Arguments& args);

// "T0,T1,...": unsigned 32-bit tick counts, at least one.
std::vector<std::uint32_t> parseTicks(const std::string& text);

// Command-line text (UTF-8) to the core's UTF-16 and back.
std::u16string fromUtf8(std::string_view text);
std::string toUtf8(std::u16string_view text);

// Standard output, byte for byte.
void writeOut(std::string_view text);

// The shortest text that reads back as the same float; NaN, Infinity and -Infinity otherwise.
std::string formatFloat(float value);
// A JSON string literal of UTF-8 text.
std::string jsonString(std::string_view utf8);

// The system's off-screen drawing device; null (with a message on stderr) when the platform has
// none.
std::unique_ptr<OffscreenGraphicsDevice> offscreenDevice();
// What a headless session of the tool starts from: the program folder root (UTF-8, "." when
// empty), the desktop rectangle, and the system's directory search for the theme list.
HeadlessSetup headlessSetup(const std::string& root, const DesktopRect& desktop);
// The same with the desk's monitors.
HeadlessSetup headlessSetup(const std::string& root, const Desk& desk);
// The message for a device that could not make its off-screen target of this size.
void reportNoTarget(std::uint32_t width, std::uint32_t height);

// The installed themes of the program folder, exactly as the player's menu lists them.
std::vector<std::u16string> listThemes();

}  // namespace velmora::tool
