#include "support/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace velmora::testing {

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// Raw deflate (no zlib header) of the piece repeated to total bytes, fed in slices.
std::vector<std::uint8_t> deflateRepeated(std::string_view piece, std::uint64_t total, std::uint32_t& crc) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string slice;
    if (!piece.empty()) {
        while (slice.size() < 64 * 1024) slice += piece;
    }
    std::vector<std::uint8_t> out;
    std::uint8_t buffer[64 * 1024];
    crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    std::uint64_t left = total;
    std::size_t phase = 0;  // where in the piece the next slice starts
    for (;;) {
        const bool last = left == 0;
        std::string_view input;
        if (!last) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left, slice.size() - phase));
            input = std::string_view(slice).substr(phase, take);
            phase = (phase + take) % piece.size();
            left -= take;
            crc = static_cast<std::uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(input.data()), static_cast<uInt>(input.size())));
        }
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
        stream.avail_in = static_cast<uInt>(input.size());
        int result = Z_OK;
        do {
            stream.next_out = buffer;
            stream.avail_out = sizeof buffer;
            result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
        } while (stream.avail_out == 0 || (last && result != Z_STREAM_END));
        if (last) break;
    }
    deflateEnd(&stream);
    return out;
}

}  // namespace

void ZipWriter::add(const std::string& name, std::string_view content, const Entry& entry) {
    addRepeated(name, content, content.size(), entry);
}

void ZipWriter::addRepeated(const std::string& name, std::string_view piece, std::uint64_t total, const Entry& entry) {
    if (total > 0xFFFFFFFFu) throw std::invalid_argument("ZIP64 is not written");
    if (piece.empty() && total > 0) throw std::invalid_argument("nothing to repeat");
    Member member;
    std::vector<std::uint8_t> data;
    member.name = name;
    member.size = static_cast<std::uint32_t>(total);
    if (entry.deflate) {
        member.method = 8;
        data = deflateRepeated(piece, total, member.crc);
    } else {
        for (std::uint64_t i = 0; i < total; ++i) data.push_back(static_cast<std::uint8_t>(piece[i % piece.size()]));
        member.crc = static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
    }
    if (entry.statedSize) member.size = *entry.statedSize;
    if (entry.statedCrc) member.crc = *entry.statedCrc;

    member.offset = static_cast<std::uint32_t>(local_.size());
    put32(local_, 0x04034b50);
    put16(local_, 20);
    put16(local_, 0);
    put16(local_, member.method);
    put16(local_, 0);
    put16(local_, 0x21);
    put32(local_, member.crc);
    put32(local_, static_cast<std::uint32_t>(data.size()));
    put32(local_, member.size);
    put16(local_, static_cast<std::uint32_t>(name.size()));
    put16(local_, 0);
    local_.insert(local_.end(), name.begin(), name.end());
    local_.insert(local_.end(), data.begin(), data.end());
    members_.push_back(std::move(member));
    compressedSizes_.push_back(static_cast<std::uint32_t>(data.size()));
}

void ZipWriter::addAlias(const std::string& name, const std::string& of) {
    for (std::size_t i = 0; i < members_.size(); ++i) {
        if (members_[i].name != of) continue;
        Member alias = members_[i];
        alias.name = name;
        members_.push_back(alias);
        compressedSizes_.push_back(compressedSizes_[i]);
        return;
    }
}

std::vector<std::uint8_t> ZipWriter::bytes() const {
    std::vector<std::uint8_t> out = local_;
    const auto directory = static_cast<std::uint32_t>(out.size());
    for (std::size_t i = 0; i < members_.size(); ++i) {
        const Member& m = members_[i];
        put32(out, 0x02014b50);
        put16(out, 20);
        put16(out, 20);
        put16(out, 0);
        put16(out, m.method);
        put16(out, 0);
        put16(out, 0x21);
        put32(out, m.crc);
        put32(out, compressedSizes_[i]);
        put32(out, m.size);
        put16(out, static_cast<std::uint32_t>(m.name.size()));
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put16(out, 0);
        put32(out, 0);
        put32(out, m.offset);
        out.insert(out.end(), m.name.begin(), m.name.end());
    }
    const auto directorySize = static_cast<std::uint32_t>(out.size() - directory);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint32_t>(members_.size()));
    put16(out, static_cast<std::uint32_t>(members_.size()));
    put32(out, directorySize);
    put32(out, directory);
    put16(out, 0);
    return out;
}

}  // namespace velmora::testing
