#pragma once
// What each platform layer offers the programs built on it besides the ports themselves:
// velmora-tool and the tests reach the operating system only through these.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "ports/graphics_device.h"
#include "ports/shell.h"

namespace velmora {

// The system's shell services (directory listing, tick count, program path, ...).
std::unique_ptr<Shell> createSystemShell();

// A drawing device with no window, which can write its frames as PNG files.
std::unique_ptr<OffscreenGraphicsDevice> createOffscreenGraphicsDevice();

// Makes a command-line program's standard output write bytes as they are (no newline
// translation) and readies the system objects the drawing device is made of.
void prepareConsoleProgram();
bool stderrIsTerminal();
// fopen for reading in binary mode, with a path that may hold any characters.
std::FILE* openForReading(const std::filesystem::path& path);

}  // namespace velmora
