// The Windows program's entry: installs the Win32 implementations of the platform interfaces
// and hands over to the portable program.
#include <windows.h>

#include "app/startup.h"
#include "direct2d_graphics_device.h"
#include "ports/platform.h"
#include "win32_shell.h"
#include "win32_window_system.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Never destroyed: the tear-down of the program's static records still reaches the shell
    // (to destroy the icons) and the theme's bitmaps belong to the device, whatever the order in
    // which static objects go.
    auto* windows = new velmora::win32::Win32WindowSystem;
    auto* shell = new velmora::win32::Win32Shell;
    auto* graphics = new velmora::win32::Direct2DGraphicsDevice;
    velmora::installPlatform(velmora::Platform{windows, shell, graphics});
    velmora::win32::installMessageSystem(windows);
    // The window procedure lets no exception out; this is for start-up itself (memory), which
    // then ends the program with 1 rather than through std::terminate.
    try {
        return velmora::runVelmora(reinterpret_cast<velmora::InstanceHandle>(instance));
    } catch (...) {
        return 1;
    }
}
