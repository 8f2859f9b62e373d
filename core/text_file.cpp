// Text files read and written under the text-mode rules: CR LF line ends, and Ctrl-Z as the end
// of the file.
#include "text_file.h"

#include "error_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#if !defined(_WIN32)
#include <atomic>
#include <csetjmp>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kivo {

namespace {

constexpr char kCtrlZ = '\x1A';

namespace fs = std::filesystem;

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

const char* tooLargeText() {
    return "it is larger than 1 GiB";
}

// Opens `path` for reading only when it is a regular file within the size limit: a pipe would
// block the start until someone writes into it, and a device may never end. On failure `missing`
// tells whether there is no such file at all, and `failure` says why.
std::FILE* openRegularFile(const std::string& path, bool& missing, std::string& failure) {
    missing = false;
#if defined(_WIN32)
    std::error_code ec;
    const fs::file_status status = fs::status(fs::path(path), ec);
    if (!fs::exists(status)) {
        missing = true;
        failure = errnoText(ENOENT);
        return nullptr;
    }
    if (!fs::is_regular_file(status)) {
        failure = fs::is_directory(status) ? "it is a folder" : "it is not a regular file";
        return nullptr;
    }
    const auto size = fs::file_size(fs::path(path), ec);
    if (!ec && static_cast<long long>(size) > kTextFileSizeLimit) {
        failure = tooLargeText();
        return nullptr;
    }
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        failure = errnoText(errno);
    return file;
#else
    // The type is looked at before opening (opening some devices does something by itself), and
    // again on what was opened, in case the name changed meanwhile.
    auto refuse = [&failure](const struct stat& info) {
        if (S_ISDIR(info.st_mode))
            failure = "it is a folder";
        else if (!S_ISREG(info.st_mode))
            failure = "it is not a regular file";
        else if (info.st_size > kTextFileSizeLimit)
            failure = tooLargeText();
        else
            return false;
        return true;
    };
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        missing = error == ENOENT || error == ENOTDIR;
        failure = errnoText(error);
        return nullptr;
    }
    if (refuse(info))
        return nullptr;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        missing = error == ENOENT;
        failure = errnoText(error);
        return nullptr;
    }
    if (::fstat(fd, &info) != 0 || refuse(info)) {
        if (failure.empty())
            failure = errnoText(errno);
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        failure = errnoText(errno);
        ::close(fd);
    }
    return file;
#endif
}

// Whether anything but blanks, line ends and further Ctrl-Z is in `bytes`.
bool holdsText(const char* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        switch (bytes[i]) {
        case ' ':
        case '\t':
        case '\r':
        case '\n':
        case '\0':
        case kCtrlZ:
            break;
        default:
            return true;
        }
    }
    return false;
}

// Whether the rest of an open file holds text (see holdsText); reads at most up to the size limit.
bool restHoldsText(std::FILE* file, long long readSoFar) {
    char chunk[4096];
    while (readSoFar <= kTextFileSizeLimit) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file);
        if (holdsText(chunk, n))
            return true;
        if (n < sizeof chunk)
            return false;
        readSoFar += static_cast<long long>(n);
    }
    return true;
}

#if !defined(_WIN32)
// A mapped file that shrinks under the program, or whose pages cannot be read from the disk,
// raises SIGBUS where a read would have ended early or failed. While a mapped scan runs, its
// thread catches that signal and jumps back out of the scan, which then reads the file the
// ordinary way. One mapped scan runs at a time; a second one at the same moment reads the
// ordinary way at once.
std::atomic<bool> mappedScanBusy{false};
pthread_t mappedScanThread;
sigjmp_buf mappedScanJump;
struct sigaction previousBusAction;

extern "C" void onBusError(int signal, siginfo_t* info, void* context) {
    if (pthread_equal(pthread_self(), mappedScanThread))
        siglongjmp(mappedScanJump, 1);
    // Not the scan's fault: the action that was there before takes it, by the fault repeating.
    ::sigaction(SIGBUS, &previousBusAction, nullptr);
    (void)signal;
    (void)info;
    (void)context;
}

