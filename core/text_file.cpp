// Text files with CR LF line ends and Ctrl-Z as the end of the file, and the safe replacement of a
// file on disk.
#include "text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
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
    const std::size_t end = std::min(bytes.find(kCtrlZ), bytes.size());
    std::size_t start = 0;
    while (start < end) {
        const std::size_t lf = bytes.find('\n', start);
        if (lf == std::string_view::npos || lf >= end) {
            lines.emplace_back(bytes.substr(start, end - start));
            break;
        }
        std::size_t length = lf - start;
        if (length > 0 && bytes[lf - 1] == '\r')
            --length;
        lines.emplace_back(bytes.substr(start, length));
        start = lf + 1;
    }
    return lines;
}

TextReadStatus readTextFile(const std::string& path, std::vector<std::string>& lines) {
    // A folder opens as a file on some systems and not on others; it is never a text file.
    std::error_code ec;
    if (fs::is_directory(fs::path(path), ec))
        return TextReadStatus::CannotOpen;
    FileCloser file(std::fopen(path.c_str(), "rb"));
    if (!file.get())
        return TextReadStatus::CannotOpen;

    std::string bytes;
    char buffer[64 * 1024];
    bool failed = false;
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        const std::string_view chunk(buffer, n);
        const std::size_t ctrlZ = chunk.find(kCtrlZ);
        if (ctrlZ != std::string_view::npos) {
            // The file ends here; whatever follows is never looked at.
            bytes.append(chunk.substr(0, ctrlZ));
            break;
        }
        bytes.append(chunk);
        if (n < sizeof buffer) {
            failed = std::ferror(file.get()) != 0;
            break;
        }
    }
    if (failed) {
        // A line cut off by the failure would read as something that is not in the file.
        const std::size_t lastLf = bytes.rfind('\n');
        bytes.resize(lastLf == std::string::npos ? 0 : lastLf + 1);
    }
    std::vector<std::string> read = splitTextLines(bytes);
    lines.insert(lines.end(), std::make_move_iterator(read.begin()),
                 std::make_move_iterator(read.end()));
    return failed ? TextReadStatus::ReadError : TextReadStatus::Ok;
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
