#pragma once
// Reading members of a ZIP archive (minizip over zlib's raw inflate), one member per open.
//
// A problem of an archive reads as an absent member (empty text, no bytes), except that a member
// whose checksum does not match or whose data stops before its stated size is delivered as far
// as it was read. The optional ArchiveStatus out-parameters say what happened, for the tools that
// report problems.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// Why a member read did or did not deliver the member.
enum class ArchiveStatus {
    Ok,                 // the whole member was read and its checksum matched
    MoreData,           // readMember filled the buffer and the member goes on
    CannotOpen,         // the archive file is missing or cannot be opened for reading
    NotZip,             // the file is not a ZIP archive
    Damaged,            // damaged directory, local header or data, or an invalid argument
    NotFound,           // no entry at the archive's root has that name
    UnsupportedMethod,  // neither stored nor deflate
    Encrypted,          // needs a password, which is never given
    ChecksumMismatch,   // the data read does not match the stated CRC-32; the bytes are delivered
    Truncated,          // the data stops before the stated size; the bytes read are delivered
    TooLarge,           // stated uncompressed size above the reader's limit
};

// Whether a member read with this status is delivered (Ok, and the two damaged ones whose bytes
// are kept).
bool memberDelivered(ArchiveStatus status);

// A short English description ("not a ZIP archive", ...).
const char* archiveStatusText(ArchiveStatus status);

// No picture or text of a theme comes near this; a member stated larger is read as absent
// rather than allocated.
inline constexpr std::uint64_t kMaxArchiveMemberSize = 256u * 1024u * 1024u;

// Names are compared as at most this many UTF-8 bytes; longer names are never found.
inline constexpr std::size_t kMaxArchiveNameBytes = 255;

struct MemberInfo {
    std::int32_t index = -1;  // ordinal in the central directory; -1 when not found
    std::int32_t size = 0;    // uncompressed size the directory states; 0 when not found
};

struct ArchiveReader;  // defined with the implementation

using ArchiveHandle = std::unique_ptr<ArchiveReader, void (*)(ArchiveReader*)>;

// Null when the file cannot be opened or is not a ZIP archive (status says which).
ArchiveHandle openArchive(const std::u16string& path, ArchiveStatus* status = nullptr);

// Looks the name up among the entries in directory order, comparing bytes after mapping only
// the ASCII letters a-z onto A-Z; the first match wins. Not found ({-1, 0}) also for a name of
// more than kMaxArchiveNameBytes, for an entry stated larger than kMaxArchiveMemberSize
// (status TooLarge) and when the directory cannot be read as far as the name (status Damaged).
MemberInfo findMember(ArchiveReader& reader, const std::u16string& name, ArchiveStatus* status = nullptr);

struct ReadResult {
    std::size_t bytes = 0;  // bytes delivered into the buffer by this call
    ArchiveStatus status = ArchiveStatus::Ok;
};

// Fills buffer with up to count uncompressed bytes of entry index, continuing where the previous
// call stopped when index is the member already open. Ok means the member ended within count and
// its checksum matched; MoreData that count was reached before its end; ChecksumMismatch that it
// ended and its checksum did not match; Truncated that its data stopped (ended, ran out or could
// not be inflated further) before the stated size. In each of these, bytes were delivered.
ReadResult readMember(ArchiveReader& reader, std::int32_t index, std::uint8_t* buffer, std::size_t count);

// Closes the member being read, the library handle and the file.
void closeArchive(ArchiveReader* reader);

// The two readers the theme sources use: open, find, read the whole member, close. A member
// stated larger than maxBytes is absent (TooLarge) before anything is allocated for it, and
// reading never goes past maxBytes. Absent (empty) on the problems that deliver nothing;
// status, when given, says what happened.
std::u16string readArchiveText(const std::u16string& archivePath, const std::u16string& member,
                               ArchiveStatus* status = nullptr, std::uint64_t maxBytes = kMaxArchiveMemberSize);
std::vector<std::uint8_t> readArchiveBytes(const std::u16string& archivePath, const std::u16string& member,
                                           ArchiveStatus* status = nullptr, std::uint64_t maxBytes = kMaxArchiveMemberSize);

}  // namespace velmora