// One past the last line end (LF, CR or Ctrl-Z) in [begin, end), or nullptr.
const char* afterLastLineEnd(const char* begin, const char* end) {
    for (const char* p = end; p != begin; --p)
        if (p[-1] == '\n' || p[-1] == '\r' || p[-1] == kCtrlZ)
            return p;
    return nullptr;
}

enum class MappedScan { Done, CannotMap, Fault };

// The mapping in use, kept where the jump out of a bus error still finds it.
struct Mapping {
    void* volatile address = nullptr;
    volatile std::size_t length = 0;
    void unmap() {
        if (address)
            ::munmap(address, length);
        address = nullptr;
    }
};

// Asks the system to map [begin, begin + length) of the mapping in one go, instead of a fault
// per page; a system without it leaves the pages to fault in as they are read.
void mapPagesNow(const char* begin, std::size_t length) {
#if defined(MADV_POPULATE_READ)
    ::madvise(const_cast<char*>(begin), length, MADV_POPULATE_READ);
#else
    (void)begin;
    (void)length;
#endif
}

// Maps the whole file once and hands its whole lines to `scanner` a window at a time. Only the
// window being scanned is kept mapped: its pages are mapped in one go before its lines are
// scanned and let go after, so the memory in use stays about one window whatever the file's
// size. Windows end at multiples of the window size in the file, so a window that is a multiple
// of 2 MiB lets a kernel that keeps the file in large folios map it with a few large pages
// instead of hundreds of small ones. A line longer than the window makes the window larger.
MappedScan scanWindows(int fd, long long size, std::size_t window, Mapping& mapping,
                       TextFileLines::BlockScanner& scanner) {
    if (size <= 0)
        return MappedScan::Done;
    const long long page = ::sysconf(_SC_PAGESIZE);
    const long long step = std::max<long long>(static_cast<long long>(window) / page * page, page);
    const std::size_t length = static_cast<std::size_t>(size);
    void* address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
    if (address == MAP_FAILED)
        return MappedScan::CannotMap;
    mapping.length = length;
    mapping.address = address;
    const char* base = static_cast<const char*>(address);
    // The first byte not yet handed to the scanner; a UTF-8 mark at the start is not text.
    long long from = size >= 3 && std::memcmp(base, kUtf8Mark, 3) == 0 ? 3 : 0;
    for (;;) {
        // From the page of the first line not yet scanned to the next window end after it.
        const long long start = from / page * page;
        long long end = std::min(size, (from / step + 1) * step);
        mapPagesNow(base + start, static_cast<std::size_t>(end - start));
        // The bytes before `end` hold no line end after `from` once looked at, so a longer
        // window only looks at what it adds.
        const char* stop = end < size ? afterLastLineEnd(base + from, base + end) : nullptr;
        while (end < size && !stop) {
            const long long more = std::min(size, end + step);
            mapPagesNow(base + end, static_cast<std::size_t>(more - end));
            stop = afterLastLineEnd(base + end, base + more);
            end = more;
        }
        const bool last = end == size;
        if (last)
            stop = base + size;
        const bool wanted = scanner.scan(
            std::string_view(base + from, static_cast<std::size_t>(stop - (base + from))));
        ::madvise(const_cast<char*>(base + start), static_cast<std::size_t>(end - start),
                  MADV_DONTNEED);
        if (!wanted || last)
            break;
        from = stop - base;
    }
    return MappedScan::Done; // the caller lets the mapping go, after a bus error too
}

