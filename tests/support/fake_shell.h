#pragma once
// A shell for tests: a scripted program path, tick count and directory listings; records of
// icons, notification-icon calls (with the whole record), menus, menu tracking and every target
// opened.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/menu.h"
#include "ports/shell.h"

namespace velmora::testing {

struct LoadedIcon {
    InstanceHandle instance = 0;
    int resourceId = 0;
    int size = 0;
    IconHandle handle = 0;
};

struct NotifyCall {
    NotifyIconAction action = NotifyIconAction::Add;
    NotifyIconRecord record;
};

struct TrackedMenu {
    MenuHandle menu = 0;
    int x = 0;
    int y = 0;
    WindowHandle owner = 0;
};

class FakeShell : public Shell {
public:
    // --- Script -----------------------------------------------------------------------------
    std::u16string programPathValue;
    std::uint32_t tick = 0;
    // Directory listings by exact search pattern; any other pattern finds nothing.
    std::map<std::u16string, std::vector<std::u16string>> listings;
    // Icon resources that fail to load.
    std::set<int> missingIcons;
    // Runs while the popup menu is open (its own message loop).
    std::function<void()> whileMenuOpen;
    std::vector<std::string>* eventLog = nullptr;
    UserNotificationState notificationState = UserNotificationState::AcceptsNotifications;
    PowerStatus power{1, 0};  // on mains
    // Checked notification-icon calls refused, one less each time (a taskbar not ready yet).
    int refusedIconCalls = 0;
    // Frame pacing calls the system lacks.
    bool noThrottlingOptOut = false;
    bool noTimerPeriod = false;

    // The handle loadIcon gives a resource.
    static IconHandle iconHandleFor(int resourceId) { return static_cast<IconHandle>(0x7000 + resourceId); }

    // --- What happened ----------------------------------------------------------------------
    int heapTerminationCalls = 0;
    int comInitializations = 0;
    std::vector<LoadedIcon> loadedIcons;
    std::vector<IconHandle> destroyedIcons;
    std::vector<NotifyCall> notifyCalls;
    std::vector<MenuHandle> createdMenus;
    std::map<MenuHandle, std::vector<MenuItem>> menuItems;
    std::vector<TrackedMenu> trackedMenus;
    std::vector<std::u16string> searchedPatterns;
    std::vector<std::u16string> openedTargets;
    int notificationStateQueries = 0;
    int powerQueries = 0;
    std::vector<NotifyCall> checkedNotifyCalls;  // with their result in the record's order
    std::vector<bool> checkedNotifyResults;
    int throttlingOptOuts = 0;
    // timeBeginPeriod calls in force (begins less ends), and every call in order.
    int timerPeriodDepth = 0;
    std::vector<std::string> timerPeriodCalls;

    // --- Shell ------------------------------------------------------------------------------
    void enableHeapTerminationOnCorruption() override;
    void initializeCom() override;
    std::u16string programPath() override { return programPathValue; }
    std::uint32_t tickCount() override { return tick; }
    IconHandle loadIcon(InstanceHandle instance, int resourceId, int size) override;
    void destroyIcon(IconHandle icon) override;
    void notifyIcon(NotifyIconAction action, const NotifyIconRecord& record) override;
    MenuHandle createPopupMenu() override;
    void appendMenuItem(MenuHandle menu, std::uint32_t id, std::u16string_view text) override;
    void appendMenuSeparator(MenuHandle menu, std::uint32_t id) override;
    void trackPopupMenu(MenuHandle menu, int x, int y, WindowHandle owner) override;
    std::vector<std::u16string> findFiles(const std::u16string& pattern) override;
    void shellOpen(const std::u16string& target) override;
    UserNotificationState queryUserNotificationState() override {
        ++notificationStateQueries;
        return notificationState;
    }
    PowerStatus systemPowerStatus() override {
        ++powerQueries;
        return power;
    }
    bool notifyIconChecked(NotifyIconAction action, const NotifyIconRecord& record) override;
    bool ignoreTimerResolutionThrottling() override;
    bool beginTimerPeriod(std::uint32_t periodMs) override;
    void endTimerPeriod(std::uint32_t periodMs) override;

private:
    void log(const std::string& event);
    MenuHandle nextMenu_ = 0x9000;
};

}  // namespace velmora::testing
