#pragma once
// Archives for the tests, made with the real archivers (zip, Python's zipfile, bsdtar, 7z) in
// a temporary folder, and the byte surgery that damages them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace velmora::testing {

using Bytes = std::vector<std::uint8_t>;

bool toolAvailable(const std::string& command);
// Runs a shell command; true when it exits with 0. Its output goes to a log beside the test.
bool runCommand(const std::string& command);
std::string shellQuoted(const std::filesystem::path& path);

Bytes readFileBytes(const std::filesystem::path& path);
// Pseudo-random bytes that deflate barely shrinks.
Bytes noiseBytes(std::size_t size, std::uint32_t seed);

std::u16string u16(const std::filesystem::path& path);

// Where the headers of one entry of a ZIP file lie.
struct ZipEntryLayout {
    std::size_t centralHeader = 0;  // offset of its central directory record
    std::size_t localHeader = 0;    // offset of its local header
    std::size_t dataStart = 0;      // offset of its (compressed) data
    std::uint32_t compressedSize = 0;
    std::string name;
};
struct ZipLayout {
    std::size_t centralDirectory = 0;
    std::size_t centralDirectorySize = 0;
    std::vector<ZipEntryLayout> entries;
};
// The layout of a plain (not ZIP64) archive; fails the test on anything else.
ZipLayout zipLayout(const Bytes& zip);
// Writes the uncompressed size of an entry into its central record and its local header.
void setStatedSize(Bytes& zip, const ZipEntryLayout& entry, std::uint32_t size, bool inLocalHeaderToo);

}  // namespace velmora::testing
