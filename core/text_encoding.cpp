// Deciding a file's encoding, decoding Windows-1252 and encoding back, and the shown form of
// long texts.
#include "text_encoding.h"

#include <cstdint>
#include <cstring>

namespace kivo {

namespace {

// Code points of the bytes 0x80 to 0x9F; the five bytes Windows-1252 leaves undefined keep their
// own number, as the C1 control characters.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, long codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool hasHighBytes(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

} // namespace

void Utf8Validator::feed(const char* bytes, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char* end = p + size;
    while (valid_ && p != end) {
        if (pending_ == 0) {
            // Most text is ASCII: pass it eight bytes at a time.
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, sizeof word);
                if (word & 0x8080808080808080u)
                    break;
                p += 8;
            }
            if (p == end)
                break;
            const unsigned char c = *p++;
            if (c < 0x80)
                continue;
            low_ = 0x80;
            high_ = 0xBF;
            if (c >= 0xC2 && c <= 0xDF) {
                pending_ = 1;
            } else if (c >= 0xE0 && c <= 0xEF) {
                pending_ = 2;
                if (c == 0xE0)
                    low_ = 0xA0; // no overlong forms
                else if (c == 0xED)
                    high_ = 0x9F; // no surrogates
            } else if (c >= 0xF0 && c <= 0xF4) {
                pending_ = 3;
                if (c == 0xF0)
                    low_ = 0x90;
                else if (c == 0xF4)
                    high_ = 0x8F; // nothing beyond U+10FFFF
            } else {
                valid_ = false;
            }
            continue;
        }
        const unsigned char c = *p++;
        if (c < low_ || c > high_) {
            valid_ = false;
            break;
        }
        low_ = 0x80;
        high_ = 0xBF;
        --pending_;
    }
}

bool isValidUtf8(std::string_view bytes) {
    Utf8Validator validator;
    validator.feed(bytes);
    return validator.valid();
}

TextEncoding encodingOf(std::string_view wholeText) {
    return isValidUtf8(wholeText) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

std::string decodeText(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8 || !hasHighBytes(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char c : bytes) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            out += c;
        else if (byte < 0xA0)
            appendUtf8(out, kHighControls[byte - 0x80]);
        else
            appendUtf8(out, byte);
    }
    return out;
}

void decodeInPlace(std::string& text, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8 || !hasHighBytes(text))
        return;
    text = decodeText(text, encoding);
}

std::size_t nextCodePoint(std::string_view text, long& codePoint) {
    codePoint = -1;
    if (text.empty())
        return 0;
    const unsigned char first = static_cast<unsigned char>(text[0]);
    if (first < 0x80) {
        codePoint = first;
        return 1;
    }
    // The length and the validity come from the same rules as the validator's.
    std::size_t length = first >= 0xC2 && first <= 0xDF   ? 2
                         : first >= 0xE0 && first <= 0xEF ? 3
                         : first >= 0xF0 && first <= 0xF4 ? 4
                                                          : 0;
    if (length == 0 || text.size() < length || !isValidUtf8(text.substr(0, length)))
        return 1;
    long value = first & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
        value = (value << 6) | (static_cast<unsigned char>(text[k]) & 0x3F);
    codePoint = value;
    return length;
}

int windows1252Byte(long codePoint) {
    if (codePoint < 0)
        return -1;
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<int>(codePoint);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == codePoint)
            return 0x80 + i;
    return -1;
}

bool canEncode(std::string_view text, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8)
        return isValidUtf8(text);
    bool fits = true;
    std::string ignored;
    appendEncoded(ignored, text, encoding,
                  [&fits](std::string&, std::string_view) { fits = false; });
    return fits;
}

void appendEncoded(std::string& out, std::string_view text, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8 || !hasHighBytes(text)) {
        out += text;
        return;
    }
    appendEncoded(out, text, encoding,
                  [](std::string& to, std::string_view bytes) { to += bytes; });
}

std::string shownText(std::string_view text, std::size_t limit) {
    // A text of at most `limit` bytes has at most `limit` characters.
    if (text.size() <= limit)
        return std::string(text);
    std::size_t end = 0;
    for (std::size_t count = 0; count < limit && end < text.size(); ++count) {
        long ignored = 0;
        end += nextCodePoint(text.substr(end), ignored);
    }
    if (end >= text.size())
        return std::string(text);
    std::string shown(text.substr(0, end));
    shown += "\xE2\x80\xA6"; // "…"
    return shown;
}

} // namespace kivo