MappedScan scanMapped(int fd, long long size, std::size_t window,
                      TextFileLines::BlockScanner& scanner) {
    if (mappedScanBusy.exchange(true))
        return MappedScan::CannotMap;
    mappedScanThread = pthread_self();
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousBusAction);
    static Mapping mapping; // where the jump finds it; only the scan holding the flag uses it
    MappedScan result = MappedScan::Fault;
    if (sigsetjmp(mappedScanJump, 1) == 0)
        result = scanWindows(fd, size, window, mapping, scanner);
    mapping.unmap();
    ::sigaction(SIGBUS, &previousBusAction, nullptr);
    mappedScanBusy = false;
    return result;
}
#endif

} // namespace

std::string_view textOfFile(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Mark))
        bytes.remove_prefix(3);
    return bytes.substr(0, bytes.find(kCtrlZ));
}

std::vector<std::string> splitTextLines(std::string_view bytes) {
    std::vector<std::string> lines;
    TextLines walk(textOfFile(bytes));
    for (std::string_view line; walk.next(line);)
        lines.emplace_back(line);
    return lines;
}

TextReadStatus TextFileLines::open(const std::string& path) {
    close();
    file_.reset(openRegularFile(path, missing_, failure_));
    if (!file_)
        return TextReadStatus::CannotOpen;
    // The reading goes through our own buffer; a second one in the library would only copy.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    if (!buffer_) {
        capacity_ = 64 * 1024;
        buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    }
    atEnd_ = false;
    atStart_ = true;
    return TextReadStatus::Ok;
}

void TextFileLines::close() {
    file_.reset();
    begin_ = scanned_ = end_ = 0;
    total_ = 0;
    atEnd_ = true;
    atStart_ = false;
    failed_ = false;
    missing_ = false;
    cutByCtrlZ_ = false;
    encodingKnown_ = false;
    encoding_ = TextEncoding::Utf8;
    utf8_.reset();
    hash_ = ContentHash();
    failure_.clear();
}

bool TextFileLines::rewind() {
    if (!file_ || std::fseek(file_.get(), 0, SEEK_SET) != 0)
        return false;
    std::clearerr(file_.get());
    begin_ = scanned_ = end_ = 0;
    total_ = 0;
    hash_ = ContentHash();
    atEnd_ = false;
    atStart_ = true;
    failed_ = false;
    failure_.clear();
    utf8_.reset(); // the encoding found by an earlier pass stays known
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
    total_ += static_cast<long long>(n);
    if (const void* ctrlZ = std::memchr(data + end_, kCtrlZ, n)) {
        // The file ends here; nothing behind it is read as lines, so no failure further on can
        // count. Whether text follows matters only to whoever rewrites the file.
        const std::size_t kept =
            static_cast<std::size_t>(static_cast<const char*>(ctrlZ) - (data + end_));
        cutByCtrlZ_ = holdsText(data + end_ + kept + 1, n - kept - 1) ||
                      (n == wanted && restHoldsText(file_.get(), total_));
        n = kept;
        atEnd_ = true;
    } else if (total_ > kTextFileSizeLimit) {
        // The file grew beyond the limit while it was being read.
        atEnd_ = true;
        failed_ = true;
        failure_ = tooLargeText();
    } else if (n < wanted) {
        atEnd_ = true;
        failed_ = std::ferror(file_.get()) != 0;
        if (failed_)
            failure_ = errnoText(errno);
    }
    std::size_t skipped = 0;
    if (atStart_) {
        atStart_ = false;
        if (n >= 3 && std::memcmp(data + end_, kUtf8Mark, 3) == 0) {
            skipped = 3;
            begin_ = scanned_ = end_ + 3;
        }
    }
    hash_.add(std::string_view(data + end_, n));
    utf8_.feed(data + end_ + skipped, n - skipped);
    end_ += n;
    if (atEnd_ && !failed_ && !encodingKnown_) {
        encodingKnown_ = true;
        encoding_ = utf8_.valid() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    }
    return n > skipped;
}

