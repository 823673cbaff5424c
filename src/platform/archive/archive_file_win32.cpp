// Windows: minizip's Win32 file functions over the UTF-16 path, so that any file name opens.
// They open with GENERIC_READ, FILE_SHARE_READ and OPEN_EXISTING: others may read the archive
// meanwhile, nobody may write it. A name that is not a regular file (a device such as CON, a
// pipe, a directory) is refused first, as InputFile refuses it.
#include "resources/archive_file.h"

#include <windows.h>

#include "ioapi.h"
#include "iowin32.h"
#include "resources/input_file.h"

namespace velmora {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 paths are handed over as wide strings");

namespace {

voidpf ZCALLBACK openRegularFile(voidpf opaque, const void* filename, int mode) {
    if (filename == nullptr || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    const auto* wide = static_cast<const char16_t*>(filename);
    if (isIrregularFile(std::u16string(wide))) return nullptr;
    zlib_filefunc64_def win32{};
    fill_win32_filefunc64W(&win32);
    return win32.zopen64_file(opaque, filename, mode);
}

}  // namespace

const void* prepareArchiveFile(const std::u16string& path, zlib_filefunc64_def_s& functions, std::string& storage) {
    fill_win32_filefunc64W(&functions);
    functions.zopen64_file = openRegularFile;
    storage.clear();
    return reinterpret_cast<const wchar_t*>(path.c_str());
}

}  // namespace velmora
