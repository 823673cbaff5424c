#include "support/png_file.h"

#include <zlib.h>

#include <cstddef>
#include <stdexcept>
#include <string>

namespace velmora::testing {

namespace {

constexpr std::size_t kHeaderData = 16;  // after the signature, the IHDR length and its type

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// The checksum of a chunk covers its type and data.
std::uint32_t chunkCrc(const std::vector<std::uint8_t>& png, std::size_t typeAt, std::size_t dataSize) {
    return static_cast<std::uint32_t>(crc32(0, png.data() + typeAt, static_cast<uInt>(dataSize + 4)));
}

void appendChunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
    put32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32(png, chunkCrc(png, typeAt, data.size()));
}

}  // namespace

std::vector<std::uint8_t> pngBytes(int width, int height, const std::vector<std::uint32_t>& argb, PngChannels channels) {
    if (width < 0 || height < 0 || argb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        throw std::invalid_argument("pngBytes: the pixels do not fill the picture");
    const bool alpha = channels == PngChannels::Rgba;

    std::vector<std::uint8_t> header;
    put32(header, static_cast<std::uint32_t>(width));
    put32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, static_cast<std::uint8_t>(alpha ? 6 : 2), 0, 0, 0});

    // Each row starts with its filter, 0 (none).
    std::vector<std::uint8_t> rows;
    rows.reserve(static_cast<std::size_t>(height) * (1 + static_cast<std::size_t>(width) * (alpha ? 4 : 3)));
    for (int y = 0; y < height; ++y) {
        rows.push_back(0);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
            for (int shift : {16, 8, 0}) rows.push_back(static_cast<std::uint8_t>(pixel >> shift));
            if (alpha) rows.push_back(static_cast<std::uint8_t>(pixel >> 24));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size())) != Z_OK)
        throw std::runtime_error("pngBytes: zlib failed");
    packed.resize(packedSize);

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", {});
    return png;
}

std::vector<std::uint8_t> plainPng(int width, int height, std::uint32_t argb, PngChannels channels) {
    const std::size_t count = width > 0 && height > 0 ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height) : 0;
    return pngBytes(width, height, std::vector<std::uint32_t>(count, argb), channels);
}

void claimPngSize(std::vector<std::uint8_t>& png, std::uint32_t width, std::uint32_t height) {
    set32(png, kHeaderData, width);
    set32(png, kHeaderData + 4, height);
    set32(png, kHeaderData + 13, chunkCrc(png, kHeaderData - 4, 13));
}

namespace {

std::vector<std::uint8_t> greyHeader(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> header;
    put32(header, width);
    put32(header, height);
    header.insert(header.end(), {1, 0, 0, 0, 0});  // 1 bit, grey, deflate, no filter, no interlace
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    appendChunk(png, "IHDR", header);
    return png;
}

std::string asString(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

std::string blackPng(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> png = greyHeader(width, height);
    // Each row: filter byte 0 and (width + 7) / 8 zero bytes, deflated row by row.
    const std::vector<Bytef> row(1 + (width + 7) / 8, 0);
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    std::vector<std::uint8_t> idat;
    Bytef buffer[16384];
    for (std::uint32_t y = 0; y <= height; ++y) {
        const bool last = y == height;
        stream.next_in = const_cast<Bytef*>(row.data());
        stream.avail_in = last ? 0 : static_cast<uInt>(row.size());
        int result = Z_OK;
        do {
            stream.next_out = buffer;
            stream.avail_out = sizeof buffer;
            result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            idat.insert(idat.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
        } while (stream.avail_out == 0 || (last && result != Z_STREAM_END));
    }
    deflateEnd(&stream);
    appendChunk(png, "IDAT", idat);
    appendChunk(png, "IEND", {});
    return asString(png);
}

std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> png = greyHeader(width, height);
    appendChunk(png, "IEND", {});
    return asString(png);
}

}  // namespace velmora::testing
