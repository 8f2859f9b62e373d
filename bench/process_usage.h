// What a benchmark against a server measures of the processes: its own processor time and peak
// memory, and the server's processor time, read from the kernel.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace kivo::bench {

inline double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline double peakMebibytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The processor time of another process so far, from /proc.
inline double processorSecondsOf(std::int64_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const std::size_t afterName = text.rfind(')');
    if (afterName == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(afterName + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The processor time of all the live threads of another process so far, from the scheduler's
// count in nanoseconds (/proc/<pid>/task/*/schedstat): fine enough for a start of a few
// milliseconds, of which the clock ticks of processorSecondsOf see 0 or 10.
inline double preciseProcessorSecondsOf(std::int64_t pid) {
    std::error_code error;
    double seconds = 0;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream stat(task.path() / "schedstat");
        double nanoseconds = 0;
        if (stat >> nanoseconds)
            seconds += nanoseconds / 1e9;
    }
    return seconds;
}

} // namespace kivo::bench
