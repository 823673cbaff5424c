#include "support/fake_shell.h"

namespace velmora::testing {

void FakeShell::log(const std::string& event) {
    if (eventLog != nullptr) eventLog->push_back(event);
}

void FakeShell::enableHeapTerminationOnCorruption() {
    ++heapTerminationCalls;
    log("heapTermination");
}

void FakeShell::initializeCom() {
    ++comInitializations;
    log("initializeCom");
}

IconHandle FakeShell::loadIcon(InstanceHandle instance, int resourceId, int size) {
    const IconHandle handle = missingIcons.count(resourceId) != 0 ? 0 : iconHandleFor(resourceId);
    loadedIcons.push_back(LoadedIcon{instance, resourceId, size, handle});
    log("loadIcon");
    return handle;
}

void FakeShell::destroyIcon(IconHandle icon) {
    destroyedIcons.push_back(icon);
    log("destroyIcon");
}

void FakeShell::notifyIcon(NotifyIconAction action, const NotifyIconRecord& record) {
    notifyCalls.push_back(NotifyCall{action, record});
    static const char* const names[] = {"notifyIcon Add", "notifyIcon Modify", "notifyIcon Delete"};
    log(names[static_cast<int>(action)]);
}

MenuHandle FakeShell::createPopupMenu() {
    const MenuHandle menu = nextMenu_++;
    createdMenus.push_back(menu);
    menuItems[menu];
    log("createPopupMenu");
    return menu;
}

void FakeShell::appendMenuItem(MenuHandle menu, std::uint32_t id, std::u16string_view text) {
    menuItems[menu].push_back(MenuItem{id, std::u16string(text), false});
}

void FakeShell::appendMenuSeparator(MenuHandle menu, std::uint32_t id) {
    menuItems[menu].push_back(MenuItem{id, {}, true});
}

void FakeShell::trackPopupMenu(MenuHandle menu, int x, int y, WindowHandle owner) {
    trackedMenus.push_back(TrackedMenu{menu, x, y, owner});
    log("trackPopupMenu");
    if (whileMenuOpen) whileMenuOpen();
}

std::vector<std::u16string> FakeShell::findFiles(const std::u16string& pattern) {
    searchedPatterns.push_back(pattern);
    log("findFiles");
    auto it = listings.find(pattern);
    return it == listings.end() ? std::vector<std::u16string>{} : it->second;
}

void FakeShell::shellOpen(const std::u16string& target) {
    openedTargets.push_back(target);
    log("shellOpen");
}

}  // namespace velmora::testing

namespace velmora::testing {

bool FakeShell::notifyIconChecked(NotifyIconAction action, const NotifyIconRecord& record) {
    const bool accepted = refusedIconCalls <= 0;
    if (!accepted) --refusedIconCalls;
    checkedNotifyCalls.push_back(NotifyCall{action, record});
    checkedNotifyResults.push_back(accepted);
    return accepted;
}

bool FakeShell::ignoreTimerResolutionThrottling() {
    ++throttlingOptOuts;
    return !noThrottlingOptOut;
}

bool FakeShell::beginTimerPeriod(std::uint32_t periodMs) {
    timerPeriodCalls.push_back("begin " + std::to_string(periodMs));
    if (noTimerPeriod) return false;
    ++timerPeriodDepth;
    return true;
}

void FakeShell::endTimerPeriod(std::uint32_t periodMs) {
    timerPeriodCalls.push_back("end " + std::to_string(periodMs));
    --timerPeriodDepth;
}

}  // namespace velmora::testing
