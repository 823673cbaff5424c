#include "tool_support.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/menu.h"
#include "ground/records.h"
#include "ground/text_decoding.h"
#include "resources/theme_source.h"

namespace velmora::tool {

std::string Arguments::value(const std::string& name, const std::string& fallback) const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
}

std::string Arguments::required(const std::string& name) const {
    auto it = options.find(name);
    if (it == options.end()) throw UsageError("missing option --" + name);
    return it->second;
}

Arguments parseArguments(const std::vector<std::string>& words, const std::set<std::string>& valued,
                         const std::set<std::string>& flags, bool allowPositional) {
    Arguments result;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
            std::string name = word.substr(2);
            std::string value;
            bool inlineValue = false;
            if (auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                inlineValue = true;
            }
            if (flags.count(name) != 0) {
                if (inlineValue) throw UsageError("option --" + name + " takes no value");
                result.flags.insert(name);
                continue;
            }
            if (valued.count(name) == 0) throw UsageError("unknown option --" + name);
            if (!inlineValue) {
                if (i + 1 >= words.size()) throw UsageError("option --" + name + " needs a value");
                value = words[++i];
            }
            if (result.options.count(name) != 0) throw UsageError("option --" + name + " given twice");
            result.options[name] = value;
            continue;
        }
        if (word.size() > 1 && word[0] == '-' && word != "-") throw UsageError("unknown option " + word);
        if (!allowPositional) throw UsageError("unexpected argument '" + word + "'");
        result.positional.push_back(word);
    }
    return result;
}

std::int64_t parseInteger(const std::string& option, const std::string& text, std::int64_t min, std::int64_t max) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max) {
        throw UsageError("--" + option + " needs a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
                         ", not '" + text + "'");
    }
    return value;
}

double parseDecimal(const std::string& option, const std::string& text, double min, double max) {
    // strtod would follow the locale's decimal point; the tool's numbers always use a dot.
    std::size_t i = 0;
    double whole = 0, fraction = 0, scale = 1;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, digits = true) whole = whole * 10 + (text[i] - '0');
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, digits = true) {
            scale /= 10;
            fraction += (text[i] - '0') * scale;
        }
    }
    const double value = whole + fraction;
    if (!digits || i != text.size() || value < min || value > max) {
        char range[96];
        std::snprintf(range, sizeof range, " needs a number from %g to %g, not '", min, max);
        throw UsageError("--" + option + range + text + "'");
    }
    return value;
}

