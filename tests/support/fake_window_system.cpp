#include "support/fake_window_system.h"

#include <algorithm>


namespace velmora::testing {

namespace {

constexpr std::uint32_t kSpawnWorkerMessage = 0x052C;

std::string narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

}  // namespace

WindowHandle FakeWindowSystem::make(const std::u16string& className, WindowHandle parent) {
    const WindowHandle handle = nextHandle_;
    nextHandle_ += 0x10;
    windows_[handle] = Window{className, parent, {}, {}};
    return handle;
}

WindowHandle FakeWindowSystem::addTopLevel(const std::u16string& className) {
    const WindowHandle handle = make(className, 0);
    topLevel_.push_back(handle);
    return handle;
}

WindowHandle FakeWindowSystem::insertTopLevelAfter(WindowHandle after, const std::u16string& className) {
    const WindowHandle handle = make(className, 0);
    auto at = std::find(topLevel_.begin(), topLevel_.end(), after);
    topLevel_.insert(at == topLevel_.end() ? at : at + 1, handle);
    return handle;
}

WindowHandle FakeWindowSystem::addChild(WindowHandle parent, const std::u16string& className) {
    const WindowHandle handle = make(className, parent);
    windows_.at(parent).children.push_back(handle);
    return handle;
}

void FakeWindowSystem::setWindowRect(WindowHandle window, RectI rect) { windows_.at(window).rect = rect; }

void FakeWindowSystem::setWindowLook(WindowHandle window, WindowLook look) { windows_.at(window).look = look; }

FakeWindowSystem::WindowLook FakeWindowSystem::lookOf(WindowHandle window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? WindowLook{false, false, false, false} : it->second.look;
}

std::u16string FakeWindowSystem::classOf(WindowHandle window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? std::u16string() : it->second.className;
}

void FakeWindowSystem::buildDesktop(DesktopLayout layout, RectI desktopRect) {
    layout_ = layout;
    desktopRect_ = desktopRect;
    if (layout == DesktopLayout::NoProgman) {
        addTopLevel(u"Shell_TrayWnd");
        return;
    }
    // An unrelated "WorkerW" above the desktop, so that the search must start after the
    // window holding the icons.
    addTopLevel(u"WorkerW");
    addTopLevel(u"Shell_TrayWnd");
    progman_ = addTopLevel(u"Progman");
    addChild(progman_, u"SHELLDLL_DefView");
    setWindowRect(progman_, desktopRect);
}

void FakeWindowSystem::answerDesktopMessage(const SentMessage& sent) {
    if (sent.window != progman_ || progman_ == 0 || sent.message != kSpawnWorkerMessage) return;
    if (spawnedWorkerW_ != 0) return;
    const bool firstPair = sent.wParam == 0xD;
    const bool secondAttempt = sent.wParam == 0 && sent.lParam == 0;
    switch (layout_) {
        case DesktopLayout::Classic:
            if (firstPair) spawnedWorkerW_ = insertTopLevelAfter(progman_, u"WorkerW");
            break;
        case DesktopLayout::SecondAttempt:
            if (secondAttempt) spawnedWorkerW_ = insertTopLevelAfter(progman_, u"WorkerW");
            break;
        case DesktopLayout::ChildOfProgman:
            if (firstPair) spawnedWorkerW_ = addChild(progman_, u"WorkerW");
            break;
        case DesktopLayout::NeverAnswers:
        case DesktopLayout::NoProgman:
            break;
    }
    if (spawnedWorkerW_ != 0) setWindowRect(spawnedWorkerW_, desktopRect_);
}

void FakeWindowSystem::queueMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    script_.push_back([this, message, wParam, lParam] { win32::windowProcedure(createdWindow, message, wParam, lParam); });
}

void FakeWindowSystem::queueAction(std::function<void()> action) { script_.push_back(std::move(action)); }

void FakeWindowSystem::log(const std::string& event) {
    if (eventLog != nullptr) eventLog->push_back(event);
}

std::optional<std::uint32_t> FakeWindowSystem::runningTimer(WindowHandle window, std::uintptr_t id) const {
    auto it = timers_.find({window, id});
    if (it == timers_.end()) return std::nullopt;
    return it->second;
}

WindowHandle FakeWindowSystem::findWindow(std::u16string_view className) {
    for (WindowHandle window : topLevel_) {
        if (windows_.at(window).className == className) return window;
    }
    return 0;
}

WindowHandle FakeWindowSystem::findWindowEx(WindowHandle parent, WindowHandle childAfter, std::u16string_view className) {
    const std::vector<WindowHandle>* list = &topLevel_;
    if (parent != 0) {
        auto it = windows_.find(parent);
        if (it == windows_.end()) return 0;
        list = &it->second.children;
    }
    auto from = list->begin();
    if (childAfter != 0) {
        from = std::find(list->begin(), list->end(), childAfter);
        if (from == list->end()) return 0;
        ++from;
    }
    for (auto it = from; it != list->end(); ++it) {
        if (windows_.at(*it).className == className) return *it;
    }
    return 0;
}

