// What the benchmarks share: their fixed day, a platform that acts on nothing, a scratch folder,
// the process's peak memory and the records they work on.
#pragma once

#include "platform/platform.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <random>
#include <string>

namespace kivo::bench {

inline const Date kToday{std::chrono::year{2026}, std::chrono::June, std::chrono::day{7}};

// Just enough of a platform for a window: a fixed clock, English names and nothing that acts.
class FixedClock : public Clock {
public:
    Date currentDate() const override { return kToday; }
    std::int64_t currentTime() const override { return 1780790400; }
};
class NoFolders : public FolderProvider {
public:
    std::string workingFolder() const override { return "./"; }
    std::string userDataFolder() const override { return "./"; }
    void makeFolder(const std::string&) const override {}
    bool hasPerUserDataFolder() const override { return true; }
};
class PlainLocale : public LocaleInfo {
public:
    std::string shortDatePattern() const override { return "dd/MM/yyyy"; }
    std::string dayName(int d) const override { return english.dayName(d); }
    std::string monthName(int m) const override { return english.monthName(m); }

private:
    EnglishLocaleNames english;
};
class NoShell : public Shell {
public:
    void open(const std::string&) override {}
    void run(const std::string&, const std::string&) override {}
};
class NoMessages : public MessageBoxes {
public:
    void information(const std::string&) override {}
    void warning(const std::string&) override {}
    void error(const std::string&) override {}
    bool question(const std::string&) override { return false; }
};

struct BenchPlatform {
    FixedClock clock;
    NoFolders folders;
    PlainLocale locale;
    MemorySettingsStore store;
    NoShell shell;
    NoMessages messages;
    Platform platform{clock, folders, locale, store, shell, messages, 96};
};

// A folder of the benchmark's own files, removed when the benchmark ends.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix)
        : path_(std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The largest resident size the process has had so far, in MiB.
inline double peakResidentMebibytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// The records of the benchmarks, as a large real list has them: every type, some without a year,
// a few never reminded or never printed. They are drawn from a fixed seed, so that every run
// measures the same records; each option only adds draws, so that every benchmark keeps the
// records it has always measured.
class RecordGenerator {
public:
    enum class Names {
        Numbered,       // "Person 17", every fifth "Club, event 15" (quoted in the records file)
        Given,          // a given name, some in lower case, and a number
        GivenAndFamily, // given and family names as long as real ones, some beyond ASCII
    };
    struct Options {
        Names names = Names::Numbered;
        bool skipYears = false; // one record in ten silenced for 2026
        bool emails = false;    // an e-mail address on every third record
    };

    explicit RecordGenerator(Options options) : options_(options) {}
    PersonRecord next();

private:
    int pick(int lowest, int highest) {
        return std::uniform_int_distribution<int>(lowest, highest)(random_);
    }
    std::string nameOf(std::size_t index);

    Options options_;
    std::mt19937 random_{20260607};
    std::size_t index_ = 0;
};

} // namespace kivo::bench
