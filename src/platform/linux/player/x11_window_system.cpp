#include "platform/linux/player/x11_window_system.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "app/front_door.h"
#include "app/frame_timer.h"
#include "app/shell_texts.h"
#include "ground/text_decoding.h"
#include "ports/window_system.h"
#include "platform/linux/player/player_support.h"
#include "platform/linux/player/x11_errors.h"

namespace velmora::x11 {

X11WindowSystem::X11WindowSystem(Display* display, const WindowShape& shape) : display_(display), shape_(shape) {
    // One desktop player per screen: the one that runs owns this selection.
    const std::string name = "_VELMORA_DESKTOP_S" + std::to_string(DefaultScreen(display_));
    selection_ = atom(name.c_str());
}

X11WindowSystem::~X11WindowSystem() {
    if (window_ != 0) XDestroyWindow(display_, window_);
    XFlush(display_);
}

Atom X11WindowSystem::atom(const char* name) { return XInternAtom(display_, name, False); }

WindowHandle X11WindowSystem::findWindow(std::u16string_view className) {
    if (className == kWindowClassName) {
        // Windows in a window of their own may play side by side; the desktop has room for one.
        if (!shape_.desktop) return 0;
        const Window owner = XGetSelectionOwner(display_, selection_);
        if (owner != None) otherDesktop_ = true;
        return owner;
    }
    return 0;
}

std::vector<MonitorArea> X11WindowSystem::enumDisplayMonitors() {
    if (!shape_.desktop || window_ == 0 || randrEventBase_ < 0) return {};
    const Window root = RootWindow(display_, DefaultScreen(display_));
    // The monitors lie on the root; the scenes are laid out from the window's corner.
    int windowX = 0, windowY = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window_, root, 0, 0, &windowX, &windowY, &child);
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(display_, root, True, &count);
    std::vector<MonitorArea> listed;
    for (int i = 0; i < count; ++i) {
        const XRRMonitorInfo& m = info[i];
        const RectI rect{m.x - windowX, m.y - windowY, m.x - windowX + m.width, m.y - windowY + m.height};
        if (m.primary) {
            listed.insert(listed.begin(), MonitorArea{rect});
        } else {
            listed.push_back(MonitorArea{rect});
        }
    }
    if (info != nullptr) XRRFreeMonitors(info);
    return posix::sceneMonitors(listed);
}

void X11WindowSystem::messageBox(std::u16string_view text, std::u16string_view caption) {
    std::fprintf(stderr, "velmora-tool: %s %s\n", encodeUtf8(caption).c_str(), encodeUtf8(text).c_str());
}

bool X11WindowSystem::registerWindowClass(const WindowClassInfo&) { return true; }

