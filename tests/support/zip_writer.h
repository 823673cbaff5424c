#pragma once
// Theme archives made in memory, entry by entry, with zlib: sound ones, and ones whose headers
// state what their data is not. A member may be a piece repeated to any length, deflated as a
// stream, so that an archive of a 200 MB member costs only its compressed size to make.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::testing {

// How a member is stored.
struct ZipEntry {
    bool deflate = true;
    // What the headers state instead of the truth, when set.
    std::optional<std::uint32_t> statedSize;
    std::optional<std::uint32_t> statedCrc;
};

class ZipWriter {
public:
    using Entry = ZipEntry;

    void add(const std::string& name, std::string_view content, const ZipEntry& entry = ZipEntry{});
    // The piece repeated until total bytes (the last copy cut short).
    void addRepeated(const std::string& name, std::string_view piece, std::uint64_t total, const ZipEntry& entry = ZipEntry{});
    // One more directory entry for the data of the member added before it as `of` (its local
    // header names `of`: give both names one length, as readers compare the lengths).
    void addAlias(const std::string& name, const std::string& of);
    // The archive: local headers and data, central directory, end record.
    std::vector<std::uint8_t> bytes() const;

private:
    struct Member {
        std::string name;
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint32_t size = 0;
        std::uint32_t offset = 0;  // of its local header
    };
    std::vector<Member> members_;
    std::vector<std::uint32_t> compressedSizes_;
    std::vector<std::uint8_t> local_;
};

}  // namespace velmora::testing
