#pragma once
// A program folder on disk (config.txt, themes) with the fake window system, shell and drawing
// device installed; the desktop answers as the classic shell does unless a test builds another.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "support/fake_shell.h"
#include "support/fake_window_system.h"
#include "support/recording_graphics_device.h"
#include "support/temp_folder.h"

namespace velmora::testing {

class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Installs the fakes; the desktop of that layout is built first.
    void useDesktop(DesktopLayout layout);
    void writeFile(const std::string& relativePath, const std::string& text);
    void writeConfig(const std::string& text) { writeFile("config.txt", text); }
    // Lists these names for the themes searches.
    void listThemes(const std::vector<std::u16string>& folderSearch, const std::vector<std::u16string>& archiveSearch);
    // The program folder as the program sees it, ending with the separator.
    std::u16string programFolder() const;

    // Runs the program: start-up, then whileRunning inside the message loop, then "&Exit".
    // Returns the exit code.
    int runProgram(const std::function<void()>& whileRunning = {});
    // Sends a message to the program's window the way Windows would.
    std::intptr_t send(std::uint32_t message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    std::intptr_t command(std::uint32_t id) { return send(0x0111, id); }
    // A timer tick at that tick count.
    void tickAt(std::uint32_t tick);
    std::size_t framesDrawn() const { return device.count(DeviceCall::BeginDraw); }

    static constexpr InstanceHandle kTestInstance = 0x400000;

    TempFolder folder;
    FakeWindowSystem windows;
    FakeShell shell;
    RecordingGraphicsDevice device;
    std::vector<std::string> events;
};

}  // namespace velmora::testing