WindowHandle X11WindowSystem::createWindow(std::u16string_view, std::u16string_view title, InstanceHandle) {
    const int screen = DefaultScreen(display_);
    const Window root = RootWindow(display_, screen);
    std::uint32_t width = shape_.width, height = shape_.height;
    if (shape_.desktop) {
        XWindowAttributes rootAttributes{};
        XGetWindowAttributes(display_, root, &rootAttributes);
        width = static_cast<std::uint32_t>(rootAttributes.width);
        height = static_cast<std::uint32_t>(rootAttributes.height);
    }
    if (shape_.desktop) {
        // The scene would hide its icons, or it the scene: the player says so and ends.
        iconProgram_ = desktopIconProgram();
        if (!iconProgram_.empty()) return 0;
    }
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display_, screen);
    // The wallpaper takes no keys: a click on the desktop must not let Space or Q reach it.
    attributes.event_mask = ExposureMask | StructureNotifyMask | (shape_.desktop ? 0 : KeyPressMask);
    Window window = 0;
    {
        ErrorTrap trap(display_);
        window = XCreateWindow(display_, root, 0, 0, width, height, 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixel | CWEventMask, &attributes);
        if (trap.failed() || window == 0) {
            failure_ = "the X server refused a " + std::to_string(width) + "x" + std::to_string(height) + " window (" +
                       trap.errorText() + ")";
            schedule_.markFailed();
            return 0;
        }
    }

    XClassHint classHint{};
    char resourceName[] = "velmora";
    char resourceClass[] = "Velmora";
    classHint.res_name = resourceName;
    classHint.res_class = resourceClass;
    XSetClassHint(display_, window, &classHint);
    Atom deleteWindow = atom("WM_DELETE_WINDOW");
    XSetWMProtocols(display_, window, &deleteWindow, 1);
    // Nor focus: the window manager leaves the active window as it was when the desktop is clicked.
    XWMHints wmHints{};
    wmHints.flags = InputHint;
    wmHints.input = shape_.desktop ? False : True;
    XSetWMHints(display_, window, &wmHints);
    const long pid = static_cast<long>(getpid());
    XChangeProperty(display_, window, atom("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&pid),
                    1);
    XSizeHints sizeHints{};
    sizeHints.flags = PSize | PMinSize;
    sizeHints.width = static_cast<int>(width);
    sizeHints.height = static_cast<int>(height);
    sizeHints.min_width = 1;
    sizeHints.min_height = 1;
    if (shape_.desktop) {
        sizeHints.flags |= USPosition;
        const Atom type = atom("_NET_WM_WINDOW_TYPE_DESKTOP");
        XChangeProperty(display_, window, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&type), 1);
        const Atom states[] = {atom("_NET_WM_STATE_BELOW"), atom("_NET_WM_STATE_STICKY"), atom("_NET_WM_STATE_SKIP_TASKBAR"),
                               atom("_NET_WM_STATE_SKIP_PAGER")};
        XChangeProperty(display_, window, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states), 4);
        const long allDesktops = 0xFFFFFFFFl;
        XChangeProperty(display_, window, atom("_NET_WM_DESKTOP"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&allDesktops), 1);
        // Two players started at once both found no owner; the second to claim the desktop
        // finds the first here.
        XSetSelectionOwner(display_, selection_, window, CurrentTime);
        if (XGetSelectionOwner(display_, selection_) != window) {
            otherDesktop_ = true;
            XDestroyWindow(display_, window);
            return 0;
        }
        // The desktop follows the screen when its size changes, and its scenes the monitors
        // (xrandr --setmonitor reports itself as a ConfigureNotify of the root alone).
        XSelectInput(display_, root, StructureNotifyMask);
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        if (XRRQueryExtension(display_, &eventBase, &errorBase) && XRRQueryVersion(display_, &major, &minor) &&
            (major > 1 || (major == 1 && minor >= 5))) {
            randrEventBase_ = eventBase;
            XRRSelectInput(display_, root, RRScreenChangeNotifyMask);
        }
    }
    XSetWMNormalHints(display_, window, &sizeHints);

    window_ = window;
    width_ = width;
    height_ = height;
    setTitle(encodeUtf8(title));
    XMapWindow(display_, window_);
    if (shape_.desktop) XLowerWindow(display_, window_);
    XFlush(display_);
    windowCreated(window_);
    return window_;
}

void X11WindowSystem::setTitle(const std::string& utf8) {
    if (window_ == 0) return;
    XChangeProperty(display_, window_, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    // WM_NAME is Latin-1; whatever is not ASCII is shown as '?' there.
    std::string plain;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            plain += static_cast<char>(c);
        } else if ((c & 0xC0) != 0x80) {
            plain += '?';
        }
    }
    XStoreName(display_, window_, plain.c_str());
}

void X11WindowSystem::postQuitMessage(int exitCode) { schedule_.quit(exitCode); }

void X11WindowSystem::setTimer(WindowHandle, std::uintptr_t id, std::uint32_t intervalMs) { schedule_.setTimer(id, intervalMs); }

void X11WindowSystem::killTimer(WindowHandle, std::uintptr_t id) { schedule_.killTimer(id); }

