#pragma once
// Reading members of a ZIP archive (minizip over zlib's raw inflate), one member per open.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

struct MemberInfo {
    std::int32_t index = -1;  // ordinal in the central directory; -1 when not found
    std::int32_t size = 0;    // uncompressed size the directory states; 0 when not found
};

struct ArchiveReader;  // defined with the implementation

// None (null) when the file cannot be opened or is not a ZIP archive.
std::unique_ptr<ArchiveReader, void (*)(ArchiveReader*)> openArchive(const std::u16string& path);
MemberInfo findMember(ArchiveReader& reader, const std::u16string& name);
// Fills buffer with up to count uncompressed bytes of entry index; returns the number of bytes
// delivered, or a negative status on a read, password or inflate error.
int readMember(ArchiveReader& reader, std::int32_t index, std::uint8_t* buffer, std::size_t count);
void closeArchive(ArchiveReader* reader);

// The two readers the theme sources use: open, find, read the whole member, close.
std::u16string readArchiveText(const std::u16string& archivePath, const std::u16string& member);
std::vector<std::uint8_t> readArchiveBytes(const std::u16string& archivePath, const std::u16string& member);

}  // namespace velmora
