// POSIX: minizip's file functions over a UTF-8 path: the archive opened as InputFile opens a file
// (only a regular file, decided without blocking), and read through a block of its own.
#include "resources/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "ioapi.h"
#include "ground/text_decoding.h"

namespace velmora {

namespace {

// minizip reads its headers a few bytes at a time and seeks before each one; over stdio every
// seek drops the buffer and every read at the end of the file asks the system again, so that a
// small archive whose extra fields claim tens of kilobytes past its end cost a system call per
// field. Here a seek only moves the position, and reads are served from one block at a time.
constexpr std::size_t kBlock = 64 * 1024;

struct ArchiveFile {
    int fd = -1;
    std::uint64_t size = 0;  // as opened; a file that shrinks meanwhile reads short
    std::uint64_t position = 0;
    std::uint64_t blockStart = 0;
    std::size_t blockLength = 0;
    bool failed = false;
    unsigned char block[kBlock];
};

voidpf ZCALLBACK openRegularFile(voidpf, const void* filename, int mode) {
    // Archives are only ever read.
    if (filename == nullptr || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    const int fd = ::open(static_cast<const char*>(filename), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    auto* file = new (std::nothrow) ArchiveFile;
    if (file == nullptr) {
        ::close(fd);
        return nullptr;
    }
    file->fd = fd;
    file->size = static_cast<std::uint64_t>(info.st_size);
    return file;
}

uLong ZCALLBACK readArchiveFile(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* file = static_cast<ArchiveFile*>(stream);
    auto* to = static_cast<unsigned char*>(buffer);
    uLong done = 0;
    while (done < size && file->position < file->size) {
        const std::uint64_t blockEnd = file->blockStart + file->blockLength;
        if (file->position >= file->blockStart && file->position < blockEnd) {
            const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, blockEnd - file->position));
            std::memcpy(to + done, file->block + (file->position - file->blockStart), count);
            done += static_cast<uLong>(count);
            file->position += count;
            continue;
        }
        // Large reads (member data) go straight to the caller's buffer.
        const std::size_t want = std::min<std::uint64_t>(size - done, file->size - file->position) >= kBlock
                                     ? static_cast<std::size_t>(std::min<std::uint64_t>(size - done, SSIZE_MAX))
                                     : kBlock;
        unsigned char* into = want == kBlock ? file->block : to + done;
        const ssize_t got = ::pread(file->fd, into, want, static_cast<off_t>(file->position));
        if (got <= 0) {
            if (got < 0) file->failed = true;
            break;
        }
        if (into == file->block) {
            file->blockStart = file->position;
            file->blockLength = static_cast<std::size_t>(got);
        } else {
            done += static_cast<uLong>(got);
            file->position += static_cast<std::uint64_t>(got);
        }
    }
    return done;
}

uLong ZCALLBACK writeArchiveFile(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK tellArchiveFile(voidpf, voidpf stream) { return static_cast<ArchiveFile*>(stream)->position; }

long ZCALLBACK seekArchiveFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* file = static_cast<ArchiveFile*>(stream);
    std::uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = file->position;
    else if (origin == ZLIB_FILEFUNC_SEEK_END) base = file->size;
    else if (origin != ZLIB_FILEFUNC_SEEK_SET) return -1;
    const std::optional<std::uint64_t> target = seekTarget(base, offset);
    if (!target) return -1;
    file->position = *target;
    return 0;
}

int ZCALLBACK closeArchiveFile(voidpf, voidpf stream) {
    auto* file = static_cast<ArchiveFile*>(stream);
    const int result = ::close(file->fd);
    delete file;
    return result;
}

int ZCALLBACK archiveFileError(voidpf, voidpf stream) { return static_cast<ArchiveFile*>(stream)->failed ? 1 : 0; }

}  // namespace

const void* prepareArchiveFile(const std::u16string& path, zlib_filefunc64_def_s& functions, std::string& storage) {
    functions.zopen64_file = openRegularFile;
    functions.zread_file = readArchiveFile;
    functions.zwrite_file = writeArchiveFile;
    functions.ztell64_file = tellArchiveFile;
    functions.zseek64_file = seekArchiveFile;
    functions.zclose_file = closeArchiveFile;
    functions.zerror_file = archiveFileError;
    functions.opaque = nullptr;
    storage = encodeUtf8(path);
    return storage.c_str();
}

}  // namespace velmora
