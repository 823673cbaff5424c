#include "zip_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

namespace velmora::testing {

namespace fs = std::filesystem;

bool toolAvailable(const std::string& command) {
    return std::system(("command -v " + command + " >/dev/null 2>&1").c_str()) == 0;
}

bool runCommand(const std::string& command) {
    return std::system((command + " >>/tmp/velmora-resources-tools.log 2>&1").c_str()) == 0;
}

std::string shellQuoted(const fs::path& path) {
    std::string out = "'";
    for (char c : path.string()) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

Bytes readFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes noiseBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 generator(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(generator() >> 24);
    return bytes;
}

std::u16string u16(const fs::path& path) { return path.u16string(); }

namespace {

std::uint32_t le16(const Bytes& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
std::uint32_t le32(const Bytes& b, std::size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

ZipLayout zipLayout(const Bytes& zip) {
    ZipLayout layout;
    std::size_t end = zip.size() >= 22 ? zip.size() - 22 : 0;
    while (end > 0 && le32(zip, end) != 0x06054b50u) --end;
    EXPECT_EQ(le32(zip, end), 0x06054b50u) << "no end of central directory record";
    const std::uint32_t count = le16(zip, end + 10);
    layout.centralDirectorySize = le32(zip, end + 12);
    layout.centralDirectory = le32(zip, end + 16);
    std::size_t at = layout.centralDirectory;
    for (std::uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(le32(zip, at), 0x02014b50u);
        ZipEntryLayout entry;
        entry.centralHeader = at;
        entry.compressedSize = le32(zip, at + 20);
        const std::uint32_t nameLength = le16(zip, at + 28);
        const std::uint32_t extraLength = le16(zip, at + 30);
        const std::uint32_t commentLength = le16(zip, at + 32);
        entry.localHeader = le32(zip, at + 42);
        entry.name.assign(zip.begin() + static_cast<std::ptrdiff_t>(at + 46),
                          zip.begin() + static_cast<std::ptrdiff_t>(at + 46 + nameLength));
        entry.dataStart = entry.localHeader + 30 + le16(zip, entry.localHeader + 26) + le16(zip, entry.localHeader + 28);
        layout.entries.push_back(entry);
        at += 46 + nameLength + extraLength + commentLength;
    }
    return layout;
}

void setStatedSize(Bytes& zip, const ZipEntryLayout& entry, std::uint32_t size, bool inLocalHeaderToo) {
    put32(zip, entry.centralHeader + 24, size);
    if (inLocalHeaderToo) put32(zip, entry.localHeader + 22, size);
}

}  // namespace velmora::testing
