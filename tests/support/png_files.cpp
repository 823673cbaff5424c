#include "support/png_files.h"

#include <zlib.h>

#include <string_view>
#include <vector>

namespace velmora::testing {

namespace {

void put32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void chunk(std::string& out, const char* type, std::string_view data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    std::string body = type;
    body += data;
    out += body;
    put32(out, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

std::string header(std::uint32_t width, std::uint32_t height) {
    std::string out = "\x89PNG\r\n\x1a\n";
    std::string ihdr;
    put32(ihdr, width);
    put32(ihdr, height);
    ihdr += std::string("\x01\x00\x00\x00\x00", 5);  // 1 bit, grey, deflate, no filter, no interlace
    chunk(out, "IHDR", ihdr);
    return out;
}

}  // namespace

std::string blackPng(std::uint32_t width, std::uint32_t height) {
    std::string out = header(width, height);
    // Each row: filter byte 0 and (width + 7) / 8 zero bytes, deflated row by row.
    const std::vector<Bytef> row(1 + (width + 7) / 8, 0);
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    std::string idat;
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
            idat.append(reinterpret_cast<const char*>(buffer), sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0 || (last && result != Z_STREAM_END));
    }
    deflateEnd(&stream);
    chunk(out, "IDAT", idat);
    chunk(out, "IEND", {});
    return out;
}

std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    std::string out = header(width, height);
    chunk(out, "IEND", {});
    return out;
}

}  // namespace velmora::testing
