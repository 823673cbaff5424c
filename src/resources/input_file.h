#pragma once
// Reading a file of a theme or the program folder: only a regular file is ever read. A FIFO, a
// socket, a device, standard input or a directory is refused when it is opened, before anything
// is read and without waiting for a writer, so that no name can make a read block. Implemented
// once per platform (src/platform/archive/), so that this portable code names no system header.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

enum class FileStatus {
    Ok,
    Missing,     // nothing of that name, or it cannot be opened
    NotRegular,  // a FIFO, socket, device, directory: never read
    TooLarge,    // larger than the reader's limit
    ReadError,
};

class InputFile {
public:
    // Opens path for reading when it names a regular file.
    explicit InputFile(const std::u16string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    FileStatus status() const { return status_; }
    bool isOpen() const { return status_ == FileStatus::Ok; }
    // The size the file system stated when the file was opened.
    std::uint64_t statedSize() const { return size_; }
    // Up to count bytes from where the last read stopped; fewer only at the end or on an error
    // (status then says ReadError).
    std::size_t read(void* buffer, std::size_t count);

private:
    FileStatus status_ = FileStatus::Missing;
    std::uint64_t size_ = 0;
    std::intptr_t handle_ = -1;
};

// The whole regular file at path, when it is no larger than maxBytes (decided from its stated
// size before anything is allocated, and checked again as it is read, as it may grow meanwhile).
FileStatus readRegularFile(const std::u16string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes);

// True when path names an existing file that is neither a regular file nor a directory (decided
// without reading or blocking): a FIFO, socket or device.
bool isIrregularFile(const std::u16string& path);

}  // namespace velmora