DesktopRect parseDesktop(const std::string& text) {
    DesktopRect rect;
    const auto bad = [&] {
        return UsageError("--desktop needs WxH or L,T,W,H (whole numbers, width and height from 1 to 32767), not '" + text + "'");
    };
    const auto number = [&](const std::string& part, std::int64_t min, std::int64_t max) {
        std::int64_t value = 0;
        const char* end = part.data() + part.size();
        auto [ptr, ec] = std::from_chars(part.data(), end, value);
        if (part.empty() || ec != std::errc() || ptr != end || value < min || value > max) throw bad();
        return static_cast<std::int32_t>(value);
    };
    if (auto x = text.find('x'); x != std::string::npos && text.find(',') == std::string::npos) {
        rect.width = number(text.substr(0, x), 1, 32767);
        rect.height = number(text.substr(x + 1), 1, 32767);
        return rect;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (parts.size() != 4) throw bad();
    rect.left = number(parts[0], -1000000, 1000000);
    rect.top = number(parts[1], -1000000, 1000000);
    rect.width = number(parts[2], 1, 32767);
    rect.height = number(parts[3], 1, 32767);
    return rect;
}

Desk parseMonitors(const std::string& text) {
    const auto bad = [&] {
        return UsageError("--monitors needs WxH+X+Y[@DPI] separated by commas (width and height from 1 to 32767, DPI from 48 to 960), not '" +
                          text + "'");
    };
    // Reads a whole number from text at pos up to the first of the stops (or the end).
    const auto number = [&](std::size_t& pos, const char* stops, std::int64_t min, std::int64_t max, bool sign) {
        const std::size_t from = sign && pos < text.size() && text[pos] == '-' ? pos + 1 : pos;
        const std::size_t end = std::min(text.find_first_of(stops, from), text.size());
        std::string part = text.substr(pos, end - pos);
        if (!sign && (part.empty() || part[0] == '-')) throw bad();
        std::int64_t value = 0;
        const char* last = part.data() + part.size();
        auto [ptr, ec] = std::from_chars(part.data(), last, value);
        if (part.empty() || ec != std::errc() || ptr != last || value < min || value > max) throw bad();
        pos = end;
        return static_cast<std::int32_t>(value);
    };
    const auto expect = [&](std::size_t& pos, char c) {
        if (pos >= text.size() || text[pos] != c) throw bad();
        ++pos;
    };
    std::vector<Monitor> monitors;
    std::size_t pos = 0;
    for (;;) {
        if (monitors.size() == 64) throw UsageError("--monitors takes at most 64 monitors");
        Monitor m;
        m.width = number(pos, "x", 1, 32767, false);
        expect(pos, 'x');
        m.height = number(pos, "+-", 1, 32767, false);
        // "+-10" and "-10" both give a negative position.
        if (pos < text.size() && text[pos] == '+') ++pos;
        if (pos >= text.size()) throw bad();
        m.left = number(pos, "+-", -1000000, 1000000, true);
        if (pos < text.size() && text[pos] == '+') ++pos;
        if (pos >= text.size()) throw bad();
        m.top = number(pos, "@,", -1000000, 1000000, true);
        if (pos < text.size() && text[pos] == '@') {
            ++pos;
            m.dpi = number(pos, ",", 48, 960, false);
        }
        monitors.push_back(m);
        if (pos == text.size()) break;
        expect(pos, ',');
    }
    std::int64_t left = monitors[0].left, top = monitors[0].top, right = left, bottom = top;
    for (const Monitor& m : monitors) {
        left = std::min<std::int64_t>(left, m.left);
        top = std::min<std::int64_t>(top, m.top);
        right = std::max<std::int64_t>(right, std::int64_t{m.left} + m.width);
        bottom = std::max<std::int64_t>(bottom, std::int64_t{m.top} + m.height);
    }
    if (right - left > 32767 || bottom - top > 32767) throw UsageError("--monitors: the monitors lie within at most 32767 pixels on a side");
    Desk desk;
    desk.desktop.left = static_cast<std::int32_t>(left);
    desk.desktop.top = static_cast<std::int32_t>(top);
    desk.desktop.width = static_cast<std::int32_t>(right - left);
    desk.desktop.height = static_cast<std::int32_t>(bottom - top);
    for (Monitor& m : monitors) {
        m.left = static_cast<std::int32_t>(m.left - left);
        m.top = static_cast<std::int32_t>(m.top - top);
    }
    desk.monitors = std::move(monitors);
    return desk;
}

Desk parseDesk(const Arguments& args) {
    if (args.has("desktop") && args.has("monitors")) throw UsageError("give either --desktop or --monitors, not both");
    if (args.has("monitors")) return parseMonitors(args.value("monitors"));
    return Desk{parseDesktop(args.required("desktop")), {}};
}

std::vector<std::uint32_t> parseTicks(const std::string& text) {
    std::vector<std::uint32_t> ticks;
    std::size_t start = 0;
    for (;;) {
        auto comma = text.find(',', start);
        const std::string part = text.substr(start, comma - start);
        std::uint32_t value = 0;
        const char* end = part.data() + part.size();
        auto [ptr, ec] = std::from_chars(part.data(), end, value);
        if (part.empty() || ec != std::errc() || ptr != end) {
            throw UsageError("--ticks needs tick counts from 0 to 4294967295 separated by commas, not '" + text + "'");
        }
        ticks.push_back(value);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return ticks;
}

std::u16string fromUtf8(std::string_view text) {
    return decodeUtf8(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string toUtf8(std::u16string_view text) { return encodeUtf8(text); }

void writeOut(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

std::string formatFloat(float value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    char buffer[64];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return "NaN";  // cannot happen with this buffer
    return std::string(buffer, ptr);
}

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

std::unique_ptr<OffscreenGraphicsDevice> offscreenDevice() {
    std::unique_ptr<OffscreenGraphicsDevice> device = createOffscreenGraphicsDevice();
    if (!device) {
        std::fputs("velmora-tool: this build has no off-screen drawing device, so pictures cannot be decoded or drawn\n", stderr);
    }
    return device;
}

HeadlessSetup headlessSetup(const std::string& root, const DesktopRect& desktop) {
    static const std::unique_ptr<Shell> system = createSystemShell();
    HeadlessSetup setup;
    setup.programFolder = fromUtf8(root.empty() ? std::string_view(".") : std::string_view(root));
    setup.left = desktop.left;
    setup.top = desktop.top;
    setup.width = desktop.width;
    setup.height = desktop.height;
    setup.services = system.get();
    return setup;
}

HeadlessSetup headlessSetup(const std::string& root, const Desk& desk) {
    HeadlessSetup setup = headlessSetup(root, desk.desktop);
    setup.monitors = desk.monitors;
    return setup;
}

void reportNoTarget(std::uint32_t width, std::uint32_t height) {
    std::fprintf(stderr, "velmora-tool: cannot create a %ux%u off-screen drawing target\n", width, height);
}

std::vector<std::u16string> listThemes() { return findTrayMenuModel(appState.programFolder).themeList; }

}  // namespace velmora::tool
