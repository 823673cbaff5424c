#include "resources/archive_reader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "resources/archive_file.h"
#include "ground/text_decoding.h"
#include "unzip.h"

namespace velmora {

struct ArchiveReader {
    unzFile unzip = nullptr;
    std::int32_t openMember = -1;  // entry opened for reading, -1 for none
    // Ordinal of the directory entry minizip stands on; -1 when unknown (after a failed walk),
    // which makes the next move start again from the first entry.
    std::int64_t directoryIndex = -1;
    std::uint64_t entryCount = 0;
};

namespace {

// Entries minizip 1.x counts with the 16-bit "overflow hack": the directory is walked until it
// ends rather than to the stated count.
constexpr std::uint64_t kOverflowEntryCount = 0xffff;

// How much of a member is read per step; the buffer grows only as inflate delivers, so a member
// that states a large size but holds little never costs its stated size.
constexpr std::size_t kReadChunk = 256 * 1024;
// Room taken at once for a member's stated size: every real picture fits, and a member that
// only claims more grows past it only as its data really inflates.
constexpr std::size_t kTrustedReserve = 16 * 1024 * 1024;

unsigned char upperAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

bool sameNameIgnoringAsciiCase(const char* stored, std::size_t storedLength, const std::string& wanted) {
    if (storedLength != wanted.size()) return false;
    for (std::size_t i = 0; i < storedLength; ++i) {
        if (upperAscii(static_cast<unsigned char>(stored[i])) != upperAscii(static_cast<unsigned char>(wanted[i])))
            return false;
    }
    return true;
}

void closeOpenMember(ArchiveReader& reader) {
    if (reader.openMember >= 0) {
        unzCloseCurrentFile(reader.unzip);
        reader.openMember = -1;
    }
}

// Tells a file that merely could not be accepted from one that is a damaged ZIP: both start
// with a "PK" signature (a local header, or the end record of an empty archive).
ArchiveStatus classifyRejectedFile(const zlib_filefunc64_def& functions, const void* openPath) {
    voidpf stream = functions.zopen64_file(functions.opaque, openPath,
                                           ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
    if (stream == nullptr) return ArchiveStatus::CannotOpen;
    unsigned char head[4] = {};
    const uLong got = functions.zread_file(functions.opaque, stream, head, sizeof head);
    functions.zclose_file(functions.opaque, stream);
    if (got == sizeof head && head[0] == 'P' && head[1] == 'K' &&
        ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6)))
        return ArchiveStatus::Damaged;
    return ArchiveStatus::NotZip;
}

// Steps the directory to entry index: from the first entry when it lies behind the current one,
// then forward one entry at a time. Stops at the first directory read error.
bool moveToEntry(ArchiveReader& reader, std::int64_t index) {
    if (reader.directoryIndex < 0 || index < reader.directoryIndex) {
        reader.directoryIndex = -1;
        if (unzGoToFirstFile(reader.unzip) != UNZ_OK) return false;
        reader.directoryIndex = 0;
    }
    while (reader.directoryIndex < index) {
        if (unzGoToNextFile(reader.unzip) != UNZ_OK) {
            reader.directoryIndex = -1;
            return false;
        }
        ++reader.directoryIndex;
    }
    return true;
}

void setStatus(ArchiveStatus* out, ArchiveStatus value) {
    if (out != nullptr) *out = value;
}

}  // namespace

const char* archiveStatusText(ArchiveStatus status) {
    switch (status) {
        case ArchiveStatus::Ok: return "ok";
        case ArchiveStatus::MoreData: return "more data";
        case ArchiveStatus::CannotOpen: return "archive cannot be opened";
        case ArchiveStatus::NotZip: return "not a ZIP archive";
        case ArchiveStatus::Damaged: return "damaged archive";
        case ArchiveStatus::NotFound: return "not found";
        case ArchiveStatus::UnsupportedMethod: return "unsupported compression method";
        case ArchiveStatus::Encrypted: return "encrypted";
        case ArchiveStatus::ChecksumMismatch: return "checksum mismatch";
        case ArchiveStatus::Truncated: return "data ends before its stated size";
        case ArchiveStatus::TooLarge: return "too large";
    }
    return "unknown";
}

bool memberDelivered(ArchiveStatus status) {
    return status == ArchiveStatus::Ok || status == ArchiveStatus::ChecksumMismatch || status == ArchiveStatus::Truncated;
}

