// The text encoding of a data file, decided once per file: UTF-8 when the whole file is valid
// UTF-8, Windows-1252 otherwise (files written by older versions in that code page). Texts in
// memory are UTF-8; they are decoded when read and encoded again when written, so that a field
// nobody changed is written back byte for byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kivo {

enum class TextEncoding { Utf8, Windows1252 };

// Checks bytes for valid UTF-8 piece by piece, so that a file read through a small buffer is
// judged as a whole; a sequence may be split between two pieces.
class Utf8Validator {
public:
    void feed(const char* bytes, std::size_t size);
    void feed(std::string_view bytes) { feed(bytes.data(), bytes.size()); }
    // Whether everything fed so far is valid UTF-8 and ends at a character boundary.
    bool valid() const { return valid_ && pending_ == 0; }
    void reset() { *this = Utf8Validator(); }

private:
    bool valid_ = true;
    int pending_ = 0; // continuation bytes still owed by the current sequence
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
};

bool isValidUtf8(std::string_view bytes);

// The encoding of a whole file's text.
TextEncoding encodingOf(std::string_view wholeText);

// The UTF-8 form of `bytes` that were read from a file in `encoding`. Windows-1252 is decoded with
// all 256 bytes mapped (the five it leaves undefined as the control characters of the same
// number), so that encoding the result again gives back the very same bytes.
std::string decodeText(std::string_view bytes, TextEncoding encoding);
// decodeText in place; cheap when there is nothing to change.
void decodeInPlace(std::string& text, TextEncoding encoding);

// Whether `encoding` can carry every character of the UTF-8 text `text` (for UTF-8: whether it
// is valid UTF-8, so that a file written from it stays UTF-8 as a whole).
bool canEncode(std::string_view text, TextEncoding encoding);

// Appends `text` (UTF-8) in `encoding` to `out`. A character the encoding cannot carry, or a byte
// that is not valid UTF-8, is passed to `cannotCarry` as its bytes, which appends what it wants
// instead; without it such bytes are appended unchanged.
template <typename CannotCarry>
void appendEncoded(std::string& out, std::string_view text, TextEncoding encoding,
                   CannotCarry&& cannotCarry);
void appendEncoded(std::string& out, std::string_view text, TextEncoding encoding);

// The length in bytes of the UTF-8 sequence at the start of `text` and its code point; a byte
// that does not start a valid sequence has length 1 and code point -1.
std::size_t nextCodePoint(std::string_view text, long& codePoint);
// The Windows-1252 byte of a code point, or -1 when it has none.
int windows1252Byte(long codePoint);

template <typename CannotCarry>
void appendEncoded(std::string& out, std::string_view text, TextEncoding encoding,
                   CannotCarry&& cannotCarry) {
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        long codePoint = 0;
        const std::size_t length = nextCodePoint(text.substr(i), codePoint);
        const std::string_view character = text.substr(i, length);
        i += length;
        if (codePoint < 0) {
            cannotCarry(out, character);
        } else if (encoding == TextEncoding::Utf8) {
            out += character;
        } else if (const int byte = windows1252Byte(codePoint); byte >= 0) {
            out += static_cast<char>(byte);
        } else {
            cannotCarry(out, character);
        }
    }
}

// At most `limit` characters of the UTF-8 text `text`, ended with "…" when it was cut: the form
// in which a list, a line, a caption or a label shows a text, so that no stored text is too long
// to be laid out at once. The stored text itself is never cut.
inline constexpr std::size_t kShownTextLimit = 1000;
std::string shownText(std::string_view text, std::size_t limit = kShownTextLimit);

} // namespace kivo
