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
// Deflate turns one byte into at most 1032 (a 258-byte match in two one-bit codes).
constexpr std::uint64_t kMaxDeflateRatio = 1032;

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

namespace {
ArchiveHandle openArchiveWith(const zlib_filefunc64_def& functions, const void* openPath, ArchiveStatus* status);
}  // namespace

ArchiveHandle openArchive(const std::u16string& path, ArchiveStatus* status) {
    if (path.empty() || path.find(u'\0') != std::u16string::npos) {
        setStatus(status, ArchiveStatus::CannotOpen);
        return ArchiveHandle(nullptr, closeArchive);
    }
    zlib_filefunc64_def functions{};
    std::string storage;
    const void* openPath = prepareArchiveFile(path, functions, storage);
    return openArchiveWith(functions, openPath, status);
}

namespace {

ArchiveHandle openArchiveWith(const zlib_filefunc64_def& functions, const void* openPath, ArchiveStatus* status) {
    ArchiveHandle none(nullptr, closeArchive);
    zlib_filefunc64_def copy = functions;
    unzFile unzip = unzOpen2_64(openPath, &copy);
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

// An archive read into memory, and minizip's file functions over it with the meaning stdio's
// have: a seek may pass the end (reads there deliver nothing), not the start.
struct MemoryFile {
    const std::vector<std::uint8_t>* bytes = nullptr;
    std::uint64_t position = 0;
};

voidpf ZCALLBACK openMemory(voidpf, const void* bytes, int) {
    return new MemoryFile{static_cast<const std::vector<std::uint8_t>*>(bytes), 0};
}

uLong ZCALLBACK readMemory(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* file = static_cast<MemoryFile*>(stream);
    const std::uint64_t length = file->bytes->size();
    if (file->position >= length) return 0;
    const auto count = static_cast<uLong>(std::min<std::uint64_t>(size, length - file->position));
    const std::uint8_t* from = file->bytes->data() + file->position;
    // minizip reads its headers field by field, two and four bytes at a time.
    if (count <= 8) {
        for (uLong i = 0; i < count; ++i) static_cast<std::uint8_t*>(buffer)[i] = from[i];
    } else {
        std::memcpy(buffer, from, count);
    }
    file->position += count;
    return count;
}

uLong ZCALLBACK writeMemory(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellMemory(voidpf, voidpf stream) { return static_cast<MemoryFile*>(stream)->position; }

long ZCALLBACK seekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* file = static_cast<MemoryFile*>(stream);
    std::uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = file->position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END) base = file->bytes->size();
    else if (origin != ZLIB_FILEFUNC_SEEK_SET) return -1;
    const std::optional<std::uint64_t> target = seekTarget(base, offset);
    if (!target) return -1;
    file->position = *target;
    return 0;
}

int ZCALLBACK closeMemory(voidpf, voidpf stream) {
    delete static_cast<MemoryFile*>(stream);
    return 0;
}

int ZCALLBACK memoryError(voidpf, voidpf) { return 0; }

constexpr zlib_filefunc64_def kMemoryFunctions = {openMemory, readMemory, writeMemory, tellMemory,
                                                  seekMemory, closeMemory, memoryError, nullptr};

// The whole archive file, read with the platform's file functions; false when it cannot be
// opened or read, or is larger than the limit.
bool readWholeArchive(const std::u16string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes) {
    if (path.empty() || path.find(u'\0') != std::u16string::npos) return false;
    zlib_filefunc64_def functions{};
    std::string storage;
    const void* openPath = prepareArchiveFile(path, functions, storage);
    voidpf stream = functions.zopen64_file(functions.opaque, openPath, ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
    if (stream == nullptr) return false;
    bool ok = functions.zseek64_file(functions.opaque, stream, 0, ZLIB_FILEFUNC_SEEK_END) == 0;
    const ZPOS64_T size = ok ? functions.ztell64_file(functions.opaque, stream) : 0;
    ok = ok && size != static_cast<ZPOS64_T>(-1) && size <= limit &&
         functions.zseek64_file(functions.opaque, stream, 0, ZLIB_FILEFUNC_SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const auto want = static_cast<uLong>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            const uLong got = functions.zread_file(functions.opaque, stream, bytes.data() + done, want);
            if (got == 0) break;
            done += got;
        }
        // A file that shrank or grew while it was read is left to the file functions.
        unsigned char more = 0;
        ok = done == bytes.size() && functions.zread_file(functions.opaque, stream, &more, 1) == 0;
    }
    functions.zclose_file(functions.opaque, stream);
    if (!ok) bytes = {};
    return ok;
}

}  // namespace

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