void closeArchive(ArchiveReader* reader) {
    if (reader == nullptr) return;
    if (reader->unzip != nullptr) {
        closeOpenMember(*reader);
        unzClose(reader->unzip);
    }
    delete reader;
}

ArchiveHandle openArchive(const std::u16string& path, ArchiveStatus* status) {
    ArchiveHandle none(nullptr, closeArchive);
    if (path.empty() || path.find(u'\0') != std::u16string::npos) {
        setStatus(status, ArchiveStatus::CannotOpen);
        return none;
    }
    zlib_filefunc64_def functions{};
    std::string storage;
    const void* openPath = prepareArchiveFile(path, functions, storage);
    unzFile unzip = unzOpen2_64(openPath, &functions);
    if (unzip == nullptr) {
        setStatus(status, classifyRejectedFile(functions, openPath));
        return none;
    }
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(unzip, &global) != UNZ_OK) {
        unzClose(unzip);
        setStatus(status, ArchiveStatus::Damaged);
        return none;
    }
    ArchiveHandle reader(new ArchiveReader, closeArchive);
    reader->unzip = unzip;
    reader->entryCount = global.number_entry;
    // Opening placed minizip on the first entry, when there is a readable one.
    reader->directoryIndex = -1;
    setStatus(status, ArchiveStatus::Ok);
    return reader;
}

MemberInfo findMember(ArchiveReader& reader, const std::u16string& name, ArchiveStatus* status) {
    const MemberInfo notFound;
    setStatus(status, ArchiveStatus::NotFound);
    const std::string wanted = encodeUtf8(name);
    if (wanted.size() > kMaxArchiveNameBytes || wanted.find('\0') != std::string::npos) return notFound;
    if (reader.entryCount == 0) return notFound;

    closeOpenMember(reader);
    reader.directoryIndex = -1;
    if (unzGoToFirstFile(reader.unzip) != UNZ_OK) {
        setStatus(status, ArchiveStatus::Damaged);
        return notFound;
    }
    reader.directoryIndex = 0;
    for (;;) {
        unz_file_info64 info{};
        char stored[kMaxArchiveNameBytes + 1];
        if (unzGetCurrentFileInfo64(reader.unzip, &info, stored, sizeof stored, nullptr, 0, nullptr, 0) != UNZ_OK) {
            reader.directoryIndex = -1;
            setStatus(status, ArchiveStatus::Damaged);
            return notFound;
        }
        // A stored name longer than the buffer was cut short and can never match.
        if (info.size_filename <= kMaxArchiveNameBytes && sameNameIgnoringAsciiCase(stored, info.size_filename, wanted)) {
            if (info.uncompressed_size > kMaxArchiveMemberSize || reader.directoryIndex > INT32_MAX) {
                setStatus(status, ArchiveStatus::TooLarge);
                return notFound;
            }
            setStatus(status, ArchiveStatus::Ok);
            return MemberInfo{static_cast<std::int32_t>(reader.directoryIndex),
                              static_cast<std::int32_t>(info.uncompressed_size)};
        }
        const int step = unzGoToNextFile(reader.unzip);
        if (step == UNZ_END_OF_LIST_OF_FILE) return notFound;
        if (step != UNZ_OK) {
            // With the 16-bit count the walk ends only where the directory stops parsing.
            const bool endOfOverflowedList = reader.entryCount == kOverflowEntryCount &&
                                             static_cast<std::uint64_t>(reader.directoryIndex) + 1 >= kOverflowEntryCount;
            reader.directoryIndex = -1;
            if (!endOfOverflowedList) setStatus(status, ArchiveStatus::Damaged);
            return notFound;
        }
        ++reader.directoryIndex;
    }
}

