#include "resources/theme_source.h"

#include <fstream>
#include <system_error>
#include <type_traits>
#include <utility>

#include "ground/records.h"
#include "resources/archive_reader.h"
#include "ground/text_decoding.h"

namespace velmora {

namespace {

// The whole file, or nothing when it cannot be opened or read or is larger than the cap. The size
// the file system states decides before anything is allocated; the read checks again, as the file
// may grow meanwhile.
bool readFolderFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream file;
    try {
        file.open(nativePath(path), std::ios::binary);
    } catch (...) {
        return false;
    }
    if (!file) return false;
    file.seekg(0, std::ios::end);
    const std::streamoff stated = file.tellg();
    file.seekg(0, std::ios::beg);
    if (!file) return false;
    if (stated > 0 && static_cast<std::uintmax_t>(stated) > kMaxTextFileSize) return false;
    if (stated > 0) bytes.reserve(static_cast<std::size_t>(stated));
    // Read in pieces appended as they come, so that the buffer is only as large as the file (a
    // file grown past the cap meanwhile is recognised at one piece past it).
    constexpr std::size_t kChunk = 16 * 1024;
    char piece[kChunk];
    while (file) {
        if (bytes.size() > kMaxTextFileSize) return false;
        file.read(piece, static_cast<std::streamsize>(kChunk));
        const std::streamsize got = file.gcount();
        if (got > 0) bytes.insert(bytes.end(), piece, piece + got);
    }
    if (file.bad() || bytes.size() > kMaxTextFileSize) return false;
    return true;
}

}  // namespace

ThemeSource makeThemeSource(std::u16string path) {
    ThemeSource source;
    source.isArchive = path.size() >= 4 && path.compare(path.size() - 4, 4, u".zip") == 0;
    source.path = std::move(path);
    return source;
}

ThemeSource withArchiveIndex(ThemeSource source) {
    if (!source.isArchive || source.archive) return source;
    source.archive = std::make_shared<ArchiveIndex>(source.path);
    return source;
}

ThemeSource themeSourceFor(const std::u16string& themeName) {
    std::u16string path = appState.programFolder;
    if (!path.empty() && path.back() != kPathSeparator) path += kPathSeparator;
    path += u"themes";
    path += kPathSeparator;
    path += themeName;
    return makeThemeSource(std::move(path));
}

ThemeSource programFolderSource() { return makeThemeSource(appState.programFolder); }

std::u16string memberPath(const ThemeSource& source, const std::u16string& member) {
    std::u16string path = source.path;
    path += kPathSeparator;
    path += member;
    return path;
}

std::u16string readText(const ThemeSource& source, const std::u16string& member) {
    if (source.isArchive) {
        if (source.archive) return source.archive->readText(member, nullptr, kMaxTextFileSize);
        return readArchiveText(source.path, member, nullptr, kMaxTextFileSize);
    }
    std::vector<std::uint8_t> bytes;
    if (!readFolderFile(memberPath(source, member), bytes)) return {};
    return decodeTextFile(bytes.data(), bytes.size());
}

std::u16string readThemeText(const std::u16string& themeName) {
    if (themeName.empty()) return {};
    return readText(themeSourceFor(themeName), u"theme.txt");
}

std::vector<std::uint8_t> readBytes(const ThemeSource& source, const std::u16string& member) {
    if (!source.isArchive) return {};
    if (source.archive) return source.archive->readBytes(member);
    return readArchiveBytes(source.path, member);
}

std::filesystem::path nativePath(const std::u16string& path) {
    using Native = std::filesystem::path::value_type;
    if constexpr (std::is_same_v<Native, wchar_t> && sizeof(wchar_t) == sizeof(char16_t)) {
        return std::filesystem::path(std::wstring(path.begin(), path.end()));
    } else {
        return std::filesystem::path(encodeUtf8(path));
    }
}

}  // namespace velmora