std::intptr_t FakeWindowSystem::sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    const SentMessage sent{window, message, wParam, lParam};
    sentMessages.push_back(sent);
    log("sendMessage");
    answerDesktopMessage(sent);
    if (onSendMessage) onSendMessage(sent);
    return 0;
}

void FakeWindowSystem::enumWindows(const std::function<bool(WindowHandle)>& visit) {
    ++enumerations;
    log("enumWindows");
    // A copy: the order seen is the order when the enumeration started.
    const std::vector<WindowHandle> order = topLevel_;
    for (WindowHandle window : order) {
        if (!visit(window)) break;
    }
}

RectI FakeWindowSystem::getWindowRect(WindowHandle window) {
    auto it = windows_.find(window);
    return it == windows_.end() ? RectI{} : it->second.rect;
}

bool FakeWindowSystem::setForegroundWindow(WindowHandle window) {
    foregroundWindows.push_back(window);
    log("setForegroundWindow");
    return true;
}

void FakeWindowSystem::messageBox(std::u16string_view text, std::u16string_view caption) {
    messageBoxes.push_back(ShownMessageBox{std::u16string(text), std::u16string(caption)});
    log("messageBox " + narrow(text));
}

bool FakeWindowSystem::registerWindowClass(const WindowClassInfo& info) {
    log("registerWindowClass");
    if (failRegisterClass) return false;
    registeredClasses.push_back(info);
    return true;
}

WindowHandle FakeWindowSystem::createWindow(std::u16string_view className, std::u16string_view /*title*/, InstanceHandle /*instance*/) {
    log("createWindow");
    const auto registered = std::find_if(registeredClasses.begin(), registeredClasses.end(),
                                         [&](const WindowClassInfo& info) { return info.className == className; });
    if (failCreateWindow || registered == registeredClasses.end()) return 0;
    createdWindow = addTopLevel(std::u16string(className));
    win32::windowProcedure(createdWindow, win32::kWmCreate, 0, 0);
    log("createWindow done");
    return createdWindow;
}

std::intptr_t FakeWindowSystem::defWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    defWindowProcCalls.push_back(SentMessage{window, message, wParam, lParam});
    return kFakeDefWindowProcResult;
}

int FakeWindowSystem::runMessageLoop() {
    loopRan = true;
    log("runMessageLoop");
    while (postedQuitCodes.empty() && !script_.empty()) {
        std::function<void()> step = std::move(script_.front());
        script_.pop_front();
        step();
    }
    // A real loop would wait for ever; -1 tells the test that nothing asked it to end.
    return postedQuitCodes.empty() ? -1 : postedQuitCodes.front();
}

void FakeWindowSystem::postQuitMessage(int exitCode) {
    postedQuitCodes.push_back(exitCode);
    log("postQuitMessage");
}

void FakeWindowSystem::setTimer(WindowHandle window, std::uintptr_t id, std::uint32_t intervalMs) {
    timerCalls.push_back(TimerCall{true, window, id, intervalMs});
    timers_[{window, id}] = intervalMs;
    log("setTimer");
}

void FakeWindowSystem::killTimer(WindowHandle window, std::uintptr_t id) {
    timerCalls.push_back(TimerCall{false, window, id, 0});
    timers_.erase({window, id});
    log("killTimer");
}

PointI FakeWindowSystem::getCursorPos() { return cursor; }

WindowHandle FakeWindowSystem::getForegroundWindow() {
    ++foregroundQueries;
    return foreground;
}

bool FakeWindowSystem::isWindowVisible(WindowHandle window) { return lookOf(window).visible; }
bool FakeWindowSystem::isIconic(WindowHandle window) { return lookOf(window).minimised; }
bool FakeWindowSystem::isZoomed(WindowHandle window) { return lookOf(window).maximised; }
bool FakeWindowSystem::isWindowCloaked(WindowHandle window) { return lookOf(window).cloaked; }

std::vector<MonitorArea> FakeWindowSystem::enumDisplayMonitors() {
    std::vector<MonitorArea> areas;
    if (!reportMonitors) return areas;
    for (std::size_t i = 0; i < monitors.size(); ++i) areas.push_back(MonitorArea{monitors[i], i < monitorDpi.size() ? monitorDpi[i] : 96u});
    return areas;
}

RectI FakeWindowSystem::monitorRectOfWindow(WindowHandle window) {
    if (monitors.empty()) return RectI{};
    const RectI rect = getWindowRect(window);
    auto overlap = [&](const RectI& m) {
        const std::int64_t w = std::int64_t{std::min(rect.right, m.right)} - std::max(rect.left, m.left);
        const std::int64_t h = std::int64_t{std::min(rect.bottom, m.bottom)} - std::max(rect.top, m.top);
        return w > 0 && h > 0 ? w * h : 0;
    };
    // The primary monitor when the window lies on none.
    RectI best = monitors.front();
    std::int64_t bestOverlap = overlap(best);
    for (const RectI& m : monitors) {
        if (overlap(m) > bestOverlap) {
            best = m;
            bestOverlap = overlap(m);
        }
    }
    return best;
}

}  // namespace velmora::testing