bool TextFileLines::next(std::string_view& line) {
    for (;;) {
        const char* data = buffer_.get();
        const char* from = data + scanned_;
        const char* to = data + end_;
        const auto* lf =
            from < to ? static_cast<const char*>(std::memchr(from, '\n', to - from)) : nullptr;
        const char* beforeLf = lf ? lf : to;
        const auto* cr = from < beforeLf
                             ? static_cast<const char*>(std::memchr(from, '\r', beforeLf - from))
                             : nullptr;
        if (cr && cr + 1 == to && !atEnd_) {
            // Whether an LF follows this CR is only known after the next read.
            scanned_ = static_cast<std::size_t>(cr - data);
            if (!fill())
                atEnd_ = true;
            continue;
        }
        if (const char* stop = cr ? cr : lf) {
            const char* start = data + begin_;
            const std::size_t length = static_cast<std::size_t>(stop - start);
            begin_ += length + (cr && cr + 1 == lf ? 2 : 1);
            scanned_ = begin_;
            line = std::string_view(start, length);
            return true;
        }
        scanned_ = end_;
        if (!fill())
            break;
    }
    // A last line without a line end is a line too, unless a failed read may have cut it off.
    if (begin_ == end_ || failed_)
        return false;
    line = std::string_view(buffer_.get() + begin_, end_ - begin_);
    begin_ = scanned_ = end_;
    return true;
}

TextReadStatus readFileBytes(const std::string& path, std::string& bytes, bool& missing) {
    std::string failure;
    bytes.clear();
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(
        openRegularFile(path, missing, failure), &std::fclose);
    if (!file)
        return TextReadStatus::CannotOpen;
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    // Read in one piece where the size is known; a file that grows meanwhile is read on in
    // pieces.
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(file.get());
        std::rewind(file.get());
        if (size > kTextFileSizeLimit)
            return TextReadStatus::ReadError;
        if (size > 0) {
            bytes.resize(static_cast<std::size_t>(size));
            bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
        }
    }
    char chunk[64 * 1024];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
        bytes.append(chunk, n);
        if (static_cast<long long>(bytes.size()) > kTextFileSizeLimit)
            return TextReadStatus::ReadError;
    }
    return std::ferror(file.get()) ? TextReadStatus::ReadError : TextReadStatus::Ok;
}

TextReadStatus TextFileLines::finish() {
    do
        begin_ = scanned_ = end_;
    while (fill());
    return status();
}

TextReadStatus TextFileLines::scanBlocks(BlockScanner& scanner) {
    if (!file_ || !rewind())
        return status();
#if !defined(_WIN32)
    struct stat info {};
    const int fd = fileno(file_.get());
    if (::fstat(fd, &info) == 0 &&
        scanMapped(fd, info.st_size, mapWindow_, scanner) == MappedScan::Done)
        return TextReadStatus::Ok;
    if (!rewind())
        return status();
#endif
    // Line by line through the buffer: each line is a block of its own.
    for (std::string_view line; next(line);)
        if (!scanner.scan(line))
            break;
    return status();
}

TextReadStatus readTextFile(const std::string& path, std::vector<std::string>& lines) {
    TextFileLines file;
    const TextReadStatus opened = file.open(path);
    if (opened != TextReadStatus::Ok)
        return opened;
    const std::size_t first = lines.size();
    for (std::string_view line; file.next(line);)
        lines.emplace_back(line);
    // A file that broke off part-way is judged by what was read of it.
    const TextEncoding encoding = file.encodingKnown() ? file.encoding() : [&] {
        Utf8Validator utf8;
        for (std::size_t i = first; i < lines.size(); ++i)
            utf8.feed(lines[i]);
        return utf8.valid() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    }();
    for (std::size_t i = first; i < lines.size(); ++i)
        decodeInPlace(lines[i], encoding);
    return file.status();
}

bool readTextLines(const std::string& path, std::vector<std::string>& lines) {
    return readTextFile(path, lines) == TextReadStatus::Ok;
}

void appendTextLine(std::string& out, std::string_view line) {
    out.append(line);
    out.append("\r\n");
}

} // namespace kivo