ReadResult readMember(ArchiveReader& reader, std::int32_t index, std::uint8_t* buffer, std::size_t count) {
    ReadResult result;
    if (index != reader.openMember) {
        closeOpenMember(reader);
        if (index < 0 || (reader.entryCount != kOverflowEntryCount && static_cast<std::uint64_t>(index) >= reader.entryCount)) {
            result.status = ArchiveStatus::Damaged;
            return result;
        }
        if (!moveToEntry(reader, index)) {
            result.status = ArchiveStatus::Damaged;
            return result;
        }
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(reader.unzip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            result.status = ArchiveStatus::Damaged;
            return result;
        }
        // Bit 0: traditional encryption; bit 6: strong encryption. No password is ever given,
        // and minizip would otherwise hand out the still encrypted bytes.
        if ((info.flag & 0x41u) != 0) {
            result.status = ArchiveStatus::Encrypted;
            return result;
        }
        if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
            result.status = ArchiveStatus::UnsupportedMethod;
            return result;
        }
        if (info.uncompressed_size > kMaxArchiveMemberSize) {
            result.status = ArchiveStatus::TooLarge;
            return result;
        }
        if (unzOpenCurrentFile(reader.unzip) != UNZ_OK) {
            result.status = ArchiveStatus::Damaged;
            return result;
        }
        reader.openMember = index;
    }

    while (result.bytes < count) {
        const std::size_t want = std::min<std::size_t>(count - result.bytes, kReadChunk);
        const ZPOS64_T before = unztell64(reader.unzip);
        const int got = unzReadCurrentFile(reader.unzip, buffer + result.bytes, static_cast<unsigned>(want));
        if (got < 0) {
            // The archive ran out or the data cannot be inflated further: what came before stays,
            // including what this call inflated before it failed (minizip counts it, but returns
            // only the error).
            const ZPOS64_T after = unztell64(reader.unzip);
            if (after > before) result.bytes += static_cast<std::size_t>(std::min<ZPOS64_T>(after - before, want));
            closeOpenMember(reader);
            result.status = ArchiveStatus::Truncated;
            return result;
        }
        if (got == 0) break;
        result.bytes += static_cast<std::size_t>(got);
    }
    if (unzeof(reader.unzip) != 1) {
        if (result.bytes == count) {
            result.status = ArchiveStatus::MoreData;
            return result;
        }
        // The data ended before the size the headers state.
        closeOpenMember(reader);
        result.status = ArchiveStatus::Truncated;
        return result;
    }
    // The whole member is read: closing it checks the CRC-32.
    const int closed = unzCloseCurrentFile(reader.unzip);
    reader.openMember = -1;
    result.status = closed == UNZ_CRCERROR ? ArchiveStatus::ChecksumMismatch
                    : closed == UNZ_OK     ? ArchiveStatus::Ok
                                           : ArchiveStatus::Damaged;
    return result;
}

std::vector<std::uint8_t> readArchiveBytes(const std::u16string& archivePath, const std::u16string& member,
                                           ArchiveStatus* status, std::uint64_t maxBytes) {
    std::vector<std::uint8_t> bytes;
    ArchiveStatus state = ArchiveStatus::Ok;
    ArchiveHandle reader = openArchive(archivePath, &state);
    if (reader) {
        const MemberInfo info = findMember(*reader, member, &state);
        if (info.index >= 0 && static_cast<std::uint64_t>(info.size) > maxBytes) {
            // Decided from the stated size, before anything is allocated; the read below never
            // goes past the stated size either, so a size that lies cannot pass the limit.
            state = ArchiveStatus::TooLarge;
        } else if (info.index >= 0) {
            const auto size = static_cast<std::size_t>(info.size);
            bytes.reserve(std::min(size, kTrustedReserve));
            ReadResult part;
            do {
                const std::size_t done = bytes.size();
                const std::size_t step = std::min(size - done, kReadChunk);
                bytes.resize(done + step);
                part = readMember(*reader, info.index, bytes.data() + done, step);
                bytes.resize(done + part.bytes);
            } while (part.status == ArchiveStatus::MoreData && bytes.size() < size);
            state = part.status;
            // minizip stops at the stated size, so a member never reads on past it; should it, the
            // member is as damaged as one whose directory cannot be read.
            if (state == ArchiveStatus::MoreData) state = ArchiveStatus::Damaged;
            // A checksum mismatch or data that stops early keeps what was read.
            if (!memberDelivered(state)) bytes = {};
        }
    }
    setStatus(status, state);
    bytes.shrink_to_fit();
    return bytes;
}

std::u16string readArchiveText(const std::u16string& archivePath, const std::u16string& member,
                               ArchiveStatus* status, std::uint64_t maxBytes) {
    const std::vector<std::uint8_t> bytes = readArchiveBytes(archivePath, member, status, maxBytes);
    return decodeUtf8(bytes.data(), bytes.size());
}

}  // namespace velmora
