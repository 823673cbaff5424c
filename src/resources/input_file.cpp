#include "resources/input_file.h"


namespace velmora {

FileStatus readRegularFile(const std::u16string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    InputFile file(path);
    if (!file.isOpen()) return file.status();
    if (file.statedSize() > maxBytes) return FileStatus::TooLarge;
    // The stated size in one piece, then whatever the file grew by meanwhile (recognised one
    // piece past the limit), so that a file read whole costs its size once.
    bytes.resize(static_cast<std::size_t>(file.statedSize()));
    bytes.resize(file.read(bytes.data(), bytes.size()));
    constexpr std::size_t kPiece = 16 * 1024;
    std::uint8_t piece[kPiece];
    for (;;) {
        if (file.status() != FileStatus::Ok) {
            bytes = {};
            return file.status();
        }
        if (bytes.size() > maxBytes) {
            bytes = {};
            return FileStatus::TooLarge;
        }
        const std::size_t got = file.read(piece, kPiece);
        if (got == 0 && file.status() == FileStatus::Ok) return FileStatus::Ok;
        bytes.insert(bytes.end(), piece, piece + got);
    }
}

}  // namespace velmora
