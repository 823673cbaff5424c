#include "resources/png_header.h"

#include <cstring>

namespace velmora {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

}  // namespace

PngHeader readPngHeader(const std::uint8_t* data, std::size_t size) {
    PngHeader header;
    if (data == nullptr || size < kPngHeaderBytes || std::memcmp(data, kPngSignature, sizeof kPngSignature) != 0) return header;
    if (bigEndian32(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0) {
        header.status = PngHeaderStatus::DamagedHeader;
        return header;
    }
    header.status = PngHeaderStatus::Ok;
    header.width = bigEndian32(data + 16);
    header.height = bigEndian32(data + 20);
    return header;
}

}  // namespace velmora
