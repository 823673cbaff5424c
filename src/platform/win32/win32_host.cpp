// What the Windows layer offers velmora-tool and the checks run under Wine.
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <windows.h>

#include <cstdio>

#include "platform/host.h"
#include "platform/player.h"
#include "win32_shell.h"

namespace velmora {

std::unique_ptr<Shell> createSystemShell() { return std::make_unique<win32::Win32Shell>(); }

void prepareConsoleProgram() {
    _setmode(_fileno(stdout), _O_BINARY);
    // The imaging and drawing factories are COM objects; the player initialises COM the same way.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::FILE* openForReading(const std::filesystem::path& path) { return _wfopen(path.c_str(), L"rb"); }

// The Windows build has no WebP encoder and no live player: velmora.exe itself plays themes.
std::unique_ptr<AnimationWriter> createWebpAnimationWriter(OffscreenGraphicsDevice&, std::uint32_t, std::uint32_t,
                                                           const AnimationStyle&) {
    return nullptr;
}

int runPlayer(const PlayerOptions&) {
    std::fputs("velmora-tool: play is not available in the Windows build; velmora.exe plays the themes\n", stderr);
    return 2;
}

std::unique_ptr<ProgramFolder> openUserProgramFolder(std::string&) { return nullptr; }

int setAutostart(bool) {
    std::fputs("velmora-tool: autostart is for Linux desktops (their XDG autostart folder)\n", stderr);
    return 1;
}

}  // namespace velmora
