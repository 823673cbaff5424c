// velmora-archive-probe ARCHIVE MEMBER: reads one member the way a theme archive is read and
// prints its size and status.
#include <cstdio>
#include <string>

#include "resources/archive_reader.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: velmora-archive-probe ARCHIVE MEMBER\n", stderr);
        return 2;
    }
    const std::u16string archive(reinterpret_cast<const char16_t*>(argv[1]));
    const std::u16string member(reinterpret_cast<const char16_t*>(argv[2]));
    velmora::ArchiveStatus status = velmora::ArchiveStatus::Ok;
    const auto bytes = velmora::readArchiveBytes(archive, member, &status);
    std::printf("%zu bytes, %s\n", bytes.size(), velmora::archiveStatusText(status));
    return status == velmora::ArchiveStatus::Ok ? 0 : 1;
}
