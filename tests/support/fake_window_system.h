#pragma once
// A window system for tests that behaves as Windows does: a scripted tree of top-level windows
// and their children, a "Progman" that reacts to 0x052C as a chosen shell does, and records of
// every message sent, message box, timer call and quit request. createWindow runs WM_CREATE
// through the Windows window procedure before it returns, and the message loop feeds a scripted
// list of messages to it.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/window_messages.h"
#include "ports/window_system.h"

namespace velmora::testing {

struct SentMessage {
    WindowHandle window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    friend bool operator==(const SentMessage&, const SentMessage&) = default;
};

struct ShownMessageBox {
    std::u16string text;
    std::u16string caption;
    friend bool operator==(const ShownMessageBox&, const ShownMessageBox&) = default;
};

struct TimerCall {
    bool set = false;  // SetTimer, else KillTimer
    WindowHandle window = 0;
    std::uintptr_t id = 0;
    std::uint32_t intervalMs = 0;
};

// How the shell's desktop windows look and answer 0x052C.
enum class DesktopLayout {
    // The 13/0 and 13/1 messages put a top-level "WorkerW" right after "Progman", which holds
    // the icon view. An unrelated "WorkerW" comes earlier in the window order.
    Classic,
    // Only the message with both parameters 0 makes that "WorkerW".
    SecondAttempt,
    // No message makes one.
    NeverAnswers,
    // Windows 11 24H2: the 13/x messages make a "WorkerW" child of "Progman" instead.
    ChildOfProgman,
    // No "Progman" at all (another shell).
    NoProgman,
};

inline constexpr std::intptr_t kFakeDefWindowProcResult = 0xDEF;

class FakeWindowSystem : public WindowSystem, public win32::MessageSystem {
public:
    // --- Window tree ------------------------------------------------------------------------
    // A top-level window at the end of the window order (the bottom).
    WindowHandle addTopLevel(const std::u16string& className);
    // A top-level window right after `after` in the window order.
    WindowHandle insertTopLevelAfter(WindowHandle after, const std::u16string& className);
    WindowHandle addChild(WindowHandle parent, const std::u16string& className);
    void setWindowRect(WindowHandle window, RectI rect);
    std::u16string classOf(WindowHandle window) const;
    std::vector<WindowHandle> topLevelWindows() const { return topLevel_; }
    // How a window shows; every window starts visible, restored and not cloaked.
    struct WindowLook {
        bool visible = true;
        bool minimised = false;
        bool maximised = false;
        bool cloaked = false;
    };
    void setWindowLook(WindowHandle window, WindowLook look);

    // Builds a desktop of that layout; windows "WorkerW" made later get `desktopRect`.
    void buildDesktop(DesktopLayout layout, RectI desktopRect = RectI{0, 0, 1920, 1080});
    WindowHandle progman() const { return progman_; }
    // The "WorkerW" the shell made in answer to 0x052C (0 while none).
    WindowHandle spawnedWorkerW() const { return spawnedWorkerW_; }
    // Extra reaction to every sent message, after the desktop's own.
    std::function<void(const SentMessage&)> onSendMessage;
    // The shell ends and starts again: every window of the desktop goes (with the children
    // made in it) and a new desktop of that layout comes, with new handles.
    void restartShell(DesktopLayout layout);
    // Only the shell's windows go (another shell, or a shell that has not come back yet).
    void endShell();
    // The desktop windows take this rectangle (a display change).
    void resizeDesktop(RectI desktopRect);
    bool exists(WindowHandle window) const { return windows_.count(window) != 0; }
    WindowHandle parentOf(WindowHandle window) const;
    // Children of a window, top of the z-order first.
    std::vector<WindowHandle> childrenOf(WindowHandle window) const;

