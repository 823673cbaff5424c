// POSIX: open(2) with O_NONBLOCK, so that opening a FIFO never waits for a writer, then fstat on
// the descriptor itself, so that what is checked is what is read.
#include "resources/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ground/text_decoding.h"

namespace velmora {

namespace {

int openNonBlocking(const std::u16string& path) {
    if (path.empty() || path.find(u'\0') != std::u16string::npos) return -1;
    // O_NOCTTY: a terminal named by a theme never becomes the process's.
    return ::open(encodeUtf8(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
}

}  // namespace

InputFile::InputFile(const std::u16string& path) {
    const int fd = openNonBlocking(path);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        status_ = FileStatus::NotRegular;
        return;
    }
    handle_ = fd;
    size_ = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    status_ = FileStatus::Ok;
}

InputFile::~InputFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::size_t InputFile::read(void* buffer, std::size_t count) {
    if (handle_ < 0) return 0;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(static_cast<int>(handle_), static_cast<char*>(buffer) + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) status_ = FileStatus::ReadError;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool isIrregularFile(const std::u16string& path) {
    if (path.empty() || path.find(u'\0') != std::u16string::npos) return false;
    struct stat info {};
    return ::stat(encodeUtf8(path).c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

}  // namespace velmora
