// The safe save of a file (a temporary file beside it that replaces it only when complete), the
// clean-up after an interrupted one, and the guard that tells whether another run uses the folder.
#include "safe_save.h"

#include "error_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX // std::min and std::max, not the macros
#endif
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kivo {

namespace {

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

// Whether the user may not write `target` (an existing file): the rename of a safe save would
// replace a read-only file all the same, so this is asked first. A file without any write
// permission counts as read-only even for the administrator, who may write anything.
bool isReadOnly(const fs::path& target, std::string& reason) {
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (ec || !fs::exists(status))
        return false;
    constexpr fs::perms kAnyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    bool denied = (status.permissions() & kAnyWrite) == fs::perms::none;
#if !defined(_WIN32)
    if (!denied && ::access(target.c_str(), W_OK) != 0) {
        // On a read-only mount the file itself may well be writable: say what is read-only.
        if (errno == EROFS) {
            reason = errnoText(EROFS);
            return true;
        }
        denied = true;
    }
#endif
    if (denied)
        reason = errnoText(EACCES) + " (the file is read-only)";
    return denied;
}

// The name a temporary file of `target` gets: its own name, ".tmp" and eight hexadecimal digits.
constexpr std::string_view kTemporaryMark = ".tmp";
constexpr std::size_t kTemporaryDigits = 8;

bool isTemporaryOf(const std::string& name, const std::string& targetName) {
    if (name.size() != targetName.size() + kTemporaryMark.size() + kTemporaryDigits ||
        name.compare(0, targetName.size(), targetName) != 0 ||
        name.compare(targetName.size(), kTemporaryMark.size(), kTemporaryMark) != 0)
        return false;
    return std::all_of(name.end() - kTemporaryDigits, name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
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

FileReplaceSteps& fileReplaceSteps() {
    static FileReplaceSteps steps{
        [](std::FILE* file, const char* bytes, std::size_t size) {
            return std::fwrite(bytes, 1, size, file);
        },
        [](std::FILE* file) { return std::fflush(file) == 0 && syncToDisk(file); },
        [](const fs::path& from, const fs::path& to, std::error_code& error) {
            fs::rename(from, to, error);
            return !error;
        }};
    return steps;
}

bool replaceFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    auto fail = [error](const std::string& reason) {
        if (error)
            *error = reason;
        return false;
    };

    const fs::path target = resolveTarget(path);
    std::string readOnly;
    if (isReadOnly(target, readOnly))
        return fail(readOnly);
    fs::path temporary;
    int openError = 0;
    FileCloser file(createTemporary(target, temporary, openError));
    if (!file.get())
        return fail(errnoText(openError));

    auto discard = [&temporary] {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    };

    const FileReplaceSteps& steps = fileReplaceSteps();
    errno = 0;
    const bool written = steps.write(file.get(), bytes.data(), bytes.size()) == bytes.size() &&
                         steps.sync(file.get());
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

    // The new file keeps the permissions the user gave the old one, as long as they let the user
    // read and write it; a file the next run could not read would be as good as lost.
    std::error_code ec;
    const fs::file_status old = fs::status(target, ec);
    if (!ec && fs::exists(old)) {
        constexpr fs::perms kUserReadWrite = fs::perms::owner_read | fs::perms::owner_write;
        const fs::perms kept = (old.permissions() & kUserReadWrite) == kUserReadWrite
                                   ? old.permissions() & fs::perms::mask
                                   : kUserReadWrite;
        fs::permissions(temporary, kept, fs::perm_options::replace, ec);
    }

    ec.clear();
    if (!steps.rename(temporary, target, ec)) {
        discard();
        return fail(ec.message());
    }
    return true;
}

CopyResult keepCopyOnce(const std::string& path, const std::string& copy, std::string* error) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(fs::path(copy), ec)))
        return CopyResult::AlreadyThere;
    fs::copy_file(fs::path(path), fs::path(copy), fs::copy_options::none, ec);
    if (ec == std::errc::file_exists)
        return CopyResult::AlreadyThere;
    if (ec) {
        if (error)
            *error = ec.message();
        std::error_code ignored;
        fs::remove(fs::path(copy), ignored); // a copy cut short is no copy
        return CopyResult::Failed;
    }
    return CopyResult::Made;
}

std::vector<fs::path> staleTemporaries(const std::string& path) {
    const fs::path target = resolveTarget(path);
    const std::string targetName = target.filename().string();
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (isTemporaryOf(it->path().filename().string(), targetName) && it->is_regular_file(ec))
            stale.push_back(it->path());
    return stale;
}

void removeStaleTemporaries(const std::string& path) {
    std::error_code ec;
    for (const fs::path& file : staleTemporaries(path))
        fs::remove(file, ec);
}

FolderInUse::FolderInUse(const std::string& folder) {
#if defined(_WIN32)
    // A folder can be locked on Windows only by holding it open alone, which an indexer or a
    // file window may do too. Every run instead holds a mutex named after the folder while it
    // lives; one that finds no mutex of that name is alone. The name is the folder's whole path
    // in lower case (Windows sees no case in names), as an FNV-1a hash, among this log-on's names.
    std::error_code ec;
    const fs::path absolute = fs::absolute(fs::path(folder.empty() ? "." : folder), ec);
    std::string path = absolute.lexically_normal().string();
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : path) {
        hash ^= static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        hash *= 1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Local\\kivo-folder-%016llx",
                  static_cast<unsigned long long>(hash));
    handle_ = ::CreateMutexA(nullptr, FALSE, name);
    alone_ = handle_ != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
#else
    // Every run holds a shared lock on the folder while it lives; one that finds nobody else
    // holding one is alone. The exclusive lock taken to find out is turned into a shared one at
    // once, so that the next run sees this one.
    handle_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (handle_ < 0)
        return;
    alone_ = ::flock(handle_, LOCK_EX | LOCK_NB) == 0;
    ::flock(handle_, LOCK_SH | LOCK_NB);
#endif
}

FolderInUse::~FolderInUse() {
#if defined(_WIN32)
    if (handle_)
        ::CloseHandle(handle_);
#else
    if (handle_ >= 0)
        ::close(handle_);
#endif
}

} // namespace kivo