int X11WindowSystem::runMessageLoop() {
    if (onLoopStart && !schedule_.failed() && !schedule_.quitting()) onLoopStart();
    // Set-up may have failed beyond going on (the frame buffer made during creation).
    if (schedule_.failed() || schedule_.quitting()) return schedule_.exitCode();
    const int connection = ConnectionNumber(display_);
    const auto never = [](std::uintptr_t) { return false; };
    const auto tick = [](std::uintptr_t id) { timerElapsed(id); };
    while (!schedule_.quitting()) {
        while (!schedule_.quitting() && XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handleEvent(event);
        }
        if (schedule_.quitting()) break;
        schedule_.runDue(never, tick);
        if (schedule_.quitting()) break;
        // XPending also sends what the work asked of the server.
        if (XPending(display_) > 0) continue;

        std::vector<pollfd> fds;
        fds.push_back(pollfd{connection, POLLIN, 0});
        schedule_.appendDescriptors(fds);
        if (poll(fds.data(), fds.size(), schedule_.pollTimeout(never)) <= 0) continue;
        if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
            // Xlib reports the lost connection (and ends the program) on its next read.
            XNoOp(display_);
            XSync(display_, False);
        }
        schedule_.dispatchDescriptors(fds, 1);
    }
    return schedule_.exitCode();
}

void X11WindowSystem::refuseSelectionRequest(const XSelectionRequestEvent& request) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = request.display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = None;
    reply.xselection.time = request.time;
    XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
}

void X11WindowSystem::handleEvent(XEvent& event) {
    switch (event.type) {
        case Expose:
            if (event.xexpose.window == window_ && event.xexpose.count == 0 && onExpose) onExpose();
            break;
        case ConfigureNotify: {
            const XConfigureEvent& configure = event.xconfigure;
            if (configure.window == window_) {
                const auto width = static_cast<std::uint32_t>(configure.width);
                const auto height = static_cast<std::uint32_t>(configure.height);
                if (width != width_ || height != height_) {
                    width_ = width;
                    height_ = height;
                    // Measured again and laid out once the sizes settle, as after a display change.
                    desktopChanged(DesktopChange::DisplaySettings);
                }
            } else if (shape_.desktop && window_ != 0 && configure.window == RootWindow(display_, DefaultScreen(display_))) {
                if (randrEventBase_ >= 0) XRRUpdateConfiguration(&event);
                XMoveResizeWindow(display_, window_, 0, 0, static_cast<unsigned>(configure.width), static_cast<unsigned>(configure.height));
                // The monitors may have changed within the same size; the display-change path
                // measures them again once the changes settle.
                desktopChanged(DesktopChange::DisplaySettings);
            }
            break;
        }
        case KeyPress:
            // A key sent to the desktop anyway (XSendEvent) is not the user's word to the wallpaper.
            if (onKey && !shape_.desktop) onKey(XLookupKeysym(&event.xkey, 0));
            break;
        case ClientMessage:
            if (event.xclient.window == window_ && event.xclient.message_type == atom("WM_PROTOCOLS") &&
                static_cast<Atom>(event.xclient.data.l[0]) == atom("WM_DELETE_WINDOW")) {
                quit(0);
            }
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == window_) {
                window_ = 0;
                quit(0);
            }
            break;
        case SelectionRequest:
            refuseSelectionRequest(event.xselectionrequest);
            break;
        case SelectionClear:
            if (shape_.desktop && event.xselectionclear.selection == selection_) {
                std::fputs("velmora-tool: another program took over the desktop; ending\n", stderr);
                postQuitMessage(0);
            }
            break;
        case MappingNotify:
            XRefreshKeyboardMapping(&event.xmapping);
            break;
        default:
            if (randrEventBase_ >= 0 && event.type == randrEventBase_ + RRScreenChangeNotify) {
                XRRUpdateConfiguration(&event);
                desktopChanged(DesktopChange::DisplaySettings);
            } else if (onOtherEvent) {
                onOtherEvent(event);
            }
            break;
    }
}

}  // namespace velmora::x11
