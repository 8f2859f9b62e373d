// Makes every write of this process fail with EFBIG past a given file size, for as long as it
// lives.
#pragma once

#if defined(__linux__)
#include <csignal>
#include <sys/resource.h>

#define KIVO_HAVE_FILE_SIZE_LIMIT 1

namespace kivo::test {

// Root ignores folder permissions, so a size limit is the dependable way to make a write fail
// part-way. SIGXFSZ is ignored meanwhile so that the write returns an error instead of killing us.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool active() const { return active_; }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
    bool active_ = false;
};

} // namespace kivo::test
#endif
