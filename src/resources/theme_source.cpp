#include "resources/theme_source.h"

#include <system_error>
#include <type_traits>
#include <utility>

#include "ground/records.h"
#include "resources/archive_reader.h"
#include "resources/input_file.h"
#include "ground/text_decoding.h"

namespace velmora {


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
    // Only a regular file is read, decided before reading: a FIFO or a device reads as empty.
    std::vector<std::uint8_t> bytes;
    if (readRegularFile(memberPath(source, member), kMaxTextFileSize, bytes) != FileStatus::Ok) return {};
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
