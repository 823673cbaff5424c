#pragma once
// Where a theme's members (theme.txt, pictures) or config.txt are read from: a folder, or a
// .zip archive. Nothing is held open between reads, except an archive that a theme load reads
// many members of (withArchiveIndex), for as long as the load holds its source.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "resources/archive_reader.h"

namespace velmora {

// The platform's path separator: a backslash on Windows, a slash elsewhere. Paths are joined
// with it so that they name the same file on every platform.
inline constexpr char16_t kPathSeparator = static_cast<char16_t>(std::filesystem::path::preferred_separator);

// A text file (theme.txt, config.txt) larger than this reads as empty text, from a folder as from
// an archive: no real one comes near it, and a huge file must not exhaust memory.
inline constexpr std::uintmax_t kMaxTextFileSize = 16u * 1024u * 1024u;

struct ThemeSource {
    std::u16string path;
    bool isArchive = false;  // exactly when path ends with ".zip" (case-sensitive)
    // The archive opened once with its directory read, shared by the copies of the source; null
    // when each read opens the archive by itself.
    std::shared_ptr<ArchiveIndex> archive;
};

// A source for a path, deciding archive or folder from the name alone.
ThemeSource makeThemeSource(std::u16string path);
// The source with its archive opened and its directory read once, for reading many members
// (a theme load's pictures) each in constant time; reads give what they give without it. A
// folder source comes back as it is.
ThemeSource withArchiveIndex(ThemeSource source);

// programFolder + "themes" + separator + name (programFolder ends with the separator; one is
// added when it does not).
ThemeSource themeSourceFor(const std::u16string& themeName);
// The program folder as a source (config.txt is read from it).
ThemeSource programFolderSource();
// path + separator + member.
std::u16string memberPath(const ThemeSource& source, const std::u16string& member);
// The whole member as text; empty when it cannot be read. Folder files are decoded as
// decodeTextFile describes (byte-order marks, CR LF, NUL); archive members by readArchiveText.
std::u16string readText(const ThemeSource& source, const std::u16string& member);
// theme.txt of the theme of that entry name; empty for an empty name (no theme).
std::u16string readThemeText(const std::u16string& themeName);
// The whole uncompressed member of an archive source; empty when absent or unreadable, and for
// a folder source (its pictures are opened through memberPath).
std::vector<std::uint8_t> readBytes(const ThemeSource& source, const std::u16string& member);

// A native file-system path for a UTF-16 path (UTF-8 on POSIX systems; an unpaired surrogate
// becomes U+FFFD there).
std::filesystem::path nativePath(const std::u16string& path);

}  // namespace velmora