namespace velmora::testing {

WindowHandle FakeWindowSystem::parentOf(WindowHandle window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? 0 : it->second.parent;
}

std::vector<WindowHandle> FakeWindowSystem::childrenOf(WindowHandle window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? std::vector<WindowHandle>{} : it->second.children;
}

std::vector<WindowHandle>& FakeWindowSystem::siblingsOf(WindowHandle window) {
    const WindowHandle parent = windows_.at(window).parent;
    return parent == 0 ? topLevel_ : windows_.at(parent).children;
}

void FakeWindowSystem::remove(WindowHandle window) {
    if (!exists(window)) return;
    for (WindowHandle child : std::vector<WindowHandle>(windows_.at(window).children)) remove(child);
    auto& siblings = siblingsOf(window);
    siblings.erase(std::find(siblings.begin(), siblings.end(), window));
    windows_.erase(window);
}

void FakeWindowSystem::endShell() {
    for (WindowHandle window : std::vector<WindowHandle>(topLevel_)) {
        if (window != createdWindow) remove(window);
    }
    progman_ = 0;
    spawnedWorkerW_ = 0;
}

void FakeWindowSystem::restartShell(DesktopLayout layout) {
    endShell();
    buildDesktop(layout, desktopRect_);
}

void FakeWindowSystem::resizeDesktop(RectI desktopRect) {
    desktopRect_ = desktopRect;
    if (progman_ != 0) setWindowRect(progman_, desktopRect);
    if (spawnedWorkerW_ != 0) setWindowRect(spawnedWorkerW_, desktopRect);
}

std::uint32_t FakeWindowSystem::registerWindowMessage(std::u16string_view name) {
    auto [it, added] = registeredMessages_.emplace(std::u16string(name), 0xC000 + static_cast<std::uint32_t>(registeredMessages_.size()));
    return it->second;
}

bool FakeWindowSystem::sendMessageTimeout(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                          std::uint32_t /*timeoutMs*/) {
    timedMessages.push_back(SentMessage{window, message, wParam, lParam});
    sendMessage(window, message, wParam, lParam);
    return exists(window);
}

RectI FakeWindowSystem::getClientRect(WindowHandle window) {
    const RectI r = getWindowRect(window);
    return RectI{0, 0, r.right - r.left, r.bottom - r.top};
}

WindowHandle FakeWindowSystem::windowAbove(WindowHandle window) {
    if (!exists(window)) return 0;
    const auto& siblings = siblingsOf(window);
    auto it = std::find(siblings.begin(), siblings.end(), window);
    return it == siblings.begin() ? 0 : *(it - 1);
}

WindowHandle FakeWindowSystem::createLayeredChildWindow(std::u16string_view className, WindowHandle parent, RectI rect) {
    if (failLayeredChild || !exists(parent)) return 0;
    // A new window comes at the top of its siblings.
    const WindowHandle handle = make(std::u16string(className), parent);
    auto& children = windows_.at(parent).children;
    children.insert(children.begin(), handle);
    const RectI origin = windows_.at(parent).rect;
    setWindowRect(handle, RectI{origin.left + rect.left, origin.top + rect.top, origin.left + rect.right, origin.top + rect.bottom});
    layeredChildren.push_back(LayeredChild{std::u16string(className), parent, rect, handle});
    return handle;
}

void FakeWindowSystem::setWindowPos(WindowHandle window, WindowHandle insertAfter, RectI rect) {
    if (!exists(window)) return;
    auto& siblings = siblingsOf(window);
    siblings.erase(std::find(siblings.begin(), siblings.end(), window));
    auto at = insertAfter == 0 ? siblings.begin() : std::find(siblings.begin(), siblings.end(), insertAfter);
    siblings.insert(at == siblings.end() || insertAfter == 0 ? at : at + 1, window);
    const WindowHandle parent = windows_.at(window).parent;
    const RectI origin = parent == 0 ? RectI{} : windows_.at(parent).rect;
    setWindowRect(window, RectI{origin.left + rect.left, origin.top + rect.top, origin.left + rect.right, origin.top + rect.bottom});
}

void FakeWindowSystem::destroyWindow(WindowHandle window) {
    log("destroyWindow");
    destroyedWindows.push_back(window);
    remove(window);
}

void FakeWindowSystem::registerSessionNotification(WindowHandle window) { sessionNotifications.push_back(window); }

void FakeWindowSystem::unregisterSessionNotification(WindowHandle window) {
    sessionNotifications.erase(std::remove(sessionNotifications.begin(), sessionNotifications.end(), window),
                               sessionNotifications.end());
}

}  // namespace velmora::testing