    // --- Script -----------------------------------------------------------------------------
    bool failRegisterClass = false;
    bool failCreateWindow = false;
    PointI cursor{};
    // Messages the loop delivers to the program's window, in order, then actions between them.
    void queueMessage(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    void queueAction(std::function<void()> action);
    // The window getForegroundWindow answers.
    WindowHandle foreground = 0;
    // The monitors, the first the primary one; a window is on the one that holds most of it.
    std::vector<RectI> monitors{RectI{0, 0, 1920, 1080}};
    // Whether enumDisplayMonitors tells them (with monitorDpi, 96 where it has no entry); by
    // default the fake tells none, as a system that cannot tell monitors apart.
    bool reportMonitors = false;
    std::vector<std::uint32_t> monitorDpi;
    // Shared log of notable calls in order ("setTimer", "messageBox", ...), when set.
    std::vector<std::string>* eventLog = nullptr;

    // --- What happened ----------------------------------------------------------------------
    std::vector<SentMessage> sentMessages;
    std::vector<ShownMessageBox> messageBoxes;
    std::vector<TimerCall> timerCalls;
    std::vector<int> postedQuitCodes;
    std::vector<WindowHandle> foregroundWindows;
    std::vector<SentMessage> defWindowProcCalls;
    std::vector<WindowClassInfo> registeredClasses;
    std::vector<SentMessage> timedMessages;  // also in sentMessages
    struct LayeredChild {
        std::u16string className;
        WindowHandle parent = 0;
        RectI rect{};
        WindowHandle handle = 0;
    };
    std::vector<LayeredChild> layeredChildren;
    std::vector<WindowHandle> destroyedWindows;
    std::vector<WindowHandle> sessionNotifications;  // windows registered and not unregistered
    bool failLayeredChild = false;
    int enumerations = 0;
    int foregroundQueries = 0;
    WindowHandle createdWindow = 0;
    bool loopRan = false;
    // The interval of the running timer of that window and id, if one runs.
    std::optional<std::uint32_t> runningTimer(WindowHandle window, std::uintptr_t id) const;

    // --- WindowSystem ------------------------------------------------------------------------
    WindowHandle findWindow(std::u16string_view className) override;
    WindowHandle findWindowEx(WindowHandle parent, WindowHandle childAfter, std::u16string_view className) override;
    std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void enumWindows(const std::function<bool(WindowHandle)>& visit) override;
    RectI getWindowRect(WindowHandle window) override;
    bool setForegroundWindow(WindowHandle window) override;
    void messageBox(std::u16string_view text, std::u16string_view caption) override;
    bool registerWindowClass(const WindowClassInfo& info) override;
    WindowHandle createWindow(std::u16string_view className, std::u16string_view title, InstanceHandle instance) override;
    std::intptr_t defWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    int runMessageLoop() override;
    void postQuitMessage(int exitCode) override;
    void setTimer(WindowHandle window, std::uintptr_t id, std::uint32_t intervalMs) override;
    void killTimer(WindowHandle window, std::uintptr_t id) override;
    PointI getCursorPos() override;
    WindowHandle getForegroundWindow() override;
    bool isWindowVisible(WindowHandle window) override;
    bool isIconic(WindowHandle window) override;
    bool isZoomed(WindowHandle window) override;
    bool isWindowCloaked(WindowHandle window) override;
    std::u16string getClassName(WindowHandle window) override { return classOf(window); }
    RectI monitorRectOfWindow(WindowHandle window) override;
    std::vector<MonitorArea> enumDisplayMonitors() override;
    std::uint32_t registerWindowMessage(std::u16string_view name) override;
    bool isWindow(WindowHandle window) override { return exists(window); }
    bool sendMessageTimeout(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                            std::uint32_t timeoutMs) override;
    RectI getClientRect(WindowHandle window) override;
    WindowHandle windowAbove(WindowHandle window) override;
    WindowHandle createLayeredChildWindow(std::u16string_view className, WindowHandle parent, RectI rect) override;
    void setWindowPos(WindowHandle window, WindowHandle insertAfter, RectI rect) override;
    void destroyWindow(WindowHandle window) override;
    void registerSessionNotification(WindowHandle window) override;
    void unregisterSessionNotification(WindowHandle window) override;

private:
    struct Window {
        std::u16string className;
        WindowHandle parent = 0;
        std::vector<WindowHandle> children;
        RectI rect{};
        WindowLook look{};
    };
    WindowLook lookOf(WindowHandle window) const;
    WindowHandle make(const std::u16string& className, WindowHandle parent);
    void log(const std::string& event);
    void answerDesktopMessage(const SentMessage& sent);
    std::vector<WindowHandle>& siblingsOf(WindowHandle window);
    void remove(WindowHandle window);

    std::map<WindowHandle, Window> windows_;
    std::vector<WindowHandle> topLevel_;
    WindowHandle nextHandle_ = 0x100;
    DesktopLayout layout_ = DesktopLayout::NoProgman;
    WindowHandle progman_ = 0;
    WindowHandle spawnedWorkerW_ = 0;
    RectI desktopRect_{};
    std::deque<std::function<void()>> script_;
    std::map<std::pair<WindowHandle, std::uintptr_t>, std::uint32_t> timers_;
    std::map<std::u16string, std::uint32_t> registeredMessages_;
};

}  // namespace velmora::testing
