// Text files under one set of text-mode rules, byte-identical on every system:
// lines are written with CR LF; on reading, LF ends a line, a CR just before it is dropped and a
// Ctrl-Z (0x1A) ends the file. A CR that no LF follows ends a line too (files from other editors;
// the writer never writes one), and a UTF-8 byte-order mark at the start is skipped.
#pragma once

#include "content_hash.h"
#include "text_encoding.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// Splits file bytes into lines by the reading rules above. A last line without LF is a line too;
// a file that ends with LF has no extra empty line after it.
std::vector<std::string> splitTextLines(std::string_view bytes);
// The part of file bytes that holds its lines: after a UTF-8 mark, up to the first Ctrl-Z. Walk
// it with TextLines to read the lines without copying them.
std::string_view textOfFile(std::string_view bytes);

// How a read ended: every line read, the file not opened (missing, unreadable, not a regular
// file, or too large), or a read that failed part-way.
enum class TextReadStatus { Ok, CannotOpen, ReadError };

// No data file of the program comes near this; anything larger is refused as unreadable rather
// than read into memory.
inline constexpr long long kTextFileSizeLimit = 1LL << 30;

// Reads a text file line by line by the reading rules above, through one buffer of a few pages
// that is used again and again: a large file costs no more memory than its longest line, and what
// is being read stays in the processor's cache.
class TextFileLines {
public:
    TextFileLines() = default;
    TextFileLines(const TextFileLines&) = delete;
    TextFileLines& operator=(const TextFileLines&) = delete;

    // Opens the file: Ok, or CannotOpen (missing, unreadable, or not a regular file: a folder, a
    // pipe or a device is never opened for reading, so that nothing can block or run forever).
    TextReadStatus open(const std::string& path);
    // After a failed open: whether there is simply no such file.
    bool missing() const { return missing_; }
    // Why the file could not be opened or read to its end; empty when nothing failed.
    const std::string& failure() const { return failure_; }
    // Whether a Ctrl-Z ended the reading while text (anything but blanks and line ends) followed
    // it, text that a rewrite of the file would lose.
    bool cutByCtrlZ() const { return cutByCtrlZ_; }
    // The hash of the bytes read since the start of the file, up to a Ctrl-Z (see
    // fileContentHash): once the file was read to its end, what a later look at the file compares
    // with to learn whether someone else changed it.
    std::uint64_t contentHash() const { return hash_.value(); }
    // Whether one pass has read the whole file, so that its encoding is known.
    bool encodingKnown() const { return encodingKnown_; }
    // The file's encoding, once known; UTF-8 before.
    TextEncoding encoding() const { return encoding_; }
    // The next line, valid until the next call; false after the last one.
    bool next(std::string_view& line);
    // How the reading ended, once next() has returned false: Ok, or ReadError when a read failed
    // part-way (every complete line before the failure was given, the one it cut off was not).
    TextReadStatus status() const {
        return failed_ ? TextReadStatus::ReadError : TextReadStatus::Ok;
    }
    // Reads on to the end without looking at the lines, only to learn status().
    TextReadStatus finish();
    // Starts again at the first line; false when no file is open or it cannot be read again.
    bool rewind();
    void close();

    // Takes the bytes of a file in blocks. A block holds whole lines: it ends just after a line
    // end, or where the file ends. Its bytes are the file's own, line ends included, so the
    // scanner splits them into lines by the reading rules above and stops at a Ctrl-Z itself.
    class BlockScanner {
    public:
        // Returns whether more of the file is wanted.
        virtual bool scan(std::string_view block) = 0;

    protected:
        ~BlockScanner() = default;
    };
    // Hands an open file from its first line on to `scanner`, until the scanner wants no more or
    // the file ends; returns how the reading went, as status() does. Where the system allows, the
    // file is mapped into memory a few MiB at a time instead of copied, and only as much of it is
    // in memory at once. The file's encoding is not looked at (encodingKnown() stays as it was),
    // and a file that shrinks or fails under the mapping is read again the ordinary way, so the
    // scanner may see its first blocks twice. Call rewind() before reading the file again.
    TextReadStatus scanBlocks(BlockScanner& scanner);
    // How much of a file scanBlocks maps at once (whole pages); tests make it small.
    void setMapWindow(std::size_t bytes) { mapWindow_ = bytes; }

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    bool fill();

    std::unique_ptr<std::FILE, Closer> file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t begin_ = 0;   // start of the line being looked for
    std::size_t scanned_ = 0; // bytes before this hold no LF after begin_
    std::size_t end_ = 0;     // bytes read so far
    long long total_ = 0;     // bytes read since the start of the file
    bool atEnd_ = true;       // nothing more is read: end of file, Ctrl-Z, failure or no file
    bool atStart_ = false;    // the next read is the first of the file
    bool failed_ = false;
    bool missing_ = false;
    bool cutByCtrlZ_ = false;
    bool encodingKnown_ = false;
    TextEncoding encoding_ = TextEncoding::Utf8;
    Utf8Validator utf8_;
    ContentHash hash_; // of the bytes read since the start, up to a Ctrl-Z
    std::string failure_;
    std::size_t mapWindow_ = std::size_t{2} << 20;
};

// Walks text line by line by the reading rules above, without copying: LF, CR LF or a lone CR
// ends a line. The text must already end where a Ctrl-Z ended the file.
class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) {}
    // The next line; false after the last one.
    bool next(std::string_view& line) {
        if (pos_ >= text_.size())
            return false;
        const char* start = text_.data() + pos_;
        const std::size_t left = text_.size() - pos_;
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', left));
        const std::size_t beforeLf = lf ? static_cast<std::size_t>(lf - start) : left;
        const auto* cr = static_cast<const char*>(std::memchr(start, '\r', beforeLf));
        if (!lf && !cr) {
            // A last line without a line end is a line too.
            line = std::string_view(start, left);
            pos_ = text_.size();
            return true;
        }
        const char* stop = cr ? cr : lf;
        const std::size_t length = static_cast<std::size_t>(stop - start);
        pos_ += length + (cr && cr + 1 == lf ? 2 : 1);
        line = std::string_view(start, length);
        return true;
    }
    void rewind() { pos_ = 0; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Reads a whole file and appends its lines to `lines`, decoded to UTF-8 by the file's encoding.
// After a failed read only the complete lines before the failure are appended.
TextReadStatus readTextFile(const std::string& path, std::vector<std::string>& lines);

// Reads a whole file and appends its lines to `lines`. Returns false when the file cannot be
// opened or a read fails part-way (the lines read before the failure stay appended).
bool readTextLines(const std::string& path, std::vector<std::string>& lines);

// The bytes of a whole regular file as they are, nothing taken out. CannotOpen sets `missing` when
// there is no such file; ReadError when a read failed part-way.
TextReadStatus readFileBytes(const std::string& path, std::string& bytes, bool& missing);

// Appends `line` and CR LF to `out`.
void appendTextLine(std::string& out, std::string_view line);

} // namespace kivo