namespace {

// The whole of a found member, up to maxBytes: what was read when it read through, or when its
// checksum fails or its data stops early; empty on the problems that deliver nothing.
std::vector<std::uint8_t> readWholeMember(ArchiveReader& reader, const MemberInfo& info, ArchiveStatus& state,
                                          std::uint64_t maxBytes) {
    std::vector<std::uint8_t> bytes;
    if (static_cast<std::uint64_t>(info.size) > maxBytes) {
        // Decided from the stated size, before anything is allocated; the read below never goes
        // past the stated size either, so a size that lies cannot pass the limit.
        state = ArchiveStatus::TooLarge;
        return bytes;
    }
    const auto size = static_cast<std::size_t>(info.size);
    // The stated size is taken at once when the compressed data could hold it, so that an honest
    // member is read into one buffer of its size (growing by doubling, then shrinking, would
    // copy it twice); a member that only claims more grows past kTrustedReserve only as its data
    // really inflates.
    std::size_t reserve = std::min(size, kTrustedReserve);
    unz_file_info64 stated{};
    if (moveToEntry(reader, info.index) &&
        unzGetCurrentFileInfo64(reader.unzip, &stated, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK) {
        const std::uint64_t room = stated.compression_method == 0 ? stated.compressed_size
                                   : stated.compressed_size > kMaxArchiveMemberSize ? kMaxArchiveMemberSize
                                                                                    : stated.compressed_size * kMaxDeflateRatio;
        if (room >= size) reserve = size;
    }
    bytes.reserve(reserve);
    ReadResult part;
    do {
        const std::size_t done = bytes.size();
        const std::size_t step = std::min(size - done, kReadChunk);
        bytes.resize(done + step);
        part = readMember(reader, info.index, bytes.data() + done, step);
        bytes.resize(done + part.bytes);
    } while (part.status == ArchiveStatus::MoreData && bytes.size() < size);
    state = part.status;
    // minizip stops at the stated size, so a member never reads on past it; should it, the
    // member is as damaged as one whose directory cannot be read.
    if (state == ArchiveStatus::MoreData) state = ArchiveStatus::Damaged;
    // A checksum mismatch or data that stops early keeps what was read.
    if (!memberDelivered(state)) bytes = {};
    return bytes;
}

std::string upperAsciiName(const char* name, std::size_t length) {
    std::string key(name, length);
    for (char& c : key) c = static_cast<char>(upperAscii(static_cast<unsigned char>(c)));
    return key;
}

}  // namespace

std::vector<std::uint8_t> readArchiveBytes(const std::u16string& archivePath, const std::u16string& member,
                                           ArchiveStatus* status, std::uint64_t maxBytes) {
    std::vector<std::uint8_t> bytes;
    ArchiveStatus state = ArchiveStatus::Ok;
    ArchiveHandle reader = openArchive(archivePath, &state);
    if (reader) {
        const MemberInfo info = findMember(*reader, member, &state);
        if (info.index >= 0) bytes = readWholeMember(*reader, info, state, maxBytes);
    }
    setStatus(status, state);
    // Only a member that delivered less than it stated is copied into a smaller buffer.
    if (bytes.capacity() - bytes.size() > kReadChunk) bytes.shrink_to_fit();
    return bytes;
}

std::u16string readArchiveText(const std::u16string& archivePath, const std::u16string& member,
                               ArchiveStatus* status, std::uint64_t maxBytes) {
    const std::vector<std::uint8_t> bytes = readArchiveBytes(archivePath, member, status, maxBytes);
    return decodeUtf8(bytes.data(), bytes.size());
}

ArchiveIndex::ArchiveIndex(const std::u16string& archivePath, std::size_t maxEntries) {
    // Held in memory, every seek and small read of minizip is a copy instead of a call into the
    // system; a larger archive is read from its file.
    if (readWholeArchive(archivePath, kMaxArchiveInMemory, bytes_)) {
        reader_ = openArchiveWith(kMemoryFunctions, &bytes_, &openStatus_);
    } else {
        reader_ = openArchive(archivePath, &openStatus_);
    }
    if (!reader_ || reader_->entryCount == 0) return;
    ArchiveReader& reader = *reader_;
    // The walk of findMember, once, noting each entry instead of comparing it.
    reader.directoryIndex = -1;
    if (unzGoToFirstFile(reader.unzip) != UNZ_OK) {
        missing_ = ArchiveStatus::Damaged;
        return;
    }
    reader.directoryIndex = 0;
    for (;;) {
        if (!partial_ && entries_.size() >= maxEntries) {
            // Past the table, names are only noted in the filter: a name it does not hold is
            // known to be missing without walking the directory again.
            partial_ = true;
            filter_.assign(kFilterWords, 0);
        }
        unz_file_info64 info{};
        char stored[kMaxArchiveNameBytes + 1];
        if (unzGetCurrentFileInfo64(reader.unzip, &info, stored, sizeof stored, nullptr, 0, nullptr, 0) != UNZ_OK) {
            reader.directoryIndex = -1;
            missing_ = ArchiveStatus::Damaged;
            return;
        }
        // A stored name longer than the buffer was cut short and can never match.
        if (info.size_filename <= kMaxArchiveNameBytes) {
            if (partial_) {
                addToFilter(upperAsciiName(stored, info.size_filename));
            } else {
                unz64_file_pos position{};
                if (unzGetFilePos64(reader.unzip, &position) != UNZ_OK) {
                    // Not expected after a good entry; the rest is left to walks.
                    partial_ = true;
                    filter_.clear();
                    return;
                }
                entries_.try_emplace(upperAsciiName(stored, info.size_filename),
                                     Entry{reader.directoryIndex, info.uncompressed_size, position.pos_in_zip_directory});
            }
        }
        const int step = unzGoToNextFile(reader.unzip);
        if (step == UNZ_END_OF_LIST_OF_FILE) return;
        if (step != UNZ_OK) {
            const bool endOfOverflowedList = reader.entryCount == kOverflowEntryCount &&
                                             static_cast<std::uint64_t>(reader.directoryIndex) + 1 >= kOverflowEntryCount;
            reader.directoryIndex = -1;
            if (!endOfOverflowedList) missing_ = ArchiveStatus::Damaged;
            return;
        }
        ++reader.directoryIndex;
        ++entriesSeen_;
    }
}

namespace {

std::uint64_t filterHash(const std::string& key) { return std::hash<std::string>{}(key) * 0x9E3779B97F4A7C15ull; }

}  // namespace

void ArchiveIndex::addToFilter(const std::string& key) {
    std::uint64_t h = filterHash(key);
    for (int i = 0; i < kFilterProbes; ++i, h = (h >> 21) | (h << 43)) {
        const std::uint64_t bit = h % (kFilterWords * 64);
        filter_[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
}

bool ArchiveIndex::filterMayHold(const std::string& key) const {
    if (filter_.empty()) return true;
    std::uint64_t h = filterHash(key);
    for (int i = 0; i < kFilterProbes; ++i, h = (h >> 21) | (h << 43)) {
        const std::uint64_t bit = h % (kFilterWords * 64);
        if ((filter_[bit / 64] & (std::uint64_t{1} << (bit % 64))) == 0) return false;
    }
    return true;
}

MemberInfo ArchiveIndex::findMember(const std::u16string& name, ArchiveStatus* status) {
    const MemberInfo notFound;
    if (!reader_) {
        setStatus(status, openStatus_);
        return notFound;
    }
    ArchiveReader& reader = *reader_;
    setStatus(status, ArchiveStatus::NotFound);
    const std::string wanted = encodeUtf8(name);
    if (wanted.size() > kMaxArchiveNameBytes || wanted.find('\0') != std::string::npos) return notFound;
    if (reader.entryCount == 0) return notFound;

    const std::string key = upperAsciiName(wanted.data(), wanted.size());
    const auto found = entries_.find(key);
    if (found == entries_.end()) {
        if (partial_ && filterMayHold(key)) {
            // Past the table the directory is walked, within a budget of entries per archive, so
            // that countless names cannot each walk a huge directory.
            if (entriesWalked_ > kMaxWalkedEntries) {
                setStatus(status, ArchiveStatus::Damaged);
                return notFound;
            }
            entriesWalked_ += entriesSeen_ + 1;
            return velmora::findMember(reader, name, status);
        }
        setStatus(status, missing_);
        return notFound;
    }
    const Entry& entry = found->second;
    if (entry.size > kMaxArchiveMemberSize || entry.index > INT32_MAX) {
        setStatus(status, ArchiveStatus::TooLarge);
        return notFound;
    }
    // Stand on the entry, as the walk of findMember leaves minizip, so that reading it starts there.
    closeOpenMember(reader);
    const unz64_file_pos position{entry.directoryOffset, static_cast<ZPOS64_T>(entry.index)};
    if (unzGoToFilePos64(reader.unzip, &position) != UNZ_OK) {
        reader.directoryIndex = -1;
        setStatus(status, ArchiveStatus::Damaged);
        return notFound;
    }
    reader.directoryIndex = entry.index;
    setStatus(status, ArchiveStatus::Ok);
    return MemberInfo{static_cast<std::int32_t>(entry.index), static_cast<std::int32_t>(entry.size)};
}

std::vector<std::uint8_t> ArchiveIndex::readBytes(const std::u16string& member, ArchiveStatus* status, std::uint64_t maxBytes) {
    std::vector<std::uint8_t> bytes;
    ArchiveStatus state = openStatus_;
    if (reader_) {
        const MemberInfo info = findMember(member, &state);
        if (info.index >= 0) bytes = readWholeMember(*reader_, info, state, maxBytes);
    }
    setStatus(status, state);
    // Only a member that delivered less than it stated is copied into a smaller buffer.
    if (bytes.capacity() - bytes.size() > kReadChunk) bytes.shrink_to_fit();
    return bytes;
}

std::u16string ArchiveIndex::readText(const std::u16string& member, ArchiveStatus* status, std::uint64_t maxBytes) {
    const std::vector<std::uint8_t> bytes = readBytes(member, status, maxBytes);
    return decodeUtf8(bytes.data(), bytes.size());
}

std::optional<std::uint64_t> seekTarget(std::uint64_t base, std::uint64_t offset) {
    if (base > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    const auto start = static_cast<std::int64_t>(base);
    const auto signedOffset = static_cast<std::int64_t>(offset);
    // start is never negative, so start + signedOffset cannot overflow below; above it is checked.
    if (signedOffset < 0 ? start + signedOffset < 0 : signedOffset > INT64_MAX - start) return std::nullopt;
    return static_cast<std::uint64_t>(start + signedOffset);
}

}  // namespace velmora
