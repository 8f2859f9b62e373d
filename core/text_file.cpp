// Text files with CR LF line ends and Ctrl-Z as the end of the file, and the safe replacement of a
// file on disk.
#include "text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kivo {

namespace {

constexpr char kCtrlZ = '\x1A';

namespace fs = std::filesystem;

class FileCloser {
public:
    explicit FileCloser(std::FILE* file) : file_(file) {}
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;
    ~FileCloser() {
        if (file_)
            std::fclose(file_);
    }
    std::FILE* get() const { return file_; }
    // Closes now and reports whether the close (which writes what is still buffered) worked.
    bool close() {
        std::FILE* f = file_;
        file_ = nullptr;
        return f && std::fclose(f) == 0;
    }

private:
    std::FILE* file_;
};

// The text of the last error, never empty even when the library set no errno.
std::string errnoText(int error) {
    return std::strerror(error != 0 ? error : EIO);
}

// Pushes what was written to the disk itself, so that the rename never publishes a file whose
// bytes are still only in the cache.
bool syncToDisk(std::FILE* file) {
#if defined(_WIN32)
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// A linked file is replaced where it really lives, so that the link survives the save.
fs::path resolveTarget(const std::string& path) {
    const fs::path target(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        fs::path real = fs::canonical(target, ec);
        if (!ec)
            return real;
    }
    return target;
}

// Creates a temporary file beside `target` that did not exist before, so that two saves cannot
// write into the same one.
std::FILE* createTemporary(const fs::path& target, fs::path& temporary, int& error) {
    std::random_device seed;
    std::mt19937 random(seed());
    error = 0;
    for (int attempt = 0; attempt < 32; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".tmp%08x", static_cast<unsigned>(random()));
        temporary = target;
        temporary += suffix;
        errno = 0;
        if (std::FILE* f = std::fopen(temporary.string().c_str(), "wbx"))
            return f;
        error = errno;
        if (error != EEXIST)
            break;
    }
    return nullptr;
}

} // namespace

std::vector<std::string> splitTextLines(std::string_view bytes) {
    std::vector<std::string> lines;
    TextLines walk(bytes.substr(0, bytes.find(kCtrlZ)));
    for (std::string_view line; walk.next(line);)
        lines.emplace_back(line);
    return lines;
}

TextReadStatus TextFileLines::open(const std::string& path) {
    close();
    // A folder opens as a file on some systems and not on others; it is never a text file.
    std::error_code ec;
    if (fs::is_directory(fs::path(path), ec))
        return TextReadStatus::CannotOpen;
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_)
        return TextReadStatus::CannotOpen;
    // The reading goes through our own buffer; a second one in the library would only copy.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    if (!buffer_) {
        capacity_ = 64 * 1024;
        buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    }
    atEnd_ = false;
    return TextReadStatus::Ok;
}

void TextFileLines::close() {
    file_.reset();
    begin_ = scanned_ = end_ = 0;
    atEnd_ = true;
    failed_ = false;
}

bool TextFileLines::rewind() {
    if (!file_ || std::fseek(file_.get(), 0, SEEK_SET) != 0)
        return false;
    std::clearerr(file_.get());
    begin_ = scanned_ = end_ = 0;
    atEnd_ = false;
    failed_ = false;
    return true;
}

// Reads more of the file behind the line being looked for; false when nothing more came.
bool TextFileLines::fill() {
    if (atEnd_)
        return false;
    char* data = buffer_.get();
    if (begin_ > 0) {
        std::memmove(data, data + begin_, end_ - begin_);
        end_ -= begin_;
        scanned_ -= begin_;
        begin_ = 0;
    }
    if (end_ == capacity_) {
        // A line longer than the buffer.
        auto larger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
        std::memcpy(larger.get(), data, end_);
        buffer_ = std::move(larger);
        capacity_ *= 2;
        data = buffer_.get();
    }
    const std::size_t wanted = capacity_ - end_;
    std::size_t n = std::fread(data + end_, 1, wanted, file_.get());
    if (const void* ctrlZ = std::memchr(data + end_, kCtrlZ, n)) {
        // The file ends here; nothing behind it is read, so no failure further on can count.
        n = static_cast<std::size_t>(static_cast<const char*>(ctrlZ) - (data + end_));
        atEnd_ = true;
    } else if (n < wanted) {
        atEnd_ = true;
        failed_ = std::ferror(file_.get()) != 0;
    }
    end_ += n;
    return n > 0;
}

bool TextFileLines::next(std::string_view& line) {
    for (;;) {
        const char* data = buffer_.get();
        const void* lf =
            scanned_ < end_ ? std::memchr(data + scanned_, '\n', end_ - scanned_) : nullptr;
        if (lf) {
            const char* start = data + begin_;
            std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
            begin_ += length + 1;
            scanned_ = begin_;
            if (length > 0 && start[length - 1] == '\r')
                --length;
            line = std::string_view(start, length);
            return true;
        }
        scanned_ = end_;
        if (!fill())
            break;
    }
    // A last line without LF is a line too, and keeps a CR at its end, unless a failed read may
    // have cut it off.
    if (begin_ == end_ || failed_)
        return false;
    line = std::string_view(buffer_.get() + begin_, end_ - begin_);
    begin_ = scanned_ = end_;
    return true;
}

TextReadStatus TextFileLines::finish() {
    do
        begin_ = scanned_ = end_;
    while (fill());
    return status();
}

TextReadStatus readTextFile(const std::string& path, std::vector<std::string>& lines) {
    TextFileLines file;
    const TextReadStatus opened = file.open(path);
    if (opened != TextReadStatus::Ok)
        return opened;
    for (std::string_view line; file.next(line);)
        lines.emplace_back(line);
    return file.status();
}

bool readTextLines(const std::string& path, std::vector<std::string>& lines) {
    return readTextFile(path, lines) == TextReadStatus::Ok;
}

void appendTextLine(std::string& out, std::string_view line) {
    out.append(line);
    out.append("\r\n");
}

bool replaceFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    auto fail = [error](const std::string& reason) {
        if (error)
            *error = reason;
        return false;
    };

    const fs::path target = resolveTarget(path);
    fs::path temporary;
    int openError = 0;
    FileCloser file(createTemporary(target, temporary, openError));
    if (!file.get())
        return fail(errnoText(openError));

    auto discard = [&temporary] {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    };

    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                         std::fflush(file.get()) == 0 && syncToDisk(file.get());
    if (!written) {
        const int writeError = errno;
        file.close();
        discard();
        return fail(errnoText(writeError));
    }
    errno = 0;
    if (!file.close()) {
        const int closeError = errno;
        discard();
        return fail(errnoText(closeError));
    }

    // The new file keeps the permissions the user gave the old one.
    std::error_code ec;
    const fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old))
        fs::permissions(temporary, old.permissions(), fs::perm_options::replace, ec);

    ec.clear();
    fs::rename(temporary, target, ec);
    if (ec) {
        discard();
        return fail(ec.message());
    }
    return true;
}

} // namespace kivo
