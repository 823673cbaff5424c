// Arbitrary bytes as a theme's .zip archive: every member the directory names, and a few fixed
// names, found and read whole (as picture and as text), and read again in pieces of odd sizes.
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

// Bytes whole reads may inflate per input (half of what the longest input can inflate to); past
// it each read may take a small member only.
constexpr std::uint64_t kInflatedPerInput = 8u * 1024u * 1024u;
constexpr std::uint64_t kSmallRead = 64u * 1024u;

// The names the central directory gives, as far as minizip walks it (at most a few dozen).
std::vector<std::u16string> storedNames(const std::u16string& path) {
    std::vector<std::u16string> names;
    // Through the reader's own file functions, as every other open of this input.
    zlib_filefunc64_def functions{};
    std::string storage;
    const void* openPath = prepareArchiveFile(path, functions, storage);
    unzFile zip = unzOpen2_64(openPath, &functions);
    if (zip == nullptr) return names;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK && names.size() < 32; status = unzGoToNextFile(zip)) {
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
    for (const char16_t* fixed : {u"theme.txt", u"FLOOR.PNG", u"a/b.png", u""}) names.emplace_back(fixed);
    // Whole reads share one budget of inflated bytes per input, as a theme load's do: dozens of
    // entries naming one deflated stream that inflates a thousandfold would otherwise inflate it
    // per name and per read (seconds per input); past the budget a member is refused from its
    // stated size, which is the same path.
    std::uint64_t inflated = 0;
    const auto allowance = [&inflated](std::uint64_t most) {
        return std::min(most, inflated < kInflatedPerInput ? kInflatedPerInput - inflated : kSmallRead);
    };
    for (const std::u16string& name : names) {
        ArchiveStatus status{};
        const std::vector<std::uint8_t> bytes = readArchiveBytes(archive, name, &status, allowance(kMaxArchiveMemberSize));
        inflated += bytes.size();
        // Only the statuses that deliver bytes carry any, and never more than the stated size.
        if (!bytes.empty() && !memberDelivered(status)) __builtin_trap();
        inflated += readArchiveText(archive, name, &status, allowance(kMaxTextFileSize)).size();
    }

    ArchiveStatus status{};
    ArchiveHandle reader = openArchive(archive, &status);
    if (!reader) return 0;
    std::uint8_t buffer[4099];
    const std::size_t pieces[] = {1, 7, 4099, 512};
    for (const std::u16string& name : names) {
        const MemberInfo info = findMember(*reader, name);
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
