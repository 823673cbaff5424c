// Windows: minizip's Win32 file functions over the UTF-16 path, so that any file name opens.
// They open with GENERIC_READ, FILE_SHARE_READ and OPEN_EXISTING: others may read the archive
// meanwhile, nobody may write it.
#include "resources/archive_file.h"

#include <windows.h>

#include "ioapi.h"
#include "iowin32.h"

namespace velmora {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 paths are handed over as wide strings");

const void* prepareArchiveFile(const std::u16string& path, zlib_filefunc64_def_s& functions, std::string& storage) {
    fill_win32_filefunc64W(&functions);
    storage.clear();
    return reinterpret_cast<const wchar_t*>(path.c_str());
}

}  // namespace velmora
