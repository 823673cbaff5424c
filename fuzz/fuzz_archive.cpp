// Arbitrary bytes as a theme's .zip archive: every member the directory names, and a few fixed
// names, read whole as the theme sources read them, looked up and read again through an index
// (which must agree with them), and read in pieces of odd sizes.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "ground/text_decoding.h"
#include "resources/archive_file.h"
#include "resources/archive_reader.h"
#include "resources/theme_source.h"
#include "unzip.h"

using namespace velmora;

namespace {

// Bytes whole reads may inflate per input; past it each read may take a small member only. An
// input of a few kilobytes can inflate a thousandfold, and this build's zlib (instrumented, under
// ASan) inflates about 10 MB a second: with 8 MiB here the inputs that found this bound took most
// of a second each and came to fill the corpus (a few dozen runs a second). A quarter of a MiB
// takes the same paths, the budget's end included.
constexpr std::uint64_t kInflatedPerInput = 256u * 1024u;
constexpr std::uint64_t kSmallRead = 16u * 1024u;

// minizip walks an entry's extra field four bytes at a time and goes on past the end of the
// file, so that an entry claiming 64 KiB of it costs some 80 thousand reads of a byte at every
// look (milliseconds in this build): each name more is a dozen looks more. A few names reach
// every path.
constexpr std::size_t kStoredNames = 6;

// The names the central directory gives, as far as minizip walks it (at most kStoredNames).
std::vector<std::u16string> storedNames(const std::u16string& path) {
    std::vector<std::u16string> names;
    // Through the reader's own file functions, as every other open of this input.
    zlib_filefunc64_def functions{};
    std::string storage;
    const void* openPath = prepareArchiveFile(path, functions, storage);
    unzFile zip = unzOpen2_64(openPath, &functions);
    if (zip == nullptr) return names;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK && names.size() < kStoredNames; status = unzGoToNextFile(zip)) {
        char name[300];
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        const std::size_t length = info.size_filename < sizeof name ? info.size_filename : sizeof name - 1;
        names.push_back(decodeUtf8(reinterpret_cast<const std::uint8_t*>(name), length));
    }
    unzClose(zip);
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = fuzz::scratchFolder() / "fuzz.zip";
    fuzz::writeFile(path, data, size);
    const std::u16string archive = path.u16string();

    std::vector<std::u16string> names = storedNames(archive);
    const std::size_t stored = names.size();
    for (const char16_t* fixed : {u"theme.txt", u"FLOOR.PNG", u"a/b.png", u""}) names.emplace_back(fixed);
    // Whole reads share one budget of inflated bytes per input, as a theme load's do: dozens of
    // entries naming one deflated stream that inflates a thousandfold would otherwise inflate it
    // per name and per read (seconds per input); past the budget a member is refused from its
    // stated size, which is the same path.
    std::uint64_t inflated = 0;
    const auto allowance = [&inflated](std::uint64_t most) {
        return std::min(most, inflated < kInflatedPerInput ? kInflatedPerInput - inflated : kSmallRead);
    };
    // The index holds two names at most, so that the rest are looked up past its table.
    ArchiveIndex index(archive, 2);
    for (const std::u16string& name : names) {
        const std::uint64_t most = allowance(kMaxArchiveMemberSize);
        ArchiveStatus status{};
        const std::vector<std::uint8_t> bytes = readArchiveBytes(archive, name, &status, most);
        inflated += bytes.size();
        // Only the statuses that deliver bytes carry any, and never more than the stated size.
        if (!bytes.empty() && !memberDelivered(status)) __builtin_trap();
        // The index gives what the reader gives, table or not.
        ArchiveStatus indexed{};
        if (index.openStatus() == ArchiveStatus::Ok && (index.readBytes(name, &indexed, most) != bytes || indexed != status))
            __builtin_trap();
    }
    inflated += readArchiveText(archive, u"theme.txt", nullptr, allowance(kMaxTextFileSize)).size();

    ArchiveStatus status{};
    ArchiveHandle reader = openArchive(archive, &status);
    if (!reader) return 0;
    std::uint8_t buffer[4099];
    const std::size_t pieces[] = {1, 7, 4099, 512};
    for (std::size_t n = 0; n < stored; ++n) {
        const MemberInfo info = findMember(*reader, names[n]);
        std::size_t total = 0;
        for (int step = 0; step < 64; ++step) {
            const ReadResult part = readMember(*reader, info.index, buffer, pieces[step % 4]);
            total += part.bytes;
            if (part.bytes > pieces[step % 4]) __builtin_trap();
            if (part.status != ArchiveStatus::MoreData) break;
        }
        if (info.index >= 0 && total > static_cast<std::size_t>(info.size)) __builtin_trap();
    }
    return 0;
}
