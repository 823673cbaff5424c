#include "ground/text_decoding.h"

namespace velmora {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void appendCodePoint(std::u16string& out, std::uint32_t codePoint) {
    if (codePoint < 0x10000) {
        out += static_cast<char16_t>(codePoint);
    } else {
        codePoint -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
        out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    }
}

}  // namespace

// Each maximal ill-formed subsequence becomes one U+FFFD (the practice of the Unicode standard):
// a lead byte whose sequence breaks off is replaced once, and the byte that broke it off starts
// anew.
std::u16string decodeUtf8(const std::uint8_t* data, std::size_t size) {
    std::u16string out;
    out.reserve(size);
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t lead = data[i];
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        int trailing = 0;
        std::uint8_t secondLow = 0x80;
        std::uint8_t secondHigh = 0xBF;
        std::uint32_t codePoint = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trailing = 1;
            codePoint = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailing = 2;
            codePoint = lead & 0x0Fu;
            if (lead == 0xE0) secondLow = 0xA0;   // no overlong forms
            if (lead == 0xED) secondHigh = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailing = 3;
            codePoint = lead & 0x07u;
            if (lead == 0xF0) secondLow = 0x90;   // no overlong forms
            if (lead == 0xF4) secondHigh = 0x8F;  // nothing above U+10FFFF
        } else {
            out += kReplacement;
            ++i;
            continue;
        }
        std::size_t next = i + 1;
        bool complete = true;
        for (int k = 0; k < trailing; ++k, ++next) {
            const std::uint8_t low = k == 0 ? secondLow : 0x80;
            const std::uint8_t high = k == 0 ? secondHigh : 0xBF;
            if (next >= size || data[next] < low || data[next] > high) {
                complete = false;
                break;
            }
            codePoint = (codePoint << 6) | (data[next] & 0x3Fu);
        }
        if (complete) {
            appendCodePoint(out, codePoint);
        } else {
            out += kReplacement;
        }
        i = next;
    }
    return out;
}

std::string encodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t codePoint = text[i];
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        } else if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
            codePoint = kReplacement;
        }
        if (codePoint < 0x80) {
            out += static_cast<char>(codePoint);
        } else if (codePoint < 0x800) {
            out += static_cast<char>(0xC0 | (codePoint >> 6));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            out += static_cast<char>(0xE0 | (codePoint >> 12));
            out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (codePoint >> 18));
            out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
        }
    }
    return out;
}

}  // namespace velmora

namespace velmora {

namespace {

// Pieces of the runtime's line reads: a 16-unit buffer holds at most 15 units and a read stops
// after a line feed. Each piece is appended as a C string, so whatever follows a NUL within its
// piece is lost.
constexpr int kLineReadUnits = 15;

}  // namespace

std::u16string decodeTextFile(const std::uint8_t* data, std::size_t size) {
    std::u16string decoded;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        decoded = decodeUtf8(data + 3, size - 3);
    } else if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        decoded.reserve((size - 2) / 2);
        for (std::size_t i = 2; i + 1 < size; i += 2)
            decoded += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    } else if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
        return {};
    } else {
        decoded = decodeUtf8(data, size);
    }

    // Compacted in place: every unit written consumes at least one read, so the text never needs
    // a second buffer of its size.
    std::size_t length = 0;
    int pieceLength = 0;
    bool afterNul = false;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        char16_t c = decoded[i];
        if (c == u'\r' && i + 1 < decoded.size() && decoded[i + 1] == u'\n') {
            c = u'\n';
            ++i;
        }
        if (c == 0) afterNul = true;
        if (!afterNul) decoded[length++] = c;
        if (++pieceLength == kLineReadUnits || c == u'\n') {
            pieceLength = 0;
            afterNul = false;
        }
    }
    decoded.resize(length);
    return decoded;
}

}  // namespace velmora
