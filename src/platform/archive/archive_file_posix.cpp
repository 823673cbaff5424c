// POSIX: minizip's stdio file functions over a UTF-8 path.
#include "resources/archive_file.h"

#include "ioapi.h"
#include "ground/text_decoding.h"

namespace velmora {

const void* prepareArchiveFile(const std::u16string& path, zlib_filefunc64_def_s& functions, std::string& storage) {
    fill_fopen64_filefunc(&functions);
    storage = encodeUtf8(path);
    return storage.c_str();
}

}  // namespace velmora
