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
    if (size >= kPngFullHeaderBytes) {
        header.bitDepth = data[24];
        header.colorType = data[25];
        header.interlaced = data[28] != 0;
    }
    return header;
}

std::uint64_t pngImageDataBytes(const PngHeader& header) {
    if (header.status != PngHeaderStatus::Ok) return 0;
    unsigned channels = 0;
    switch (header.colorType) {
        case 0: channels = 1; break;  // grey
        case 2: channels = 3; break;  // RGB
        case 3: channels = 1; break;  // palette
        case 4: channels = 2; break;  // grey and alpha
        case 6: channels = 4; break;  // RGBA
        default: return 0;
    }
    const unsigned depth = header.bitDepth;
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return 0;
    const std::uint64_t rowBytes = (std::uint64_t{header.width} * channels * depth + 7) / 8;
    return (rowBytes + 1) * header.height;
}

}  // namespace velmora
