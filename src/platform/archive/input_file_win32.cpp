// Windows: CreateFileW for reading (others may read meanwhile, nobody may write), then the
// handle's type: only a disk file that is no directory is read. A device name such as CON or a
// pipe is refused before anything is read from it.
#include "resources/input_file.h"

#include <windows.h>

namespace velmora {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 paths are handed over as wide strings");

namespace {

HANDLE openForReading(const std::u16string& path) {
    if (path.empty() || path.find(u'\0') != std::u16string::npos) return INVALID_HANDLE_VALUE;
    // FILE_FLAG_BACKUP_SEMANTICS lets a directory open, so that it is refused as one.
    return CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool directory(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(file, &info) != 0 && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool regular(HANDLE file) { return GetFileType(file) == FILE_TYPE_DISK && !directory(file); }

}  // namespace

InputFile::InputFile(const std::u16string& path) {
    HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size{};
    if (!regular(file) || GetFileSizeEx(file, &size) == 0) {
        CloseHandle(file);
        status_ = FileStatus::NotRegular;
        return;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    size_ = size.QuadPart > 0 ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    status_ = FileStatus::Ok;
}

InputFile::~InputFile() {
    if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::size_t InputFile::read(void* buffer, std::size_t count) {
    if (handle_ == -1) return 0;
    std::size_t done = 0;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(count - done < (1u << 30) ? count - done : (1u << 30));
        DWORD got = 0;
        if (ReadFile(reinterpret_cast<HANDLE>(handle_), static_cast<char*>(buffer) + done, want, &got, nullptr) == 0) {
            status_ = FileStatus::ReadError;
            break;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool isIrregularFile(const std::u16string& path) {
    HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool irregular = GetFileType(file) != FILE_TYPE_DISK;
    CloseHandle(file);
    return irregular;
}

}  // namespace velmora
