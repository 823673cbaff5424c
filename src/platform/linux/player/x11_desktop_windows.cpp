// The other programs' windows as the desktop player sees them: the window manager's EWMH
// properties answer the questions the automatic pause asks on Windows (the foreground window, its
// rectangle, state and monitor), so that the core's rule decides; and a desktop-icon program's
// window is found before the wallpaper hides it.
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "ground/text_decoding.h"
#include "platform/linux/player/x11_errors.h"
#include "platform/linux/player/x11_window_system.h"

namespace velmora::x11 {

namespace {

// A property the other programs write is read up to here, whatever it claims.
constexpr std::size_t kMostClients = 4096;
constexpr long kAllDesktops = 0xFFFFFFFFl;

std::int32_t clampToInt(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int64_t overlap(const RectI& a, const RectI& b) {
    const std::int64_t width = std::int64_t{std::min(a.right, b.right)} - std::max(a.left, b.left);
    const std::int64_t height = std::int64_t{std::min(a.bottom, b.bottom)} - std::max(a.top, b.top);
    return width > 0 && height > 0 ? width * height : 0;
}

// How far apart two rectangles lie (0 when they touch or overlap), squared.
std::int64_t gapSquared(const RectI& a, const RectI& b) {
    const std::int64_t dx = std::max<std::int64_t>({0, std::int64_t{b.left} - a.right, std::int64_t{a.left} - b.right});
    const std::int64_t dy = std::max<std::int64_t>({0, std::int64_t{b.top} - a.bottom, std::int64_t{a.top} - b.bottom});
    return dx * dx + dy * dy;
}

}  // namespace

std::vector<long> X11WindowSystem::longProperty(Window window, const char* name, std::size_t most) {
    std::vector<long> values;
    if (window == 0) return values;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ErrorTrap trap(display_);
    const int status = XGetWindowProperty(display_, window, atom(name), 0, static_cast<long>(most), False, AnyPropertyType, &type,
                                          &format, &count, &after, &data);
    if (status == Success && !trap.failed() && data != nullptr && format == 32) {
        const auto* longs = reinterpret_cast<const long*>(data);
        values.assign(longs, longs + count);
    }
    if (data != nullptr) XFree(data);
    return values;
}

std::vector<Atom> X11WindowSystem::windowStates(Window window) {
    std::vector<Atom> states;
    for (long value : longProperty(window, "_NET_WM_STATE")) states.push_back(static_cast<Atom>(value));
    return states;
}

WindowHandle X11WindowSystem::getForegroundWindow() {
    if (!shape_.desktop || window_ == 0) return 0;
    const Window root = RootWindow(display_, DefaultScreen(display_));
    const std::vector<long> active = longProperty(root, "_NET_ACTIVE_WINDOW", 1);
    if (!active.empty()) return static_cast<WindowHandle>(static_cast<unsigned long>(active.front()));
    // A window manager that keeps no active window still lists its windows bottom to top.
    const std::vector<long> stacking = longProperty(root, "_NET_CLIENT_LIST_STACKING", kMostClients);
    return stacking.empty() ? 0 : static_cast<WindowHandle>(static_cast<unsigned long>(stacking.back()));
}

bool X11WindowSystem::isWindowVisible(WindowHandle window) {
    if (window == 0) return false;
    XWindowAttributes attributes{};
    ErrorTrap trap(display_);
    const Status status = XGetWindowAttributes(display_, static_cast<Window>(window), &attributes);
    return status != 0 && !trap.failed() && attributes.map_state == IsViewable;
}

bool X11WindowSystem::isIconic(WindowHandle window) {
    const std::vector<Atom> states = windowStates(static_cast<Window>(window));
    if (std::find(states.begin(), states.end(), atom("_NET_WM_STATE_HIDDEN")) != states.end()) return true;
    const std::vector<long> wmState = longProperty(static_cast<Window>(window), "WM_STATE", 1);
    return !wmState.empty() && wmState.front() == IconicState;
}

bool X11WindowSystem::isZoomed(WindowHandle window) {
    const std::vector<Atom> states = windowStates(static_cast<Window>(window));
    const auto has = [&](const char* name) { return std::find(states.begin(), states.end(), atom(name)) != states.end(); };
    return has("_NET_WM_STATE_FULLSCREEN") || (has("_NET_WM_STATE_MAXIMIZED_VERT") && has("_NET_WM_STATE_MAXIMIZED_HORZ"));
}

bool X11WindowSystem::isWindowCloaked(WindowHandle window) {
    const std::vector<long> desktop = longProperty(static_cast<Window>(window), "_NET_WM_DESKTOP", 1);
    const std::vector<long> current = longProperty(RootWindow(display_, DefaultScreen(display_)), "_NET_CURRENT_DESKTOP", 1);
    if (desktop.empty() || current.empty()) return false;
    const long on = desktop.front() & kAllDesktops;
    return on != kAllDesktops && on != (current.front() & kAllDesktops);
}

std::u16string X11WindowSystem::getClassName(WindowHandle window) {
    if (window == 0) return {};
    for (long type : longProperty(static_cast<Window>(window), "_NET_WM_WINDOW_TYPE")) {
        if (static_cast<Atom>(type) == atom("_NET_WM_WINDOW_TYPE_DESKTOP")) return u"Progman";
        if (static_cast<Atom>(type) == atom("_NET_WM_WINDOW_TYPE_DOCK")) return u"Shell_TrayWnd";
    }
    XClassHint hint{};
    ErrorTrap trap(display_);
    std::u16string name;
    if (XGetClassHint(display_, static_cast<Window>(window), &hint) != 0 && !trap.failed() && hint.res_class != nullptr) {
        const std::string text = hint.res_class;
        name = decodeUtf8(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    return name;
}

std::optional<RectI> X11WindowSystem::outerRect(Window window) {
    const Window root = RootWindow(display_, DefaultScreen(display_));
    XWindowAttributes attributes{};
    int x = 0, y = 0, originX = 0, originY = 0;
    Window child = 0;
    {
        ErrorTrap trap(display_);
        if (XGetWindowAttributes(display_, window, &attributes) == 0 ||
            !XTranslateCoordinates(display_, window, root, 0, 0, &x, &y, &child) ||
            !XTranslateCoordinates(display_, window_, root, 0, 0, &originX, &originY, &child) || trap.failed()) {
            return std::nullopt;
        }
    }
    // GetWindowRect's rectangle holds the border and the frame: left, right, top, bottom as the
    // manager drew it.
    const std::int64_t border = std::clamp<std::int64_t>(attributes.border_width, 0, 1 << 16);
    std::int64_t left = border, right = border, top = border, bottom = border;
    const std::vector<long> frame = longProperty(window, "_NET_FRAME_EXTENTS", 4);
    if (frame.size() == 4) {
        const auto edge = [](long value) { return std::clamp<std::int64_t>(value, 0, 1 << 16); };
        left += edge(frame[0]);
        right += edge(frame[1]);
        top += edge(frame[2]);
        bottom += edge(frame[3]);
    }
    const std::int64_t innerLeft = std::int64_t{x} - originX, innerTop = std::int64_t{y} - originY;
    return RectI{clampToInt(innerLeft - left), clampToInt(innerTop - top), clampToInt(innerLeft + attributes.width + right),
                 clampToInt(innerTop + attributes.height + bottom)};
}

RectI X11WindowSystem::monitorRectOfWindow(WindowHandle window) {
    if (window_ == 0 || window == 0) return RectI{};
    const RectI whole{0, 0, static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_)};
    std::optional<RectI> rect = window == window_ ? std::optional<RectI>(whole) : outerRect(static_cast<Window>(window));
    if (!rect) return RectI{};
    const std::vector<MonitorArea> monitors = enumDisplayMonitors();
    if (monitors.empty()) return whole;
    // The primary monitor comes first and wins a tie, as MonitorFromWindow's does.
    const MonitorArea* best = &monitors.front();
    std::int64_t bestShare = -1;
    std::int64_t bestGap = std::numeric_limits<std::int64_t>::max();
    for (const MonitorArea& monitor : monitors) {
        const std::int64_t share = overlap(*rect, monitor.rect);
        const std::int64_t gap = gapSquared(*rect, monitor.rect);
        if (share > bestShare || (share == 0 && bestShare == 0 && gap < bestGap)) {
            best = &monitor;
            bestShare = share;
            bestGap = gap;
        }
    }
    return best->rect;
}

RectI X11WindowSystem::getWindowRect(WindowHandle window) {
    // The scene's coordinates start at the window's corner, wherever the window lies; another
    // program's window is told in the same coordinates (the desktop only).
    if (window == 0) return RectI{};
    if (window == window_) return RectI{0, 0, static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_)};
    if (!shape_.desktop || window_ == 0) return RectI{};
    return outerRect(static_cast<Window>(window)).value_or(RectI{});
}

std::string X11WindowSystem::desktopIconProgram() {
    const Window root = RootWindow(display_, DefaultScreen(display_));
    // Managed windows are listed by the window manager; without one they are the root's children.
    std::vector<Window> candidates;
    for (long client : longProperty(root, "_NET_CLIENT_LIST", kMostClients)) candidates.push_back(static_cast<Window>(client));
    {
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        ErrorTrap trap(display_);
        if (XQueryTree(display_, root, &rootReturn, &parent, &children, &count) != 0 && !trap.failed()) {
            candidates.insert(candidates.end(), children, children + std::min<unsigned int>(count, kMostClients));
        }
        if (children != nullptr) XFree(children);
    }
    const Atom desktopType = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    for (Window candidate : candidates) {
        if (candidate == window_ || candidate == 0) continue;
        const std::vector<long> types = longProperty(candidate, "_NET_WM_WINDOW_TYPE", 16);
        if (std::find(types.begin(), types.end(), static_cast<long>(desktopType)) == types.end()) continue;
        if (!isWindowVisible(candidate)) continue;
        XClassHint hint{};
        std::string name;
        {
            ErrorTrap trap(display_);
            if (XGetClassHint(display_, candidate, &hint) != 0 && !trap.failed() && hint.res_class != nullptr) name = hint.res_class;
        }
        if (hint.res_name != nullptr) XFree(hint.res_name);
        if (hint.res_class != nullptr) XFree(hint.res_class);
        // Another player's desktop (one that lost the race for the selection) is none.
        if (name == "Velmora") continue;
        // Only printable ASCII of a name another program chose reaches the terminal.
        std::string shown;
        for (char c : name.substr(0, 64)) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
        char id[32];
        std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(candidate));
        return (shown.empty() ? std::string("a program") : shown) + " (window " + id + ")";
    }
    return {};
}

}  // namespace velmora::x11
