#pragma once
// What the commands of velmora-tool share: argument reading, the stand-in platform that lets the
// real core run without a desktop, and text output that is byte-identical on every platform.
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

#include "platform/host.h"
#include "platform/null/null_platform.h"
#include "ports/platform.h"

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

// The shell the core sees inside the tool: a tick counter the command sets, the system's
// directory search (so that themes are listed as the player lists them), and nothing else.
class ToolShell final : public NullShell {
public:
    std::uint32_t tick = 0;
    std::uint32_t tickCount() override { return tick; }
    std::vector<std::u16string> findFiles(const std::u16string& pattern) override;

private:
    std::unique_ptr<Shell> system_ = createSystemShell();
};

// The stand-in platform with an off-screen drawing device, installed for the core.
class ToolPlatform {
public:
    ToolPlatform();
    ~ToolPlatform();
    ToolPlatform(const ToolPlatform&) = delete;
    ToolPlatform& operator=(const ToolPlatform&) = delete;

    // Creates the off-screen device with a target of this size and marks the frame target made
    // in desktopHost. False (with a message on stderr) when the platform has no such device.
    bool createDevice(std::uint32_t targetWidth, std::uint32_t targetHeight);
    OffscreenGraphicsDevice* device() const { return device_.get(); }
    // Puts another device in front of the off-screen one (a decorator that records).
    void useDevice(GraphicsDevice& device);
    ToolShell shell;

private:
    std::unique_ptr<OffscreenGraphicsDevice> device_;
};

// programFolder = root with a trailing separator.
void setProgramFolder(const std::string& root);
// The desktop rectangle in desktopHost.
void setDesktop(const DesktopRect& rect);

// The installed themes of the program folder, exactly as the player's menu lists them.
std::vector<std::u16string> listThemes();

}  // namespace velmora::tool
