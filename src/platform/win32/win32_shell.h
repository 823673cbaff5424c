#pragma once
// The shell and kernel services over Win32: heap and COM set-up, the program's path, the tick
// count, icons, the notification-area icon and its popup menu, directory search and ShellExecuteW.
#include "ports/shell.h"

namespace velmora::win32 {

class Win32Shell final : public Shell {
public:
    void enableHeapTerminationOnCorruption() override;
    void initializeCom() override;
    std::u16string programPath() override;
    std::uint32_t tickCount() override;

    IconHandle loadIcon(InstanceHandle instance, int resourceId, int size) override;
    void destroyIcon(IconHandle icon) override;

    void notifyIcon(NotifyIconAction action, const NotifyIconRecord& record) override;

    MenuHandle createPopupMenu() override;
    void appendMenuItem(MenuHandle menu, std::uint32_t id, std::u16string_view text) override;
    void appendMenuSeparator(MenuHandle menu, std::uint32_t id) override;
    void trackPopupMenu(MenuHandle menu, int x, int y, WindowHandle owner) override;

    std::vector<std::u16string> findFiles(const std::u16string& pattern) override;

    void shellOpen(const std::u16string& target) override;

    UserNotificationState queryUserNotificationState() override;
    PowerStatus systemPowerStatus() override;
    bool notifyIconChecked(NotifyIconAction action, const NotifyIconRecord& record) override;
    bool ignoreTimerResolutionThrottling() override;
    bool beginTimerPeriod(std::uint32_t periodMs) override;
    void endTimerPeriod(std::uint32_t periodMs) override;
};

}  // namespace velmora::win32
