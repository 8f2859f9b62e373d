// The safe save of a file on disk, the clean-up after an interrupted one, and the guard that
// tells a run whether another one uses the same folder.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kivo {

// Writes `bytes` to a temporary file in the folder of `path`, flushes and syncs it, and only then
// replaces `path` with it. On any failure the old file stays exactly as it was, the temporary file
// is removed, false is returned and `error` (when given) receives the reason. A file the user may
// not write (read-only) is not replaced. The new file keeps the old one's permissions when they
// let the user read and write it, else it is readable and writable by the user alone.
bool replaceFileAtomically(const std::string& path, std::string_view bytes,
                           std::string* error = nullptr);

// The steps of a replacement that can fail underneath it, as plain functions so that a test can
// make any one of them fail (a write that stops part-way, a sync, the rename) and see that nothing
// is lost. The program always uses the standard steps.
struct FileReplaceSteps {
    // Writes `size` bytes to the temporary file; fewer written means failure, errno says why.
    std::size_t (*write)(std::FILE* file, const char* bytes, std::size_t size);
    // Flushes what is buffered and syncs it to the disk; false (errno says why) on failure.
    bool (*sync)(std::FILE* file);
    // Replaces `to` with `from`; false with `error` set on failure.
    bool (*rename)(const std::filesystem::path& from, const std::filesystem::path& to,
                   std::error_code& error);
};
FileReplaceSteps& fileReplaceSteps();

// Copies `path` to `copy` unless `copy` already exists: an earlier copy is never overwritten.
enum class CopyResult { Made, AlreadyThere, Failed };
CopyResult keepCopyOnce(const std::string& path, const std::string& copy,
                        std::string* error = nullptr);

// The temporary files that interrupted replacements of `path` left beside it, and their removal.
std::vector<std::filesystem::path> staleTemporaries(const std::string& path);
void removeStaleTemporaries(const std::string& path);

// Marks a folder as in use by this process for as long as it lives, and tells whether it was the
// only one to use it when it started: only then may files that another process may still be
// writing there be treated as abandoned.
class FolderInUse {
public:
    explicit FolderInUse(const std::string& folder);
    FolderInUse(const FolderInUse&) = delete;
    FolderInUse& operator=(const FolderInUse&) = delete;
    ~FolderInUse();
    bool alone() const { return alone_; }

private:
#if defined(_WIN32)
    void* handle_ = nullptr; // the folder's named mutex
#else
    int handle_ = -1; // the folder, open and locked
#endif
    bool alone_ = false;
};

} // namespace kivo
