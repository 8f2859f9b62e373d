// Text files under the text-mode rules of the original platform, byte-identical everywhere:
// lines are written with CR LF; on reading, LF ends a line, a CR just before it is dropped and a
// Ctrl-Z (0x1A) ends the file.
#pragma once

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

// How a read ended: every line read, the file not opened (missing, unreadable, or a folder), or a
// read that failed part-way.
enum class TextReadStatus { Ok, CannotOpen, ReadError };

// Reads a text file line by line by the reading rules above, through one buffer of a few pages
// that is used again and again: a large file costs no more memory than its longest line, and what
// is being read stays in the processor's cache.
class TextFileLines {
public:
    TextFileLines() = default;
    TextFileLines(const TextFileLines&) = delete;
    TextFileLines& operator=(const TextFileLines&) = delete;

    // Opens the file: Ok, or CannotOpen (missing, unreadable, or a folder).
    TextReadStatus open(const std::string& path);
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
    bool atEnd_ = true;       // nothing more is read: end of file, Ctrl-Z, failure or no file
    bool failed_ = false;
};

// Walks text line by line by the reading rules above, without copying: LF ends a line and a CR
// just before it is dropped. The text must already end where a Ctrl-Z ended the file.
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
        if (!lf) {
            // A last line without LF is a line too, and keeps a CR at its end.
            line = std::string_view(start, left);
            pos_ = text_.size();
            return true;
        }
        std::size_t length = static_cast<std::size_t>(lf - start);
        pos_ += length + 1;
        if (length > 0 && start[length - 1] == '\r')
            --length;
        line = std::string_view(start, length);
        return true;
    }
    void rewind() { pos_ = 0; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Reads a whole file and appends its lines to `lines`. After a failed read only the complete lines
// before the failure are appended.
TextReadStatus readTextFile(const std::string& path, std::vector<std::string>& lines);

// Reads a whole file and appends its lines to `lines`. Returns false when the file cannot be
// opened or a read fails part-way (the lines read before the failure stay appended).
bool readTextLines(const std::string& path, std::vector<std::string>& lines);

// Appends `line` and CR LF to `out`.
void appendTextLine(std::string& out, std::string_view line);

// Writes `bytes` to a temporary file in the folder of `path`, flushes and syncs it, and only then
// replaces `path` with it. On any failure the old file stays exactly as it was, the temporary file
// is removed, false is returned and `error` (when given) receives the reason.
bool replaceFileAtomically(const std::string& path, std::string_view bytes,
                           std::string* error = nullptr);

} // namespace kivo
