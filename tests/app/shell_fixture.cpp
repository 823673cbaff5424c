#include "shell_fixture.h"

#include <unistd.h>

#include <fstream>

#include "ground/records.h"
#include "app/frame_timer.h"
#include "app/startup.h"
#include "app/menu.h"
#include "app/window_procedure.h"
#include "ports/platform.h"
#include "resources/theme_source.h"
#include "support/process_state.h"

namespace velmora::testing {

namespace {
int folderSerial = 0;
}

void ShellFixture::SetUp() {
    resetProcessState();
    folder = std::filesystem::temp_directory_path() /
             ("velmora_app_" + std::to_string(::getpid()) + "_" +
              std::to_string(++folderSerial));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "themes");
    shell.programPathValue = folder.u16string() + kPathSeparator + u"velmora.exe";
    shell.tick = 1000;
    windows.eventLog = &events;
    shell.eventLog = &events;
    useDesktop(DesktopLayout::Classic);
}

void ShellFixture::TearDown() {
    resetProcessState();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void ShellFixture::useDesktop(DesktopLayout layout) {
    windows.buildDesktop(layout);
    installPlatform(Platform{&windows, &shell, &device});
}

void ShellFixture::writeFile(const std::string& relativePath, const std::string& text) {
    const std::filesystem::path path = folder / relativePath;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void ShellFixture::listThemes(const std::vector<std::u16string>& folderSearch, const std::vector<std::u16string>& archiveSearch) {
    shell.listings[themeFolderPattern(programFolder())] = folderSearch;
    shell.listings[themeArchivePattern(programFolder())] = archiveSearch;
}

std::u16string ShellFixture::programFolder() const { return folder.u16string() + kPathSeparator; }

int ShellFixture::runProgram(const std::function<void()>& whileRunning) {
    if (whileRunning) windows.queueAction(whileRunning);
    windows.queueMessage(kWmCommand, kCommandExit);
    return runVelmora(kTestInstance);
}

std::intptr_t ShellFixture::send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return windowProcedure(windows.createdWindow, message, wParam, lParam);
}

void ShellFixture::tickAt(std::uint32_t tick) {
    shell.tick = tick;
    send(kWmTimer, kFrameTimerId);
}

}  // namespace velmora::testing
