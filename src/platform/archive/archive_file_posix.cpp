// POSIX: minizip's stdio file functions over a UTF-8 path, except that the archive is opened as
// InputFile opens a file: only a regular file, decided without blocking.
#include "resources/archive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "ioapi.h"
#include "ground/text_decoding.h"

namespace velmora {

namespace {

voidpf ZCALLBACK openRegularFile(voidpf, const void* filename, int mode) {
    // Archives are only ever read.
    if (filename == nullptr || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    const int fd = ::open(static_cast<const char*>(filename), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

}  // namespace

const void* prepareArchiveFile(const std::u16string& path, zlib_filefunc64_def_s& functions, std::string& storage) {
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = openRegularFile;
    storage = encodeUtf8(path);
    return storage.c_str();
}

}  // namespace velmora
