#pragma once
// Reading members of a ZIP archive (minizip over zlib's raw inflate): one member per open, or
// many through an ArchiveIndex that opens the archive and reads its directory once.
//
// A problem of an archive reads as an absent member (empty text, no bytes), except that a member
// whose checksum does not match or whose data stops before its stated size is delivered as far
// as it was read. The optional ArchiveStatus out-parameters say what happened, for the tools that
// report problems.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
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

// The directory holds at most this many entries worth indexing; past them an ArchiveIndex notes
// names only in a filter of fixed size and looks a name the filter may hold up by walking the
// directory, as findMember does, so that a forged archive of countless tiny entries cannot make
// the table grow without bound.
inline constexpr std::size_t kMaxIndexedEntries = 1u << 18;
// Directory entries an ArchiveIndex walks for such lookups, all together; past them a name not in
// the table reads as Damaged. Each lookup is counted at the whole directory.
inline constexpr std::uint64_t kMaxWalkedEntries = std::uint64_t{16} * kMaxIndexedEntries;

// An ArchiveIndex reads an archive up to this size into memory while it lives.
inline constexpr std::uint64_t kMaxArchiveInMemory = 64u * 1024u * 1024u;

// An archive held open (read into memory when it is no larger than kMaxArchiveInMemory) with its
// central directory read once into a table of names, for reading many members (a theme's
// pictures) in time linear in their number rather than walking the directory from its start for
// each. Every lookup and read gives the same member, bytes and status as findMember,
// readArchiveBytes and readArchiveText on the same archive.
class ArchiveIndex {
public:
    explicit ArchiveIndex(const std::u16string& archivePath, std::size_t maxEntries = kMaxIndexedEntries);
    ArchiveIndex(const ArchiveIndex&) = delete;
    ArchiveIndex& operator=(const ArchiveIndex&) = delete;

    // Why the archive could not be opened (Ok when it was).
    ArchiveStatus openStatus() const { return openStatus_; }
    // findMember's answer; a found member is also where the next read of it starts.
    MemberInfo findMember(const std::u16string& name, ArchiveStatus* status = nullptr);
    // As readArchiveBytes and readArchiveText.
    std::vector<std::uint8_t> readBytes(const std::u16string& member, ArchiveStatus* status = nullptr,
                                        std::uint64_t maxBytes = kMaxArchiveMemberSize);
    std::u16string readText(const std::u16string& member, ArchiveStatus* status = nullptr,
                            std::uint64_t maxBytes = kMaxArchiveMemberSize);

private:
    struct Entry {
        std::int64_t index = 0;
        std::uint64_t size = 0;
        std::uint64_t directoryOffset = 0;  // where its record lies in the directory, for minizip
    };

    ArchiveStatus openStatus_ = ArchiveStatus::Ok;
    std::vector<std::uint8_t> bytes_;  // the archive file, when it is read from memory
    ArchiveHandle reader_{nullptr, closeArchive};
    // The first entry of each name, by the name with a-z mapped to A-Z.
    std::unordered_map<std::string, Entry> entries_;
    // What a name missing from the table reads as: NotFound when the walk reached the end of the
    // directory, Damaged when it stopped at an entry it could not read.
    ArchiveStatus missing_ = ArchiveStatus::NotFound;
    // The table stops short of the end of the directory: names missing from it that the filter may
    // hold are looked up by walking the directory.
    bool partial_ = false;
    // One bit per hash of each name past the table (8 Mi bits, three probes): empty when the
    // walk that fills it stopped early, and then every name is walked for.
    static constexpr std::size_t kFilterWords = std::size_t{1} << 17;
    static constexpr int kFilterProbes = 3;
    std::vector<std::uint64_t> filter_;
    std::uint64_t entriesSeen_ = 0;
    std::uint64_t entriesWalked_ = 0;
    void addToFilter(const std::string& key);
    bool filterMayHold(const std::string& key) const;
};

}  // namespace velmora
