#include "shell_fixture.h"

#include "ground/records.h"
#include "app/frame_timer.h"
#include "app/startup.h"
#include "app/menu.h"
#include "platform/win32/window_messages.h"
#include "ports/platform.h"
#include "resources/theme_source.h"
#include "support/process_state.h"

namespace velmora::testing {

using namespace velmora::win32;

void ShellFixture::SetUp() {
    resetProcessState();
    std::filesystem::create_directories(folder / "themes");
    shell.programPathValue = programFolder() + u"velmora.exe";
    shell.tick = 1000;
    windows.eventLog = &events;
    shell.eventLog = &events;
    device.eventLog = &events;
    useDesktop(DesktopLayout::Classic);
}

void ShellFixture::TearDown() { resetProcessState(); }

void ShellFixture::useDesktop(DesktopLayout layout) {
    windows.buildDesktop(layout);
    installPlatform(Platform{&windows, &shell, &device});
    installMessageSystem(&windows);
}

void ShellFixture::writeFile(const std::string& relativePath, const std::string& text) { folder.write(relativePath, text); }

void ShellFixture::listThemes(const std::vector<std::u16string>& folderSearch, const std::vector<std::u16string>& archiveSearch) {
    shell.listings[themeFolderPattern(programFolder())] = folderSearch;
    shell.listings[themeArchivePattern(programFolder())] = archiveSearch;
}

std::u16string ShellFixture::programFolder() const { return folder.path().u16string() + kPathSeparator; }

int ShellFixture::runProgram(const std::function<void()>& whileRunning) {
    if (whileRunning) windows.queueAction(whileRunning);
    windows.queueMessage(kWmCommand, kCommandExit);
    return runVelmora(kTestInstance);
}

std::intptr_t ShellFixture::send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return win32::windowProcedure(windows.createdWindow, message, wParam, lParam);
}

void ShellFixture::tickAt(std::uint32_t tick) {
    shell.tick = tick;
    send(kWmTimer, kFrameTimerId);
}

}  // namespace velmora::testing
