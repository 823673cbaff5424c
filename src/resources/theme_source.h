#pragma once
// Where a theme's members (theme.txt, pictures) or config.txt are read from: a folder, or a
// .zip archive. Nothing is held open between reads.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora {

// The platform's path separator: a backslash on Windows, a slash elsewhere. Paths are joined
// with it so that they name the same file on every platform.
inline constexpr char16_t kPathSeparator = static_cast<char16_t>(std::filesystem::path::preferred_separator);

struct ThemeSource {
    std::u16string path;
    bool isArchive = false;  // exactly when path ends with ".zip" (case-sensitive)
};

// A source for a path, deciding archive or folder from the name alone.
ThemeSource makeThemeSource(std::u16string path);
// programFolder + separator + "themes" + separator + name.
ThemeSource themeSourceFor(const std::u16string& themeName);
// The program folder as a source (config.txt is read from it).
ThemeSource programFolderSource();
// path + separator + member.
std::u16string memberPath(const ThemeSource& source, const std::u16string& member);
// The whole member as text; empty when it cannot be read.
std::u16string readText(const ThemeSource& source, const std::u16string& member);
// The whole uncompressed member of an archive source; empty when absent or unreadable.
std::vector<std::uint8_t> readBytes(const ThemeSource& source, const std::u16string& member);

// A native file-system path for a UTF-16 path.
std::filesystem::path nativePath(const std::u16string& path);

}  // namespace velmora
